// The archive check of the command line, shared by `verificar-backup` and `backup`.
#pragma once

#include "app/cli/Cli.h"

namespace cli {

// Checks `archive`; prints the totals on `out`, or what is damaged on `err`. True when sound.
bool verificarBackup(const QString& archive, QTextStream& out, QTextStream& err);

}  // namespace cli

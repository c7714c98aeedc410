// What the backup commands of tolmare-cli share: the progress bar, the volume prompt, and the
// engine's events and the operations' errors on standard error.
#pragma once

#include "app/cli/Cli.h"
#include "backup/operation/BackupOperation.h"

namespace backupcli {

bool terminal(int fd);
// A text progress bar on standard error when it is a terminal.
void progressBar(const QString& file, int percent);
// An error: its code, the engine's text and the file, then what failed and what to do.
void printError(QTextStream& err, const backup::RunError& e);
// "Aviso: a operação não pôde ser registrada no histórico: ..." when `problem` is not empty.
void warnNotLogged(QTextStream& err, const QString& problem);
// The engine's events: progress, errors (as printError), notes.
void wire(TBackupFile& b, QTextStream& err);
// How the commands follow an archive being read: the progress bar, and a missing volume asked
// for on a terminal (with no terminal, a missing volume stops the run).
backup::Follow follow();

}  // namespace backupcli

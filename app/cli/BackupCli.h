// What the backup commands of tolmare-cli share: the progress bar, the volume prompt, the
// engine's events on the standard streams and the reading back of an archive.
#pragma once

#include "app/cli/Cli.h"
#include "backup/backup.h"

namespace backupcli {

bool terminal(int fd);
// A text progress bar on standard error when it is a terminal.
void progressBar(const QString& file, int percent);
// An error of the engine: its code, its text and the file, then what failed and what to do.
void printError(QTextStream& err, const TBackupFile& b, int code, const QString& message);
// The engine's events: progress, volumes, errors (code, text, file and what to do), notes.
void wire(TBackupFile& b, const QString& archive, bool creating, QTextStream& err);
// Reads the archive back; true (and the count on `out`) when every block decodes.
bool verifyArchive(cli::Context& ctx, const QString& archive);
// An archive that could not be read at all (the engine's exception): its text and what to do.
void archiveUnreadable(cli::Context& ctx, const BackupException& e, const QString& archive);

}  // namespace backupcli

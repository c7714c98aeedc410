// The backup window's choices mapped onto the engine, and the texts it shows about archives
// and restores.
#pragma once

#include "backup/backup.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace fmbackup {

// The level group's items, "Rápido", "Padrão", "Máxima", "Nenhuma", give the levels their
// captions name: clFastest, clDefault, clMax, clNone.
TBackupFile::TCompressionLevel levelForItem(int item);

// The mode group's items, "Completo" and "Incremental": bmAll, bmIncremental.
TBackupFile::TBackupMode modeForItem(int item);

// The volume size typed in megabytes (of 1,000,000 bytes) as the engine's MaxSize: 0 for an
// empty text (one volume), nullopt for anything but a whole number from 1 to 2,000.
std::optional<qint32> volumeBytes(const QString& megabytes);

// "N files, K KB total": the archive's summary line, K the total in KB rounded to the nearest
// (halves to the even neighbour).
QString summaryLine(qint32 fileCount, qint32 totalSize);

// A line of the file-information entry ("name<TAB>date=size") as shown:
// "name from dd/mm/yyyy, size bytes". A line not of that form is shown as it is.
QString fileLine(const QString& infoLine);

// What the operator is told after a restore: `restored` the files written, `notRestored` the
// others known; `complete` when the archive listed all of its files (else the files after the
// failure are not known by name and are spoken of as a whole).
QString restoreDoneMessage(qint32 filesDone, qint32 fileCount);
QString restoreFailedMessage(const QStringList& restored, const QStringList& notRestored,
                             bool complete);

}  // namespace fmbackup

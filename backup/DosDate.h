// File dates in the MS-DOS format of the archives (local time, two-second steps).
#pragma once

#include <QDateTime>

namespace backupfmt {

qint32 toDos(const QDateTime& t);
QDateTime fromDos(qint32 dos);
// The modification date of a file, in MS-DOS format; 0 when it has none.
qint32 fileDate(const QString& path);
bool setFileDate(const QString& path, qint32 dos);

}  // namespace backupfmt

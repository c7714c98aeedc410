// Opening a file that is being backed up. Only regular files are opened, never waiting on a
// named pipe or a device. Tests replace the opener to inject read errors.
#pragma once

#include <QIODevice>
#include <QString>

#include <functional>
#include <memory>

namespace backupfmt {

using SourceOpener = std::function<std::unique_ptr<QIODevice>(const QString& path)>;

// The file opened for reading; null when it cannot be opened or is not a regular file.
std::unique_ptr<QIODevice> openSource(const QString& path);
// Replaces the opener (an empty function restores the real one).
void setSourceOpener(SourceOpener opener);

// Reads up to `n` bytes, going on after short reads: the count, 0 at the end, -1 on error.
qint64 readFully(QIODevice& in, char* out, qint64 n);

}  // namespace backupfmt

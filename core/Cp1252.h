// Windows-1252, the code page of PREVI's files, of the legacy tables and of archive titles:
// texts in and out. The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) stand for the C1 control characters of the same numbers, so any bytes decode and
// encode back unchanged. QtCore only (the `cp1252` library), so the archive format links it
// without the rest of the core.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace cp1252 {

// Characters the code page lacks become "?"; `fits`, when given, tells whether there was none.
QByteArray encode(const QString& text, bool* fits = nullptr);
QString decode(QByteArrayView bytes);
// Appends the decoded `bytes` to `out`.
void appendDecoded(QString& out, QByteArrayView bytes);

}  // namespace cp1252

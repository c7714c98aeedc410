// Windows-1252, the code page of PREVI's files and of the legacy tables: texts in and out.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace cp1252 {

// Characters the code page lacks become "?".
QByteArray encode(const QString& text);
QString decode(QByteArrayView bytes);
// Appends the decoded `bytes` to `out`.
void appendDecoded(QString& out, QByteArrayView bytes);

}  // namespace cp1252

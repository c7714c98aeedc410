// Windows-1252, the code page of PREVI's files and of the legacy tables: texts in and out.
#pragma once

#include <QByteArray>
#include <QString>

namespace cp1252 {

// Characters the code page lacks become "?".
QByteArray encode(const QString& text);
QString decode(const QByteArray& bytes);

}  // namespace cp1252

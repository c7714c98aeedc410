// A small rich-text (RTF) document writer for the import summary: one paragraph per line, in
// Courier New, Windows-1252 escapes for accented letters.
#pragma once

#include <QByteArray>
#include <QStringList>

namespace rtf {

// `pointSize` in points (12 pixels on a 96 dpi screen are 9 points).
QByteArray document(const QStringList& lines, const QString& font = "Courier New",
                    int pointSize = 9);

}  // namespace rtf

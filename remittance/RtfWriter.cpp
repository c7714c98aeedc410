#include "remittance/RtfWriter.h"

#include "core/Cp1252.h"

namespace rtf {

namespace {

void appendText(QByteArray& out, const QString& text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '\\' || u == '{' || u == '}') {
            out += '\\';
            out += char(u);
        } else if (u == '\t') {
            out += "\\tab ";
        } else if (u >= 0x20 && u < 0x80) {
            out += char(u);
        } else if (u < 0x20 || (u >= 0x80 && u < 0xA0)) {
            continue;  // other control characters have no place in a summary line
        } else {
            const QByteArray b = cp1252::encode(QString(c));
            if (b != "?") {
                out += QByteArray("\\'") + QByteArray::number(uchar(b[0]), 16).rightJustified(2, '0');
            } else {
                // Outside the code page: the Unicode escape, "?" for readers without it.
                out += "\\u" + QByteArray::number(qint16(u)) + "?";
            }
        }
    }
}

}  // namespace

QByteArray document(const QStringList& lines, const QString& font, int pointSize)
{
    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fmodern\\fcharset0 ";
    appendText(out, font);
    out += ";}}\r\n\\f0\\fs" + QByteArray::number(pointSize * 2) + " ";
    for (int i = 0; i < lines.size(); ++i) {
        appendText(out, lines[i]);
        out += i + 1 < lines.size() ? "\\par\r\n" : "\r\n";
    }
    out += "}\r\n";
    return out;
}

}  // namespace rtf

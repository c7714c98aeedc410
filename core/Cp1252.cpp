#include "core/Cp1252.h"

namespace cp1252 {

namespace {

// 0x80 to 0x9F; the undefined bytes keep their own number.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

QByteArray encode(const QString& text, bool* fits)
{
    QByteArray out;
    out.reserve(text.size());
    bool all = true;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out.append(char(u));
            continue;
        }
        char b = '?';
        for (int i = 0; i < 32; ++i)
            if (kHigh[i] == u) b = char(0x80 + i);
        all = all && b != '?';
        out.append(b);
    }
    if (fits) *fits = all;
    return out;
}

QString decode(QByteArrayView bytes)
{
    QString out;
    appendDecoded(out, bytes);
    return out;
}

void appendDecoded(QString& out, QByteArrayView bytes)
{
    const qsizetype at = out.size();
    out.resize(at + bytes.size());
    QChar* to = out.data() + at;
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        *to++ = QChar(b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : char16_t(b));
    }
}

}  // namespace cp1252

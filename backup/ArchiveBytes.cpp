#include "backup/ArchiveBytes.h"

#include "backup/BackupException.h"

#include <QStringDecoder>

namespace backupfmt {

namespace {

// Windows-1252 from 0x80 to 0x9F; 0 where the code page leaves a byte undefined.
constexpr char16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

QByteArray int32le(qint32 v)
{
    const quint32 u = quint32(v);
    const char b[4] = {char(u & 0xFF), char((u >> 8) & 0xFF), char((u >> 16) & 0xFF),
                       char(u >> 24)};
    return QByteArray(b, 4);
}

void takeInto(QIODevice* d, char* out, qint64 n)
{
    if (d->read(out, n) != n) throw BackupException("Unexpected end of archive");
}

QByteArray take(QIODevice* d, qint64 n)
{
    QByteArray b(n, Qt::Uninitialized);
    takeInto(d, b.data(), n);
    return b;
}

qint32 takeInt(QIODevice* d)
{
    uchar p[4];
    takeInto(d, reinterpret_cast<char*>(p), 4);
    return qint32(quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24);
}

void skip(QIODevice* d, qint64 n)
{
    if (n < 0 || d->skip(n) != n) throw BackupException("Unexpected end of archive");
}

bool commitWhole(QSaveFile& f)
{
    const bool flushed = f.flush();
    if (!flushed) f.cancelWriting();
    return f.commit() && flushed;
}

QByteArray toCp1252(const QString& s, bool* fits)
{
    QByteArray out;
    out.reserve(s.size());
    bool all = true;
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out.append(char(u));
            continue;
        }
        int found = -1;
        for (int i = 0; i < 32 && found < 0; ++i)
            if (kHigh[i] != 0 && kHigh[i] == u) found = i;
        if (found >= 0) {
            out.append(char(0x80 + found));
        } else {
            out.append('?');
            all = false;
        }
    }
    if (fits) *fits = all;
    return out;
}

QByteArray encodeText(const QString& s)
{
    bool fits = false;
    const QByteArray cp = toCp1252(s, &fits);
    return fits && decodeText(cp) == s ? cp : s.toUtf8();
}

QString decodeText(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString s = utf8(bytes);
    return utf8.hasError() ? fromCp1252(bytes) : s;
}

QString fromCp1252(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const uchar b = uchar(ch);
        const char16_t u = b >= 0x80 && b < 0xA0 && kHigh[b - 0x80] ? kHigh[b - 0x80] : b;
        out.append(QChar(u));
    }
    return out;
}

}  // namespace backupfmt

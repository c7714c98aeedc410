#include "backup/ArchiveBytes.h"

#include "backup/BackupException.h"
#include "core/Cp1252.h"

#include <QStringDecoder>

namespace backupfmt {

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

QByteArray toCp1252(const QString& s, bool* fits) { return cp1252::encode(s, fits); }

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

QString fromCp1252(const QByteArray& bytes) { return cp1252::decode(bytes); }

}  // namespace backupfmt

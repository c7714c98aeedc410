// Helpers of the backup tests: archive bytes written out by hand, files in and out.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

namespace testbytes {

inline QByteArray le(qint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i) b[i] = char((quint32(v) >> (8 * i)) & 0xFF);
    return b;
}

inline QByteArray text(const QByteArray& s) { return le(qint32(s.size())) + s; }

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A volume of a set of several without the set's mark at its end (28 bytes ending "VSET").
inline QByteArray withoutMark(const QByteArray& volume)
{
    return volume.endsWith("VSET") ? volume.chopped(28) : volume;
}

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(bytes);
}

inline QByteArray randomBytes(int n, quint32 seed)
{
    QRandomGenerator rng(seed);
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i) b[i] = char(rng.bounded(256));
    return b;
}

// The MS-DOS date of a file, packed here from its local modification time.
inline qint32 dosDateOf(const QString& path)
{
    const QDateTime t = QFileInfo(path).lastModified().toLocalTime();
    return qint32(quint32((t.date().year() - 1980) << 9 | t.date().month() << 5 | t.date().day()) << 16
                  | quint32(t.time().hour() << 11 | t.time().minute() << 5 | t.time().second() / 2));
}

// An archive header: title, total size, file count.
inline QByteArray header(qint32 total, qint32 count) { return le(0) + le(total) + le(count); }

// One entry with a single stored block of `data` (at most 16,384 bytes).
inline QByteArray storedEntry(const QByteArray& name, const QByteArray& data, qint32 date = 0x54210000)
{
    return text(name) + le(date) + QByteArray("EC2\0", 4) + le(-qint32(data.size())) + data + le(0);
}

}  // namespace testbytes

#include "backup/DosDate.h"

#include <QFile>
#include <QFileInfo>

namespace backupfmt {

qint32 toDos(const QDateTime& utc)
{
    const QDateTime t = utc.toLocalTime();
    const QDate d = t.date();
    const QTime h = t.time();
    if (!d.isValid() || d.year() < 1980) return (1 << 5 | 1) << 16;  // 1 January 1980
    const quint32 date = quint32(std::min(d.year() - 1980, 127)) << 9 | quint32(d.month()) << 5
                         | quint32(d.day());
    const quint32 time = quint32(h.hour()) << 11 | quint32(h.minute()) << 5 | quint32(h.second() / 2);
    return qint32(date << 16 | time);
}

QDateTime fromDos(qint32 dos)
{
    const quint32 v = quint32(dos);
    const quint32 date = v >> 16, time = v & 0xFFFF;
    const QDate d(int(date >> 9) + 1980, int((date >> 5) & 15), int(date & 31));
    const QTime h(int(time >> 11), int((time >> 5) & 63), int((time & 31) * 2));
    if (!d.isValid() || !h.isValid()) return {};
    return QDateTime(d, h, Qt::LocalTime);
}

qint32 fileDate(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() ? toDos(info.lastModified()) : 0;
}

bool setFileDate(const QString& path, qint32 dos)
{
    const QDateTime t = fromDos(dos);
    if (!t.isValid()) return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite | QIODevice::ExistingOnly)) return false;
    return f.setFileTime(t, QFileDevice::FileModificationTime);
}

}  // namespace backupfmt

#include "backup/ArchiveFlag.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <sys/stat.h>

namespace archiveflag {

namespace {

QString stateFile()
{
    const QString env = qEnvironmentVariable("TOLMARE_ARCHIVE_STATE");
    if (!env.isEmpty()) return env;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
           + "/Tolmare/archive-flags.txt";
}

// "<size> <mtime ns>" of a file; empty when it cannot be read.
QString stamp(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return {};
    return QString("%1 %2").arg(qint64(st.st_size))
        .arg(qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec);
}

// Lines "<stamp>\t<absolute path>".
QHash<QString, QString> load()
{
    QHash<QString, QString> map;
    QFile f(stateFile());
    if (!f.open(QIODevice::ReadOnly)) return map;
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).chopped(1);
        const int tab = line.indexOf('\t');
        if (tab > 0) map.insert(line.mid(tab + 1), line.left(tab));
    }
    return map;
}

}  // namespace

bool has(const QString& path)
{
    const QString now = stamp(path);
    return now.isEmpty() || load().value(QFileInfo(path).absoluteFilePath()) != now;
}

void clear(const QString& path)
{
    const QString now = stamp(path);
    if (now.isEmpty()) return;
    QHash<QString, QString> map = load();
    map.insert(QFileInfo(path).absoluteFilePath(), now);
    QDir().mkpath(QFileInfo(stateFile()).path());
    QSaveFile f(stateFile());
    if (!f.open(QIODevice::WriteOnly)) return;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        f.write((it.value() + '\t' + it.key() + '\n').toUtf8());
    f.commit();
}

}  // namespace archiveflag

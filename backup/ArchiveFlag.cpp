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

}  // namespace

// "<size> <mtime ns>" of a file; empty when it cannot be read.
QString stamp(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return {};
    return QString("%1 %2").arg(qint64(st.st_size))
        .arg(qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec);
}

namespace {

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

State::State() : map_(load()) {}

bool State::has(const QString& path) const
{
    const QString now = stamp(path);
    return now.isEmpty() || map_.value(QFileInfo(path).absoluteFilePath()) != now;
}

void State::clear(const QString& path) { clear(path, stamp(path)); }

void State::clear(const QString& path, const QString& stamp)
{
    if (stamp.isEmpty()) return;
    map_.insert(QFileInfo(path).absoluteFilePath(), stamp);
    dirty_ = true;
}

bool State::save()
{
    if (!dirty_) return true;
    QDir().mkpath(QFileInfo(stateFile()).path());
    QSaveFile f(stateFile());
    if (!f.open(QIODevice::WriteOnly)) return false;
    for (auto it = map_.cbegin(); it != map_.cend(); ++it)
        f.write((it.value() + '\t' + it.key() + '\n').toUtf8());
    if (!f.commit()) return false;
    dirty_ = false;
    return true;
}

bool has(const QString& path) { return State().has(path); }

void clear(const QString& path)
{
    State s;
    s.clear(path);
    s.save();
}

}  // namespace archiveflag

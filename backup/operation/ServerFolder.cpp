#include "backup/operation/ServerFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace backup {

namespace {

const char* const kPrefix = "tolmare-servidor-";
const char* const kLock = ".em-uso";

// An ended run's folder: its lock file can be locked, or it has none and is older than any run
// takes between making the folder and locking it.
bool ended(const QString& folder)
{
    const QByteArray lock = QFile::encodeName(QDir(folder).filePath(kLock));
    const int fd = ::open(lock.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return QFileInfo(folder).lastModified().secsTo(QDateTime::currentDateTime()) > 600;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

// The folders of ended runs of this user, in the temporary folder (never a link's target).
void removeEnded()
{
    const QDir temp(QDir::tempPath());
    for (const QFileInfo& f : temp.entryInfoList(
             {QString(kPrefix) + "*"}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (f.isSymLink() || f.ownerId() != ::getuid() || !ended(f.absoluteFilePath())) continue;
        QDir(f.absoluteFilePath()).removeRecursively();
    }
}

}  // namespace

ServerFolder::ServerFolder() : dir_(QDir::tempPath() + "/" + kPrefix + "XXXXXX")
{
    // This run's folder, fresh and without a lock file yet, is not taken for an ended one.
    removeEnded();
    if (dir_.isValid()) {
        // The lock file appears under its name already locked: another run that finds it
        // unlocked knows this one ended.
        const QByteArray lock = QFile::encodeName(QDir(dir_.path()).filePath(kLock));
        const QByteArray made = lock + ".novo";
        lock_ = ::open(made.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        ok_ = lock_ >= 0 && ::flock(lock_, LOCK_EX | LOCK_NB) == 0
              && ::rename(made.constData(), lock.constData()) == 0;
    }
    if (!ok_)
        error_ = "Não foi possível criar uma pasta temporária em " + QDir::tempPath() + " ("
                 + (dir_.isValid() ? QString::fromLocal8Bit(strerror(errno)) : dir_.errorString())
                 + "): libere espaço ou confira as permissões da pasta temporária.";
}

ServerFolder::~ServerFolder()
{
    // The copies go while the lock is held, the lock file last (with the folder, by dir_): a run
    // killed meanwhile leaves a folder whose lock is free, or an empty one.
    if (ok_) {
        for (const QFileInfo& f : QDir(dir_.path()).entryInfoList(
                 QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
            if (f.fileName() == kLock) continue;
            if (f.isDir() && !f.isSymLink()) QDir(f.absoluteFilePath()).removeRecursively();
            else QFile::remove(f.absoluteFilePath());
        }
    }
    if (lock_ >= 0) ::close(lock_);
}

}  // namespace backup

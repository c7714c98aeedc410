#include "backup/SourceFile.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace backupfmt {

namespace {

SourceOpener g_opener;

std::unique_ptr<QIODevice> openRegular(const QString& path)
{
    // Non-blocking, so that a named pipe put in a file's place cannot hold the backup; the
    // flag is cleared again once the file is known to be a regular one.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)
        || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    auto f = std::make_unique<QFile>();
    if (!f->open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return nullptr;
    }
    return f;
}

}  // namespace

std::unique_ptr<QIODevice> openSource(const QString& path)
{
    return g_opener ? g_opener(path) : openRegular(path);
}

void setSourceOpener(SourceOpener opener) { g_opener = std::move(opener); }

qint64 readFully(QIODevice& in, char* out, qint64 n)
{
    qint64 got = 0;
    while (got < n) {
        const qint64 r = in.read(out + got, n - got);
        if (r < 0) return -1;
        if (r == 0) break;
        got += r;
    }
    return got;
}

}  // namespace backupfmt

#include "tblscn/FileOps.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tblscn {

int createPrivateFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return errno;
    // The umask can only take bits away; set the mode explicitly anyway.
    const int rc = ::fchmod(fd, 0600) == 0 ? 0 : errno;
    ::close(fd);
    if (rc) ::unlink(path.c_str());
    return rc;
}

int renameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without the flag: a hard link fails on an existing name just the same.
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    ::unlink(from.c_str());
    return 0;
}

void syncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

bool isSymlink(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string errnoText(int err, const std::string& fileName)
{
    switch (err) {
    case EACCES:
    case EPERM:
    case EROFS:
        return "Sem permissão de escrita na pasta de dados para gravar " + fileName
               + ": dê ao usuário permissão de escrita na pasta e tente de novo.";
    case ENOSPC:
    case EDQUOT:
        return "Disco cheio ao gravar " + fileName
               + ": libere espaço na pasta de dados e tente de novo. Nada foi alterado.";
    default:
        return fileName + ": " + std::strerror(err);
    }
}

}  // namespace tblscn

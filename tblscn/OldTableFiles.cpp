#include "tblscn/OldTableFiles.h"

#include "tblscn/FileOps.h"
#include "tblscn/ParadoxConversion.h"
#include "tblscn/SoundFiles.h"
#include "tblscn/TableDb.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tblscn {

namespace {

const std::string kPrefix = "Paradox-";

// "AAAAMMDD-HHMMSS" of the first conversion of this check, `later` seconds on.
std::string stamp(int later)
{
    static const time_t first = std::time(nullptr);
    const time_t t = first + later;
    tm local {};
    localtime_r(&t, &local);
    char b[32];
    std::strftime(b, sizeof b, "%Y%m%d-%H%M%S", &local);
    return b;
}

bool exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool sameFile(const std::string& a, const std::string& b)
{
    struct stat sa {}, sb {};
    return ::lstat(a.c_str(), &sa) == 0 && ::lstat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev
           && sa.st_ino == sb.st_ino;
}

std::string baseOf(const std::string& name)
{
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// Copies `from` to `to` byte for byte (for a file system without hard links): written beside,
// synced, then renamed. 0 or the errno.
int copyFile(const std::string& from, const std::string& to)
{
    const std::string tmp = to + ".copia";
    const int in = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0) return errno;
    ::unlink(tmp.c_str());
    const int out = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    int e = out < 0 ? errno : 0;
    char buf[65536];
    while (!e) {
        const ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) e = errno;
        if (n <= 0) break;
        for (ssize_t done = 0; !e && done < n;) {
            const ssize_t w = ::write(out, buf + done, size_t(n - done));
            if (w < 0 && errno != EINTR) e = errno;
            if (w > 0) done += w;
        }
    }
    if (!e && ::fsync(out) != 0) e = errno;
    ::close(in);
    if (out >= 0 && ::close(out) != 0 && !e) e = errno;
    if (!e) e = renameNoReplace(tmp, to);
    if (e) ::unlink(tmp.c_str());
    return e;
}

// The counts on the last line of a report ("Convertidos: N; recusados: M").
bool readCounts(const std::string& report, long& taken, long& refused)
{
    FILE* f = std::fopen(report.c_str(), "rb");
    if (!f) return false;
    char tail[256] = {};
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fseek(f, size > 200 ? size - 200 : 0, SEEK_SET);
    const size_t n = std::fread(tail, 1, sizeof tail - 1, f);
    std::fclose(f);
    tail[n] = 0;
    const char* at = std::strstr(tail, "Convertidos: ");
    while (at && std::strstr(at + 1, "Convertidos: ")) at = std::strstr(at + 1, "Convertidos: ");
    return at && std::sscanf(at, "Convertidos: %ld; recusados: %ld", &taken, &refused) == 2;
}

}  // namespace

OldTableFiles::OldTableFiles(const std::string& folder, const store::TableSpec& spec)
    : folder_(folder), spec_(spec)
{}

std::string OldTableFiles::hidden(const std::string& suffix) const
{
    return folder_ + "/." + spec_.fileName + "." + suffix;
}

std::string OldTableFiles::partialTable() const { return hidden("conversao"); }

FILE* OldTableFiles::openPartialReport()
{
    const std::string path = hidden("conversao.txt");
    if (const int e = createPrivateFile(path)) {
        errno = e;
        return nullptr;
    }
    return std::fopen(path.c_str(), "w");
}

bool OldTableFiles::closeDurably(FILE* f)
{
    bool ok = std::fflush(f) == 0 && !std::ferror(f) && ::fsync(::fileno(f)) == 0;
    return std::fclose(f) == 0 && ok;
}

std::string OldTableFiles::pendingName() const
{
    const std::string start = "." + spec_.fileName + "." + kPrefix;
    std::string found;
    if (DIR* d = ::opendir(folder_.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name.compare(0, start.size(), start) == 0 && name.size() == start.size() + 15)
                found = name;
        }
        ::closedir(d);
    }
    return found;
}

bool OldTableFiles::pending() const { return !pendingName().empty(); }

void OldTableFiles::discardPartial()
{
    for (const char* s : {"conversao", "conversao-journal", "conversao.txt"})
        ::unlink(hidden(s).c_str());
    // A report committed without its table.
    const std::string start = "." + spec_.fileName + "." + kPrefix;
    std::vector<std::string> stale;
    if (DIR* d = ::opendir(folder_.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name.compare(0, start.size(), start) == 0 && name.size() == start.size() + 19
                && name.compare(name.size() - 4, 4, ".txt") == 0
                && !exists(folder_ + "/" + name.substr(0, name.size() - 4)))
                stale.push_back(name);
        }
        ::closedir(d);
    }
    for (const std::string& s : stale) ::unlink((folder_ + "/" + s).c_str());
}

int OldTableFiles::commitPartial(const std::string& oldFile)
{
    // A subfolder that already holds a file of this name belongs to another conversion.
    std::string when;
    for (int later = 0; when.empty() || exists(folder_ + "/" + kPrefix + when + "/" + oldFile);)
        when = stamp(later++);
    const std::string table = hidden(kPrefix + when);
    if (const int e = renameNoReplace(hidden("conversao.txt"), table + ".txt")) return e;
    syncFolder(folder_);
    if (const int e = renameNoReplace(partialTable(), table)) return e;
    syncFolder(folder_);
    return 0;
}

Result OldTableFiles::finish()
{
    Result r;
    const std::string waiting = pendingName();
    const std::string when = waiting.substr(waiting.size() - 15);
    const std::string subName = kPrefix + when;
    const std::string sub = folder_ + "/" + subName;
    const std::string newTable = folder_ + "/" + waiting;
    const std::string path = folder_ + "/" + spec_.fileName;
    if (::mkdir(sub.c_str(), 0700) != 0 && errno != EEXIST) {
        r.error = errnoText(errno, spec_.fileName);
        return r;
    }
    struct stat st {};
    if (::lstat(sub.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        r.error = "A pasta " + subName + " da pasta de dados não é uma pasta: tire-a dali e "
                  "tente de novo.";
        return r;
    }
    const std::string report = sub + "/CONVERSAO-" + spec_.tableName() + ".txt";
    if (exists(newTable + ".txt")) {
        if (const int e = renameNoReplace(newTable + ".txt", report)) {
            r.error = errnoText(e, spec_.fileName);
            return r;
        }
    }
    // The companions first, the table file last: until the new file is in place the old
    // table's file stays where it was.
    std::vector<std::string> companions;
    std::string oldTable;
    if (DIR* d = ::opendir(folder_.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            struct stat es {};
            if (name[0] == '.' || ::lstat((folder_ + "/" + name).c_str(), &es) != 0
                || !S_ISREG(es.st_mode))
                continue;
            if (::strcasecmp(name.c_str(), spec_.fileName.c_str()) == 0) {
                if ((oldTable.empty() || name == spec_.fileName) && isOldFormat(folder_ + "/" + name))
                    oldTable = name;
            } else if (::strcasecmp(baseOf(name).c_str(), baseOf(spec_.fileName).c_str()) == 0) {
                companions.push_back(name);
            }
        }
        ::closedir(d);
    }
    for (const std::string& c : companions)
        if (const int e = renameNoReplace(folder_ + "/" + c, sub + "/" + c)) {
            r.error = e == EEXIST ? "A pasta " + subName + " já tem um arquivo " + c
                                        + ": tire-o dali e tente de novo."
                                  : errnoText(e, c);
            return r;
        }
    if (!oldTable.empty()) {
        const std::string from = folder_ + "/" + oldTable, kept = sub + "/" + oldTable;
        if (!sameFile(from, kept)) {
            int e = ::link(from.c_str(), kept.c_str()) == 0 ? 0 : errno;
            if (e == EPERM || e == EXDEV || e == ENOTSUP || e == EMLINK) e = copyFile(from, kept);
            if (e) {
                r.error = e == EEXIST ? "A pasta " + subName + " já tem um arquivo " + oldTable
                                            + ": tire-o dali e tente de novo."
                                      : errnoText(e, spec_.fileName);
                return r;
            }
        }
        syncFolder(sub);
    }
    const bool sameName = oldTable.empty() || oldTable == spec_.fileName;
    const int e = sameName ? (std::rename(newTable.c_str(), path.c_str()) == 0 ? 0 : errno)
                           : renameNoReplace(newTable, path);
    if (e) {
        r.error = errnoText(e, spec_.fileName);
        return r;
    }
    if (!sameName) ::unlink((folder_ + "/" + oldTable).c_str());
    syncFolder(sub);
    syncFolder(folder_);
    rememberSound(path);
    long taken = 0, refused = 0;
    r.action = Action::Converted;
    if (readCounts(report, taken, refused)) {
        r.refused = refused;
        r.text = std::to_string(taken) + " registro(s) convertido(s), " + std::to_string(refused)
                 + " recusado(s)"
                 + (refused ? " (listados em " + subName + "/" + report.substr(sub.size() + 1) + ")"
                            : std::string())
                 + "; arquivos antigos em " + subName;
    } else {
        r.text = "Convertida; arquivos antigos em " + subName;
    }
    return r;
}

}  // namespace tblscn

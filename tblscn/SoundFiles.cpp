#include "tblscn/SoundFiles.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tblscn {

namespace {

std::string stamp(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) + "."
           + std::to_string(st.st_mtim.tv_nsec) + ":" + std::to_string(st.st_ino);
}

std::string stateFile()
{
    if (const char* env = std::getenv("TOLMARE_TBLSCN_STATE"); env && *env) return env;
    std::string base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.local/share";
    else return {};
    const std::string folder = base + "/Tolmare";
    for (size_t at = 1; at <= folder.size(); ++at)
        if (at == folder.size() || folder[at] == '/') ::mkdir(folder.substr(0, at).c_str(), 0700);
    return folder + "/tblscn-verified.txt";
}

std::string absolute(const std::string& path)
{
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) ? std::string(buf) : path;
}

std::map<std::string, std::string> loadVerified()
{
    std::map<std::string, std::string> out;
    const std::string file = stateFile();
    if (file.empty()) return out;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const size_t tab = line.find('\t');
        if (tab != std::string::npos) out[line.substr(tab + 1)] = line.substr(0, tab);
    }
    return out;
}

// An exclusive lock on `path` (created 0600), waited for at most 5 s.
class StateLock {
public:
    explicit StateLock(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600))
    {
        for (int waited = 0; fd_ >= 0 && !held_ && waited < 5000; waited += 10) {
            held_ = ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
            if (!held_) ::usleep(10 * 1000);
        }
    }
    ~StateLock()
    {
        if (fd_ >= 0) ::close(fd_);  // lets the lock go
    }
    StateLock(const StateLock&) = delete;
    StateLock& operator=(const StateLock&) = delete;
    bool held() const { return held_; }

private:
    int fd_;
    bool held_ = false;
};

bool writeAll(int fd, const std::string& text)
{
    for (size_t at = 0; at < text.size();) {
        const ssize_t n = ::write(fd, text.data() + at, text.size() - at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        at += size_t(n);
    }
    return true;
}

}  // namespace

bool knownSound(const std::string& path)
{
    const std::string now = stamp(path);
    return !now.empty() && loadVerified()[absolute(path)] == now;
}

void rememberSound(const std::string& path)
{
    const std::string file = stateFile();
    if (file.empty()) return;
    // Several programs may remember files at once: each reads, changes and replaces the state
    // under a lock, so none loses another's lines. Remembering is only a saving: when the lock
    // is not had within its wait, or the state cannot be written, the file is checked again
    // next time.
    const StateLock lock(file + ".lock");
    if (!lock.held()) return;
    std::map<std::string, std::string> all = loadVerified();
    if (all[absolute(path)] == stamp(path)) return;
    all[absolute(path)] = stamp(path);
    for (auto it = all.begin(); it != all.end();)  // files that are gone
        it = stamp(it->first).empty() ? all.erase(it) : std::next(it);
    std::string text;
    for (const auto& [name, st] : all)
        text.append(st).append(1, '\t').append(name).append(1, '\n');
    std::string tmp = file + ".XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) return;
    const bool written = writeAll(fd, text) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written || std::rename(tmp.c_str(), file.c_str()) != 0)
        ::unlink(tmp.c_str());
}

}  // namespace tblscn

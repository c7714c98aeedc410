#include "tblscn/SoundFiles.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
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
    std::map<std::string, std::string> all = loadVerified();
    if (all[absolute(path)] == stamp(path)) return;
    all[absolute(path)] = stamp(path);
    for (auto it = all.begin(); it != all.end();)  // files that are gone
        it = stamp(it->first).empty() ? all.erase(it) : std::next(it);
    const std::string tmp = file + "." + std::to_string(::getpid());
    {
        std::ofstream out(tmp, std::ios::trunc);
        for (const auto& [name, st] : all) out << st << '\t' << name << '\n';
        if (!out) return;
    }
    std::rename(tmp.c_str(), file.c_str());
}

}  // namespace tblscn

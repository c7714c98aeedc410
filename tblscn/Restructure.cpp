#include "tblscn/Restructure.h"

#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace tblscn {

namespace {

using store::FieldType;

struct Db {
    sqlite3* h = nullptr;
    ~Db() { sqlite3_close_v2(h); }
    bool open(const std::string& path, int flags)
    {
        if (sqlite3_open_v2(path.c_str(), &h, flags, nullptr) != SQLITE_OK) return false;
        store::registerCollation(h);
        sqlite3_busy_timeout(h, 2000);
        return true;
    }
    std::string error() const { return h ? sqlite3_errmsg(h) : "out of memory"; }
    bool exec(const std::string& sql, std::string& err)
    {
        char* msg = nullptr;
        if (sqlite3_exec(h, sql.c_str(), nullptr, nullptr, &msg) == SQLITE_OK) return true;
        err = msg ? msg : error();
        sqlite3_free(msg);
        return false;
    }
};

bool integrityOk(sqlite3* h)
{
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(h, "PRAGMA integrity_check", -1, &st, nullptr) != SQLITE_OK) return false;
    bool ok = sqlite3_step(st) == SQLITE_ROW
              && std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))) == "ok";
    sqlite3_finalize(st);
    return ok;
}

// The expression that turns the old column `name` of type `from` into a value of `to`.
std::string convert(const std::string& name, FieldType from, const store::FieldSpec& to)
{
    const std::string col = store::quoted(name);
    switch (to.type) {
    case FieldType::Alpha:
        return "substr(CAST(" + col + " AS TEXT), 1, " + std::to_string(to.width) + ")";
    case FieldType::Number:
    case FieldType::Money:
        if (from == FieldType::Date) return "NULL";
        return "CAST(" + col + " AS REAL)";
    case FieldType::Date:
        return from == FieldType::Date || from == FieldType::Alpha
                   ? "CASE WHEN " + col + " GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]' "
                     "THEN " + col + " END"
                   : std::string("NULL");
    case FieldType::Autoincrement:
        return from == FieldType::Date || from == FieldType::Alpha ? "NULL"
                                                                  : "CAST(" + col + " AS INTEGER)";
    }
    return "NULL";
}

// Copies every row that can be read from `oldPath` (its table described by `old`) into a new
// file holding `spec`, then puts the new file in the old one's place. Counts the rows left out.
bool copyRows(const std::string& path, const store::TableSpec* old, const store::TableSpec& spec,
              long& copied, long& lost, std::string& err)
{
    const std::string tmp = path + ".restructure";
    std::remove(tmp.c_str());
    {
        Db out;
        if (!out.open(tmp, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) {
            err = out.error();
            return false;
        }
        if (!out.exec("BEGIN", err)) return false;
        for (const std::string& sql : store::createStatements(spec, "main"))
            if (!out.exec(sql, err)) return false;
        if (old) {
            sqlite3_stmt* attach = nullptr;
            sqlite3_prepare_v2(out.h, "ATTACH DATABASE ? AS old", -1, &attach, nullptr);
            sqlite3_bind_text(attach, 1, path.c_str(), -1, SQLITE_TRANSIENT);
            const int rc = sqlite3_step(attach);
            sqlite3_finalize(attach);
            if (rc != SQLITE_DONE) {
                err = out.error();
                return false;
            }
            std::string cols, exprs;
            for (const store::FieldSpec& f : spec.fields) {
                const store::FieldSpec* from = nullptr;
                for (const store::FieldSpec& o : old->fields)
                    if (o.name == f.name) from = &o;
                if (!cols.empty()) {
                    cols += ", ";
                    exprs += ", ";
                }
                cols += store::quoted(f.name);
                exprs += from ? convert(f.name, from->type, f) : "NULL";
            }
            const std::string table = store::quoted(spec.tableName());
            const std::string oldTable = "old." + store::quoted(old->tableName());
            // Row by row, so that a damaged page loses only the rows on it.
            sqlite3_stmt* rd = nullptr;
            sqlite3_stmt* wr = nullptr;
            const std::string read = "SELECT rowid, " + exprs + " FROM " + oldTable
                                     + " WHERE rowid > ? ORDER BY rowid";
            const std::string write = "INSERT OR IGNORE INTO main." + table + " (" + cols
                                      + ") VALUES (" + [&] {
                                            std::string m;
                                            for (size_t i = 0; i < spec.fields.size(); ++i)
                                                m += i ? ", ?" : "?";
                                            return m;
                                        }() + ")";
            if (sqlite3_prepare_v2(out.h, read.c_str(), -1, &rd, nullptr) != SQLITE_OK
                || sqlite3_prepare_v2(out.h, write.c_str(), -1, &wr, nullptr) != SQLITE_OK) {
                err = out.error();
                sqlite3_finalize(rd);
                sqlite3_finalize(wr);
                return false;
            }
            sqlite3_int64 last = -1;
            int skips = 0;
            for (;;) {
                sqlite3_bind_int64(rd, 1, last);
                int rc = 0;
                while ((rc = sqlite3_step(rd)) == SQLITE_ROW) {
                    last = sqlite3_column_int64(rd, 0);
                    for (int i = 0; i < int(spec.fields.size()); ++i)
                        sqlite3_bind_value(wr, i + 1, sqlite3_column_value(rd, i + 1));
                    sqlite3_step(wr);
                    if (sqlite3_changes(out.h) > 0) ++copied;
                    else ++lost;
                    sqlite3_reset(wr);
                }
                sqlite3_reset(rd);
                if (rc == SQLITE_DONE || ++skips > 1000) break;
                ++last;  // a damaged row: step over it
                ++lost;
            }
            sqlite3_finalize(rd);
            sqlite3_finalize(wr);
            // Autoincrement values are never given again: keep the old counter.
            out.exec("UPDATE main.sqlite_sequence SET seq = MAX(seq, (SELECT seq FROM "
                     "old.sqlite_sequence WHERE name = " + store::quoted(old->tableName())
                         + ")) WHERE name = " + store::quoted(spec.tableName()),
                     err);
        }
        if (!out.exec("COMMIT", err)) return false;
        if (old) out.exec("DETACH DATABASE old", err);
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        err = "cannot replace " + path;
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

// The integrity check reads every page of a file. A file found sound is remembered by its
// size, modification time and inode in a state file of the user's data folder
// ($XDG_DATA_HOME or ~/.local/share, "Tolmare/tblscn-verified.txt"; TOLMARE_TBLSCN_STATE names
// another), and is checked again only once it has changed, so a start-up does not grow with the
// row count. Nothing is added to the data folder.
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
    else if (const char* home = std::getenv("HOME"); home && *home) base = std::string(home) + "/.local/share";
    else return {};
    const std::string folder = base + "/Tolmare";
    for (size_t at = 1; at <= folder.size(); ++at)
        if (at == folder.size() || folder[at] == '/') ::mkdir(folder.substr(0, at).c_str(), 0755);
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

}  // namespace

bool fileExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

Result bringToDefinition(const std::string& path, const store::TableSpec& spec)
{
    Result r;
    long copied = 0, lost = 0;
    if (!fileExists(path)) {
        r.action = Action::Created;
        if (!copyRows(path, nullptr, spec, copied, lost, r.error)) return r;
        r.text = "Tabela criada";
        return r;
    }
    store::TableSpec current;
    bool readable = false;
    bool sound = false;
    {
        Db in;
        if (!in.open(path, SQLITE_OPEN_READWRITE)) {
            r.error = path + ": " + in.error();
            return r;
        }
        std::string err;
        sound = knownSound(path) || integrityOk(in.h);
        readable = store::readSpec(in.h, "main", spec.fileName, current, err);
    }
    current.fileName = spec.fileName;
    if (sound && readable && current == spec) {
        rememberSound(path);
        r.text = "Estrutura conferida";
        return r;
    }
    r.action = sound ? Action::Modified : Action::Rebuilt;
    // A file that cannot be read as a table is kept aside, never thrown away.
    if (!readable && std::rename(path.c_str(), (path + ".damaged").c_str()) != 0) {
        r.error = "cannot move the damaged file " + path + " aside";
        return r;
    }
    if (!copyRows(path, readable ? &current : nullptr, spec, copied, lost, r.error)) {
        r.error = path + ": " + r.error;
        return r;
    }
    r.text = (sound ? "Estrutura alterada, " : "Tabela refeita, ") + std::to_string(copied)
             + " registro(s) mantido(s)";
    if (lost) r.text += ", " + std::to_string(lost) + " perdido(s)";
    return r;
}

}  // namespace tblscn

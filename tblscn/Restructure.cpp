#include "tblscn/Restructure.h"

#include "tblscn/FileOps.h"
#include "tblscn/SoundFiles.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tblscn {

namespace {

using store::FieldType;

// What an SQLite failure means for the table: another program holds it, the file is not a
// sound database, or something else went wrong (permissions, a full disk).
enum class Fault { None, Busy, Damaged, Other };

Fault classify(int rc)
{
    switch (rc & 0xff) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE: return Fault::None;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return Fault::Busy;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return Fault::Damaged;
    default: return Fault::Other;
    }
}

struct Db {
    sqlite3* h = nullptr;
    int rc = SQLITE_OK;  // the last failure
    std::string msg;

    ~Db() { sqlite3_close_v2(h); }  // an open transaction is rolled back
    bool open(const std::string& path, int flags)
    {
        rc = sqlite3_open_v2(path.c_str(), &h, flags, nullptr);
        if (rc != SQLITE_OK) {
            msg = h ? sqlite3_errmsg(h) : "out of memory";
            return false;
        }
        sqlite3_extended_result_codes(h, 1);
        store::registerCollation(h);
        sqlite3_busy_timeout(h, kBusyWaitMs);
        return true;
    }
    bool failed(int code)
    {
        rc = code;
        msg = sqlite3_errmsg(h);
        return false;
    }
    bool exec(const std::string& sql)
    {
        char* m = nullptr;
        const int code = sqlite3_exec(h, sql.c_str(), nullptr, nullptr, &m);
        if (code == SQLITE_OK) return true;
        rc = code;
        msg = m ? m : sqlite3_errmsg(h);
        sqlite3_free(m);
        return false;
    }
    // The first column of the first row as text; false on failure.
    bool text(const std::string& sql, std::string& out)
    {
        sqlite3_stmt* st = nullptr;
        int code = sqlite3_prepare_v2(h, sql.c_str(), -1, &st, nullptr);
        if (code != SQLITE_OK) return failed(code);
        code = sqlite3_step(st);
        out.clear();
        if (code == SQLITE_ROW && sqlite3_column_text(st, 0))
            out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        sqlite3_finalize(st);
        if (code != SQLITE_ROW && code != SQLITE_DONE) return failed(code);
        return true;
    }
    Fault fault() const { return classify(rc); }
};

std::string busyText(const std::string& fileName, bool writing)
{
    return "Tabela " + fileName + " bloqueada por outro programa ("
           + (writing ? "trava de escrita" : "trava exclusiva") + ") por mais de "
           + std::to_string(kBusyWaitMs / 1000)
           + " s: nada foi alterado. Espere o outro programa terminar e abra de novo.";
}

std::string sqliteText(const Db& db, const std::string& fileName)
{
    switch (db.rc & 0xff) {
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH: return errnoText(EACCES, fileName);
    case SQLITE_FULL: return errnoText(ENOSPC, fileName);
    default: return fileName + ": " + db.msg;
    }
}

// The operator's message for a failure that is not damage.
std::string failureText(const Db& db, const std::string& fileName, bool writing)
{
    return db.fault() == Fault::Busy ? busyText(fileName, writing) : sqliteText(db, fileName);
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

// The column list of `spec` and, in the same order, the expressions reading each from a table
// described by `old` (columns of unknown type are read as text).
void copyLists(const store::TableSpec& old, const std::vector<std::string>& foreign,
               const store::TableSpec& spec, std::string& cols, std::string& exprs)
{
    for (const store::FieldSpec& f : spec.fields) {
        std::string expr = "NULL";
        for (const store::FieldSpec& o : old.fields)
            if (o.name == f.name) expr = convert(f.name, o.type, f);
        for (const std::string& o : foreign)
            if (o == f.name) expr = convert(f.name, FieldType::Alpha, f);
        cols += (cols.empty() ? "" : ", ") + store::quoted(f.name);
        exprs += (exprs.empty() ? "" : ", ") + expr;
    }
}

bool hasAutoincrement(const store::TableSpec& spec)
{
    for (const store::FieldSpec& f : spec.fields)
        if (f.type == FieldType::Autoincrement) return true;
    return false;
}

std::string countText(long copied, long lost)
{
    std::string t = std::to_string(copied) + " registro(s)";
    if (lost) t += ", " + std::to_string(lost) + " perdido(s)";
    return t;
}

// What the file holds: whether the table is there, its description and its foreign columns.
struct Found {
    bool exists = false;
    store::TableSpec spec;
    std::vector<std::string> foreign;
};

bool readFound(Db& db, const store::TableSpec& spec, Found& out)
{
    std::string n;
    if (!db.text("SELECT count(*) FROM main.sqlite_master WHERE type = 'table' AND name = "
                 "'" + spec.tableName() + "' COLLATE NOCASE", n))
        return false;
    out = Found{};
    out.exists = n != "0";
    std::string err;
    if (out.exists) store::readSpec(db.h, "main", spec.fileName, out.spec, err, &out.foreign);
    out.spec.fileName = spec.fileName;
    return true;
}

// Brings the table of an open, sound file to `spec` inside one write transaction of the file:
// the old table is renamed, the new one created with its indexes, the rows copied, the old
// table dropped. A failure (or a kill) leaves the file as it was.
Result modifyInPlace(Db& db, const std::string& path, const store::TableSpec& spec)
{
    Result r;
    if (!db.exec("BEGIN IMMEDIATE")) {
        r.error = failureText(db, spec.fileName, true);
        return r;
    }
    // Read again under the lock: another program may have done the work meanwhile.
    Found found;
    if (!readFound(db, spec, found)) {
        r.error = failureText(db, spec.fileName, true);
        return r;
    }
    if (found.exists && found.spec == spec && found.foreign.empty()) {
        db.exec("ROLLBACK");
        r.text = "Estrutura conferida";
        return r;
    }
    const std::string table = store::quoted(spec.tableName());
    const std::string old = store::quoted(spec.tableName() + "__TBLSCN_OLD");
    bool ok = db.exec("PRAGMA legacy_alter_table = ON");
    long total = 0, copied = 0;
    if (ok && found.exists) {
        // Index names belong to the schema: the old table's go first.
        std::vector<std::string> indexes;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db.h, ("SELECT name FROM pragma_index_list(" + table
                                      + ") WHERE origin = 'c'").c_str(),
                               -1, &st, nullptr) == SQLITE_OK) {
            while (sqlite3_step(st) == SQLITE_ROW)
                indexes.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        }
        sqlite3_finalize(st);
        for (const std::string& idx : indexes)
            ok = ok && db.exec("DROP INDEX main." + store::quoted(idx));
        ok = ok && db.exec("ALTER TABLE main." + table + " RENAME TO " + old);
    }
    for (const std::string& sql : store::createStatements(spec, "main")) ok = ok && db.exec(sql);
    if (ok && found.exists) {
        std::string cols, exprs, n;
        copyLists(found.spec, found.foreign, spec, cols, exprs);
        ok = db.text("SELECT count(*) FROM main." + old, n);
        total = ok ? std::stol(n) : 0;
        ok = ok && db.exec("INSERT OR IGNORE INTO main." + table + " (" + cols + ") SELECT "
                           + exprs + " FROM main." + old + " ORDER BY rowid");
        copied = ok ? long(sqlite3_changes(db.h)) : 0;
        // Autoincrement values are never given again: the new table keeps the old counter.
        std::string sequence;
        if (ok && hasAutoincrement(spec))
            ok = db.text("SELECT count(*) FROM main.sqlite_master WHERE name = 'sqlite_sequence'",
                         sequence);
        if (ok && sequence == "1") {
            const std::string oldName = "'" + spec.tableName() + "__TBLSCN_OLD'";
            const std::string newName = "'" + spec.tableName() + "'";
            ok = db.exec("INSERT INTO main.sqlite_sequence (name, seq) SELECT " + newName
                         + ", 0 WHERE NOT EXISTS (SELECT 1 FROM main.sqlite_sequence WHERE name = "
                         + newName + ")")
                 && db.exec("UPDATE main.sqlite_sequence SET seq = MAX(seq, COALESCE((SELECT seq "
                            "FROM main.sqlite_sequence WHERE name = " + oldName + "), 0)) "
                            "WHERE name = " + newName);
        }
        ok = ok && db.exec("DROP TABLE main." + old);
    }
    if (!ok || !db.exec("COMMIT")) {
        r.error = failureText(db, spec.fileName, true);
        db.exec("ROLLBACK");
        return r;
    }
    rememberSound(path);
    r.action = found.exists ? Action::Modified : Action::Created;
    r.text = found.exists ? "Estrutura alterada, " + countText(copied, total - copied)
                                + " mantido(s)"
                          : "Tabela criada";
    return r;
}

// A new file beside the table's, created private and holding the empty table.
bool newTableFile(const std::string& tmp, const store::TableSpec& spec, Db& out, Result& r)
{
    ::unlink(tmp.c_str());  // left by an interrupted run
    if (const int e = createPrivateFile(tmp)) {
        r.error = errnoText(e, spec.fileName);
        return false;
    }
    bool ok = out.open(tmp, SQLITE_OPEN_READWRITE) && out.exec("BEGIN");
    for (const std::string& sql : store::createStatements(spec, "main")) ok = ok && out.exec(sql);
    if (!ok) {
        r.error = sqliteText(out, spec.fileName);
        ::unlink(tmp.c_str());
    }
    return ok;
}

Result create(const std::string& path, const store::TableSpec& spec)
{
    Result r;
    r.action = Action::Created;
    const std::string tmp = path + ".tblscn-new";
    {
        Db out;
        if (!newTableFile(tmp, spec, out, r)) return r;
        if (!out.exec("COMMIT")) {
            r.error = sqliteText(out, spec.fileName);
            ::unlink(tmp.c_str());
            return r;
        }
    }
    // Placed complete, and never over a file another program created meanwhile.
    if (const int e = renameNoReplace(tmp, path)) {
        ::unlink(tmp.c_str());
        if (e != EEXIST) r.error = errnoText(e, spec.fileName);
        else return bringToDefinition(folderOf(path), spec);
        return r;
    }
    syncFolder(folderOf(path));
    r.text = "Tabela criada";
    return r;
}

// Copies every row that can still be read from the damaged file at `path` into a new file,
// keeps the damaged one beside it under a new name and puts the new one in its place.
Result salvage(const std::string& path, const store::TableSpec& spec)
{
    Result r;
    r.action = Action::Rebuilt;
    // Writers stay out while the rows are read, when the file can be locked at all.
    Db lock;
    if (lock.open(path, SQLITE_OPEN_READWRITE) && !lock.exec("BEGIN IMMEDIATE")
        && lock.fault() == Fault::Busy) {
        r.error = busyText(spec.fileName, true);
        return r;
    }
    const std::string tmp = path + ".tblscn-new";
    long copied = 0, lost = 0;
    {
        Db out;
        if (!newTableFile(tmp, spec, out, r)) return r;
        sqlite3_stmt* attach = nullptr;
        sqlite3_prepare_v2(out.h, "ATTACH DATABASE ? AS old", -1, &attach, nullptr);
        sqlite3_bind_text(attach, 1, path.c_str(), -1, SQLITE_TRANSIENT);
        const bool attached = sqlite3_step(attach) == SQLITE_DONE;
        sqlite3_finalize(attach);
        store::TableSpec old;
        std::vector<std::string> foreign;
        std::string err;
        if (attached && store::readSpec(out.h, "old", spec.fileName, old, err, &foreign)) {
            std::string cols, exprs;
            copyLists(old, foreign, spec, cols, exprs);
            // Row by row, so that a damaged page loses only the rows on it.
            sqlite3_stmt* rd = nullptr;
            sqlite3_stmt* wr = nullptr;
            std::string marks;
            for (size_t i = 0; i < spec.fields.size(); ++i) marks += i ? ", ?" : "?";
            const std::string read = "SELECT rowid, " + exprs + " FROM old."
                                     + store::quoted(spec.tableName())
                                     + " WHERE rowid > ? ORDER BY rowid";
            const std::string write = "INSERT OR IGNORE INTO main."
                                      + store::quoted(spec.tableName()) + " (" + cols
                                      + ") VALUES (" + marks + ")";
            if (sqlite3_prepare_v2(out.h, read.c_str(), -1, &rd, nullptr) == SQLITE_OK
                && sqlite3_prepare_v2(out.h, write.c_str(), -1, &wr, nullptr) == SQLITE_OK) {
                sqlite3_int64 last = -1;
                for (int skips = 0;;) {
                    sqlite3_bind_int64(rd, 1, last);
                    int rc = 0;
                    while ((rc = sqlite3_step(rd)) == SQLITE_ROW) {
                        last = sqlite3_column_int64(rd, 0);
                        for (int i = 0; i < int(spec.fields.size()); ++i)
                            sqlite3_bind_value(wr, i + 1, sqlite3_column_value(rd, i + 1));
                        const bool put = sqlite3_step(wr) == SQLITE_DONE
                                         && sqlite3_changes(out.h) > 0;
                        ++(put ? copied : lost);
                        sqlite3_reset(wr);
                    }
                    sqlite3_reset(rd);
                    if (rc == SQLITE_DONE || ++skips > 1000) break;
                    ++last;  // a damaged row: step over it
                    ++lost;
                }
            }
            sqlite3_finalize(rd);
            sqlite3_finalize(wr);
        }
        if (!out.exec("COMMIT")) {
            r.error = sqliteText(out, spec.fileName);
            ::unlink(tmp.c_str());
            return r;
        }
    }
    // The damaged file is kept under the first free name "<file>.damaged", ".damaged.2", ...
    std::string kept;
    int e = EEXIST;
    for (int n = 1; e == EEXIST && n < 1000; ++n) {
        kept = path + ".damaged" + (n > 1 ? "." + std::to_string(n) : "");
        e = ::link(path.c_str(), kept.c_str()) == 0 ? 0 : errno;
        if (e && e != EEXIST) e = renameNoReplace(path, kept);
    }
    if (e || std::rename(tmp.c_str(), path.c_str()) != 0) {
        r.error = errnoText(e ? e : errno, spec.fileName);
        ::unlink(tmp.c_str());
        return r;
    }
    // A journal left beside the damaged file belongs to it, never to the new one.
    const std::string journal = path + "-journal";
    if (::access(journal.c_str(), F_OK) == 0) std::rename(journal.c_str(), (kept + "-journal").c_str());
    syncFolder(folderOf(path));
    rememberSound(path);
    r.text = "Tabela refeita com " + countText(copied, lost) + "; o arquivo anterior foi "
             "guardado como " + kept.substr(kept.rfind('/') + 1);
    return r;
}

// Gives the single case variant of a table file the table's own name, holding its write lock
// so that no program writes it while it is renamed (and any journal of it is settled first).
Result adopt(const std::string& variant, const std::string& path, const store::TableSpec& spec)
{
    Result r;
    Db lock;
    if (lock.open(variant, SQLITE_OPEN_READWRITE) && !lock.exec("BEGIN IMMEDIATE")
        && lock.fault() == Fault::Busy) {
        r.error = busyText(variant.substr(variant.rfind('/') + 1), true);
        return r;
    }
    if (const int e = renameNoReplace(variant, path)) r.error = errnoText(e, spec.fileName);
    else syncFolder(folderOf(path));
    return r;
}

// Checks the existing file at `path`; `damaged` is set when it has to be salvaged.
Result check(const std::string& path, const store::TableSpec& spec, bool& damaged)
{
    Result r;
    damaged = false;
    Db db;
    if (!db.open(path, SQLITE_OPEN_READWRITE)) {
        r.error = failureText(db, spec.fileName, false);
        return r;
    }
    std::string answer;
    bool ok = db.text("SELECT count(*) FROM main.sqlite_master", answer);
    if (ok && !knownSound(path)) ok = db.text("PRAGMA main.integrity_check", answer);
    else answer = "ok";
    Found found;
    ok = ok && readFound(db, spec, found);
    if (!ok && db.fault() != Fault::Damaged) {
        r.error = failureText(db, spec.fileName, false);
        return r;
    }
    if (!ok || answer != "ok") {
        damaged = true;
        return r;
    }
    if (found.exists && found.spec == spec && found.foreign.empty()) {
        rememberSound(path);
        r.text = "Estrutura conferida";
        return r;
    }
    return modifyInPlace(db, path, spec);
}

}  // namespace

std::string tableFile(const std::string& folder, const std::string& fileName,
                      std::vector<std::string>* others)
{
    std::vector<std::string> variants;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (const dirent* e = ::readdir(d))
            if (::strcasecmp(e->d_name, fileName.c_str()) == 0 && fileName != e->d_name)
                variants.emplace_back(e->d_name);
        ::closedir(d);
    }
    struct stat st {};
    std::string chosen;
    if (::lstat((folder + "/" + fileName).c_str(), &st) == 0) chosen = fileName;
    else if (variants.size() == 1) chosen = variants.front();
    if (others) {
        *others = variants;
        if (!chosen.empty() && chosen != fileName) others->clear();
    }
    return chosen;
}

Result bringToDefinition(const std::string& folder, const store::TableSpec& spec)
{
    const std::string path = folder + "/" + spec.fileName;
    std::vector<std::string> others;
    const std::string file = tableFile(folder, spec.fileName, &others);
    Result r;
    if (file.empty() && !others.empty()) {
        std::string names;
        for (const std::string& o : others) names += (names.empty() ? "" : ", ") + o;
        r.error = "Há mais de um arquivo para a tabela " + spec.fileName + " (" + names
                  + "): deixe só um, com o nome " + spec.fileName + ", e abra de novo.";
        return r;
    }
    if (file.empty()) return create(path, spec);
    if (isSymlink(folder + "/" + file)) {
        r.error = "A tabela " + spec.fileName + " (" + file + ") é um link simbólico: ponha o "
                  "próprio arquivo na pasta de dados.";
        return r;
    }
    std::string note;
    if (file != spec.fileName) {
        r = adopt(folder + "/" + file, path, spec);
        if (!r.error.empty()) return r;
        note = "Arquivo " + file + " renomeado para " + spec.fileName + "; ";
    }
    bool damaged = false;
    r = check(path, spec, damaged);
    if (damaged) r = salvage(path, spec);
    if (!note.empty() && r.error.empty()) {
        if (r.action == Action::Verified) r.action = Action::Modified;
        r.text = note + r.text;
    }
    return r;
}

}  // namespace tblscn

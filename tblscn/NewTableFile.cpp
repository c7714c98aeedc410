#include "tblscn/NewTableFile.h"

#include "tblscn/FileOps.h"
#include "tblscn/SoundFiles.h"
#include "tblscn/TableDb.h"

#include <cerrno>
#include <cstdio>

#include <unistd.h>

namespace tblscn {

namespace {

// The name of the new file beside the table's: one per process, so that two checks running at
// once never write into each other's file.
std::string newFileName(const std::string& path)
{
    return path + ".tblscn-new." + std::to_string(::getpid());
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

}  // namespace

Result create(const std::string& path, const store::TableSpec& spec)
{
    Result r;
    r.action = Action::Created;
    const std::string tmp = newFileName(path);
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
    const std::string tmp = newFileName(path);
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
    if (::access(journal.c_str(), F_OK) == 0)
        std::rename(journal.c_str(), (kept + "-journal").c_str());
    syncFolder(folderOf(path));
    rememberSound(path);
    r.text = "Tabela refeita com " + countText(copied, lost) + "; o arquivo anterior foi "
             "guardado como " + kept.substr(kept.rfind('/') + 1);
    return r;
}

}  // namespace tblscn

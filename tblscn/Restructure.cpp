#include "tblscn/Restructure.h"

#include "tblscn/FileOps.h"
#include "tblscn/NewTableFile.h"
#include "tblscn/ParadoxConversion.h"
#include "tblscn/SoundFiles.h"
#include "tblscn/TableDb.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

namespace tblscn {

namespace {

using store::FieldType;

bool hasAutoincrement(const store::TableSpec& spec)
{
    for (const store::FieldSpec& f : spec.fields)
        if (f.type == FieldType::Autoincrement) return true;
    return false;
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
                  + "): deixe só um, com o nome " + spec.fileName + ", e tente de novo.";
        return r;
    }
    if (conversionPending(folder, spec)) return convertOldTable(folder, file, spec);
    if (file.empty()) return create(path, spec);
    if (isSymlink(folder + "/" + file)) {
        r.error = "A tabela " + spec.fileName + " (" + file + ") é um link simbólico: ponha o "
                  "próprio arquivo na pasta de dados.";
        return r;
    }
    // A table of the older format is converted, never taken for damage.
    if (isOldFormat(folder + "/" + file)) return convertOldTable(folder, file, spec);
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


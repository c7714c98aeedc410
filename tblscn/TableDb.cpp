#include "tblscn/TableDb.h"

#include "tblscn/FileOps.h"

#include <cerrno>

namespace tblscn {

using store::FieldType;

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

std::string busyText(const std::string& fileName, bool writing)
{
    return "Tabela " + fileName + " bloqueada por outro programa ("
           + (writing ? "trava de escrita" : "trava exclusiva") + ") por mais de "
           + std::to_string(kBusyWaitMs / 1000)
           + " s: nada foi alterado. Espere o outro programa terminar e tente de novo.";
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

namespace {

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

}  // namespace

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

std::string countText(long copied, long lost)
{
    std::string t = std::to_string(copied) + " registro(s)";
    if (lost) t += ", " + std::to_string(lost) + " perdido(s)";
    return t;
}

}  // namespace tblscn

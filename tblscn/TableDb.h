// Inside the component: one table file opened through SQLite, what its failures mean, the
// operator's words for them, and the column lists that copy rows between two forms of a table.
#pragma once

#include "core/store/StoreSchema.h"

#include <sqlite3.h>

#include <string>
#include <vector>

namespace tblscn {

// How long a locked table is waited for before the check gives up on it.
constexpr int kBusyWaitMs = 5000;

// What an SQLite failure means for the table: another program holds it, the file is not a
// sound database, or something else went wrong (permissions, a full disk).
enum class Fault { None, Busy, Damaged, Other };

Fault classify(int rc);

// A table file opened alone; closing it rolls back a transaction left open.
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

// "Table X locked by another program (write/exclusive lock)...": the check changed nothing.
std::string busyText(const std::string& fileName, bool writing);
// The operator's words for an SQLite failure of `db` that is not damage.
std::string sqliteText(const Db& db, const std::string& fileName);
std::string failureText(const Db& db, const std::string& fileName, bool writing);
// The columns of `spec` and, in the same order, the expressions reading each from a table
// described by `old` (columns of a type not ours, `foreign`, are read as text).
void copyLists(const store::TableSpec& old, const std::vector<std::string>& foreign,
               const store::TableSpec& spec, std::string& cols, std::string& exprs);
// "3 registro(s)", with the rows lost after them when there are any.
std::string countText(long copied, long lost);

}  // namespace tblscn

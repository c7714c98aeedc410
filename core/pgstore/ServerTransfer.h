// The tables between the server store and table files of the file store. A backup of the
// server exports one snapshot into table files (the files a single computer's data folder
// holds, made from the same definition), and the archive is made of those; a restore or a
// migration loads table files onto the server in one transaction. The files are read and
// written through the engine's connection and statements (core/engine), so every failure of
// theirs is an EngineError naming the file, a busy one said to be busy.
#pragma once

#include "core/pgstore/PgConnection.h"
#include "core/store/MainTables.h"
#include "core/store/StoreSchema.h"

#include <functional>
#include <string>
#include <vector>

namespace pg {

struct TableRows {
    std::string fileName;  // "GRUPO.DB"
    long long rows = 0;
};

// Writes `tables` as the server holds them, all from one snapshot (one REPEATABLE READ
// transaction that only reads), into table files in `folder` (a file of the same name there is
// replaced): the file store's schema for the definition, every row with its row number, money
// and dates as the file store keeps them, and each Autoincrement counter, each file written in
// one transaction. Throws PgError (the server) or db::EngineError (the files).
std::vector<TableRows> exportSnapshot(Connection& c, const std::vector<store::TableSpec>& tables,
                                      const std::string& folder);

// The rows each of `tables` holds on the server (0 for a table not there).
std::vector<TableRows> serverRows(Connection& c, const std::vector<store::TableSpec>& tables);

struct LoadSteps {
    // After the schema check, with the tables locked against writers and their rows before:
    // may throw to stop, and nothing changes.
    std::function<void(const std::vector<TableRows>& before)> check;
    // Once the rows are in, before the commit: what commits with them (the log line).
    std::function<void(const std::vector<TableRows>& loaded)> alsoCommit;
};

// In one transaction: the schema check (`schema` and `mainTables`), then the rows of each table
// of `load` replaced by those of its file in `folder` (a table file of the definition), each
// counter set past both the file's and the server's own, so that no number is given again. A
// failure rolls all of it back and throws PgError (the server) or db::EngineError (a file that
// cannot be read, or a value of it the server would not take), naming the table (and the row
// and field of such a value). The files are read in one read transaction.
std::vector<TableRows> loadTables(Connection& c, const std::string& folder,
                                  const std::vector<store::TableSpec>& load,
                                  const std::vector<store::TableSpec>& schema,
                                  const std::vector<store::MainTableSpec>& mainTables,
                                  const LoadSteps& steps = {});

}  // namespace pg

// The server store's operation log and record of imported returns, as a backup, a restore or a
// migration onto the server writes them (the same tables the file store keeps in its main
// database, core/store/MainTables).
#pragma once

#include "core/pgstore/PgConnection.h"

#include <string>
#include <vector>

namespace pg {

// Adds a line to the log; inside an open transaction of `c` it commits with it. `when` is the
// date and time as the file store's log writes it.
void appendLog(Connection& c, const std::string& when, long long user, const std::string& operation,
               const std::string& detail);

struct LogLine {
    std::string when;  // as appendLog was given it
    long long user = 0;
    std::string operation, detail;
};

// The lines whose date and time is `since` or later (every line for an empty text), oldest
// first; none when the server holds no log yet.
std::vector<LogLine> readLog(Connection& c, const std::string& since);

// A restore put back RET_DEBITO from a copy: the return imports recorded from `afterUtc` on
// (ISO date and time, UTC), or of a day after `afterDate` when their time was not kept, no
// longer count as imported; they are marked with `reason`. Returns how many.
long long undoImportsAfter(Connection& c, const std::string& afterUtc, const std::string& afterDate,
                           const std::string& reason);

}  // namespace pg

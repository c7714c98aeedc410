// A unit of work on the server store: all of it is committed or none of it. A serialization
// failure or a deadlock (another computer's work crossed this one) rolls back and runs the work
// again, a bounded number of times; every other failure rolls back and is thrown.
#pragma once

#include "core/pgstore/PgConnection.h"

#include <functional>

namespace pg {

enum class Isolation {
    ReadCommitted,
    RepeatableRead,  // one snapshot for the whole work
    Snapshot,        // the same, reading only (a backup's export)
    Serializable,
};

// How many times a work that keeps conflicting is run before the conflict is reported.
constexpr int kConflictAttempts = 5;

// Runs `work` in a transaction of `c` and commits it. Inside a transaction already open on `c`,
// `work` simply runs as part of it (the outer one commits and retries). `work` may run more than
// once, so it must not keep what it did on an earlier attempt.
void inTransaction(Connection& c, const std::function<void()>& work,
                   Isolation isolation = Isolation::ReadCommitted);

}  // namespace pg

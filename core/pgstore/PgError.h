// What went wrong on the server store, as the operator is told it (in Portuguese) and as the
// program acts on it (the kind).
#pragma once

#include <stdexcept>
#include <string>

struct pg_conn;
struct pg_result;

namespace pg {

enum class ErrorKind {
    Unreachable,     // no server answers at the address
    Authentication,  // the server refused the user or the password
    ConnectionLost,  // the connection broke during an operation
    Busy,            // a row or table stayed locked by another computer beyond the wait
    Conflict,        // a serialization failure or a deadlock: the same work may succeed again
    Constraint,      // a key already there, a required field empty, a refused change
    Invalid,         // a value or an address the store does not take
    Other,
};

class PgError : public std::runtime_error {
public:
    PgError(ErrorKind kind, const std::string& message, std::string sqlState = {})
        : std::runtime_error(message), kind_(kind), sqlState_(std::move(sqlState))
    {
    }
    ErrorKind kind() const { return kind_; }
    const std::string& sqlState() const { return sqlState_; }

private:
    ErrorKind kind_;
    std::string sqlState_;
};

// libpq's own text up to its first line break.
std::string firstLine(const char* text);

// Why a connection attempt of `conn` failed: Authentication when the server asked for a password
// (refused, or none in the password file), else Unreachable.
PgError connectError(pg_conn* conn);

// The error a failed result (or a missing one) of `conn` stands for; `lockTimeoutMs` goes into
// the message about a lock that was not released.
PgError resultError(pg_conn* conn, const pg_result* result, int lockTimeoutMs);

}  // namespace pg

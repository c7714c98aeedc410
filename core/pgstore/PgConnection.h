// One connection to the server store, through libpq. The address is a libpq connection URI
// (`postgresql://host/base?...`); a password never appears in it: libpq finds it in its
// password file (PGPASSFILE) or service file. Values always travel apart from the SQL text
// (text format, NULL as an empty optional), every result is checked, and a failure is thrown
// as a PgError with a Portuguese message. Each connection waits a bounded time for a lock
// (lock_timeout), talks UTF-8 and gets dates as YYYY-MM-DD.
#pragma once

#include "core/pgstore/PgError.h"

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace pg {

using Param = std::optional<std::string>;
using Params = std::vector<Param>;

class Result {
public:
    explicit Result(pg_result* r);
    int rows() const;
    int columns() const;
    bool isNull(int row, int column) const;
    std::string text(int row, int column) const;  // empty for NULL
    long long affected() const;                   // rows changed by the statement

private:
    std::shared_ptr<pg_result> r_;
};

struct Options {
    int lockTimeoutMs = 5000;
    int connectTimeoutS = 10;
};

class Connection {
public:
    // Connects; throws PgError (Unreachable, Authentication, Invalid for an address holding a
    // password or one libpq cannot read).
    explicit Connection(const std::string& uri, Options options = {});
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Runs one statement with its parameters ($1, $2...).
    Result exec(const std::string& sql, const Params& params = {});
    // The same through a statement prepared once per connection under `name`.
    Result execPrepared(const std::string& name, const std::string& sql, const Params& params = {});

    // Runs `copy`, a COPY ... FROM STDIN in text format, sending what `next` puts into `data`
    // (rows made with appendCopyValue, a tab between values and a line feed after each row) until
    // it returns false; returns the rows the server took. A failure of `next` ends the copy
    // unfinished and is thrown on.
    long long copyIn(const std::string& copy, const std::function<bool(std::string& data)>& next);
    // A value as the text format of COPY writes it (NULL as \N).
    static void appendCopyValue(std::string& out, const Param& value);

    // Whether a transaction is open on the server side.
    bool inTransaction() const;
    // Whether that transaction is aborted by a failed statement (it can only roll back).
    bool transactionFailed() const;
    int backendPid() const;

    // Held by inTransaction() while its transaction runs: a broken connection is then not
    // opened again under the transaction's feet.
    struct TransactionMark {
        explicit TransactionMark(Connection& c) : c_(c) { ++c_.transactionDepth_; }
        ~TransactionMark() { --c_.transactionDepth_; }
        TransactionMark(const TransactionMark&) = delete;
        TransactionMark& operator=(const TransactionMark&) = delete;
        Connection& c_;
    };

private:
    void open();
    void reopenIfBroken();
    PgError closed(PgError e);  // closes the connection and hands `e` back
    Result checked(pg_result* r);

    std::string uri_;
    Options options_;
    pg_conn* conn_ = nullptr;
    std::set<std::string> prepared_;
    int transactionDepth_ = 0;
};

}  // namespace pg

// The prepared statements of one open table, kept by their text: a table runs the same few
// statements (first row, next batch, count, lookup) again and again. Each use resets its
// statement when the read ends, so no read transaction outlives the call.
#pragma once

#include <QHash>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

namespace db {

class StatementCache {
public:
    // `table` names the table file in error messages.
    StatementCache(sqlite3* db, const QString& table) : db_(db), table_(table) {}
    ~StatementCache() { clear(); }
    StatementCache(const StatementCache&) = delete;
    StatementCache& operator=(const StatementCache&) = delete;

    // The statement of `sql`, prepared on first use; throws EngineError when it does not
    // prepare. When many different texts were asked for (conditions changed again and again)
    // the cache starts afresh, finalizing every statement handed out before.
    sqlite3_stmt* get(const QString& sql);
    void clear();

    // Resets a statement and its bindings when it goes out of scope, however the read ends:
    // that ends its read transaction.
    struct Reset {
        sqlite3_stmt* st;
        ~Reset();
    };

private:
    static constexpr int kMaxKept = 64;
    sqlite3* db_;
    QString table_;
    QHash<QString, sqlite3_stmt*> kept_;
};

}  // namespace db

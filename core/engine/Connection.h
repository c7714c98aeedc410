// One SQLite connection on a data folder. Each table file of the folder is ATTACHed under its
// table name ("GRUPO.DB" as schema GRUPO) the first time a dataset or statement needs it, so
// joined statements run unchanged. The folder's table files are never created here (a missing
// table is an error); only a copy made for another store is (createTable). The main database
// is a hidden file of the folder, so that one transaction over several tables commits all or
// nothing.
#pragma once

#include "core/store/StoreSchema.h"

#include <QHash>
#include <QString>

#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace db {

class Connection {
public:
    // The file of the folder that serves as the connection's main database (hidden; not a
    // table file, so neither the schema check nor the backup's file list takes it).
    static constexpr const char* kMainFileName = ".tolmare-main";
    // How long a statement waits for another program's lock before it reports the table busy.
    static constexpr int kBusyTimeoutMs = 2000;

    // Throws EngineError naming the main database when it cannot be opened (missing folder,
    // link, damaged file, busy beyond the wait).
    explicit Connection(const QString& folder);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* handle() const { return db_; }
    QString folder() const { return folder_; }

    // The path of a table file in the folder, matched without regard to case when no file of
    // exactly that name exists; empty when there is none.
    QString resolve(const QString& fileName) const;
    // Attaches a table file (once) and returns its schema name. Throws EngineError when the
    // file is missing, is not a table file, or cannot be opened.
    QString attach(const QString& fileName);
    // Creates the table file of `spec` in the folder, new and private to its owner (a file or a
    // link already in its place is refused), holding the empty table, and attaches it; returns
    // its schema name. For copies written for another store: the data folder's table files come
    // from the schema check. Throws EngineError naming the file.
    QString createTable(const store::TableSpec& spec);
    // Attaches the table named in an SQL error "no such table: X" when a file X.DB exists.
    bool attachByTableName(const QString& tableName);
    // The definition read from an attached table file.
    const store::TableSpec& spec(const QString& schema) const;
    void detachAll();

    // Raised by every write; cursors re-seek from their position when it moved.
    quint64 generation() const { return generation_; }
    void bump() { ++generation_; }

    // Runs a statement without results; throws EngineError naming `table` (a table file) when
    // given, else the folder.
    void exec(const QString& sql, const QString& table = {});

    // The kept prepared statement of `sql` (prepared on first use), or nullptr when it is in
    // use already; Statement takes and gives back.
    sqlite3_stmt* takeStatement(const QString& sql, const QString& table);
    void giveBackStatement(sqlite3_stmt* st);

    // Bulk work: one transaction around many posts, each post in a savepoint of its own.
    void begin();
    void commit(const QString& table = {});
    void rollback();
    bool inTransaction() const;

private:
    QString folder_;
    sqlite3* db_ = nullptr;
    QHash<QString, store::TableSpec> specs_;  // by schema name
    struct Kept {
        sqlite3_stmt* st = nullptr;
        bool inUse = false;
    };
    QHash<QString, Kept> kept_;  // by SQL text
    void forgetStatements();
    QString attachPath(const QString& path, const QString& schema,
                       const store::TableSpec* create);
    quint64 generation_ = 1;
};

// Scope guard: a transaction that is rolled back unless committed.
class Transaction {
public:
    explicit Transaction(Connection& c) : c_(c) { c_.begin(); }
    ~Transaction() { if (!done_) { try { c_.rollback(); } catch (...) {} } }
    // `table` names the table file written, in the error of a failed commit.
    void commit(const QString& table = {}) { c_.commit(table); done_ = true; }

private:
    Connection& c_;
    bool done_ = false;
};

// A read of many statements that sees one state of the tables (a report, read in blocks): a
// deferred transaction, each table file's shared lock taken at its first read and kept to the
// end, so no other program's commit lands between two blocks. Begun only when the connection
// has no transaction open; ended by end() or when destroyed.
class ReadTransaction {
public:
    explicit ReadTransaction(Connection& c);
    ~ReadTransaction() { end(); }
    ReadTransaction(const ReadTransaction&) = delete;
    ReadTransaction& operator=(const ReadTransaction&) = delete;
    void end();

private:
    Connection& c_;
    bool own_ = false;
};

// Throws EngineError with SQLite's message for `db`, prefixed by `what` when given.
[[noreturn]] void throwSqlite(sqlite3* db, const QString& what = {});

}  // namespace db

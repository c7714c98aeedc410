// One statement on a connection, the way code outside the table engine speaks SQL (the set
// path: remittance, imports, the log): prepared once per connection and kept, bound by
// position, stepped with every result checked. Any step that neither gives a row nor ends
// throws the engine's EngineError naming the table, so a busy or failing table is never read
// as "no row". The statement is reset when it goes out of scope, ending its read.
#pragma once

#include "core/store/StoreSchema.h"

#include <QString>
#include <QVariant>
#include <QVector>

struct sqlite3_stmt;

namespace db {

class Connection;

class Statement {
public:
    // `table` names the table file in error messages ("RETORNOS_IMPORTADOS").
    Statement(Connection& c, const QString& sql, const QString& table = {});
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Binds the values from the first parameter on (see bindAll); the statement starts afresh.
    Statement& bind(const QVector<QVariant>& params);
    // Steps: true on a row, false at the end; throws EngineError otherwise.
    bool next();
    // Runs a statement that gives no rows to its end; throws EngineError otherwise.
    void run();
    // Whether the statement gives a row (the first step); throws as next().
    bool found() { return next(); }

    // Columns of the current row. A text SQLite cannot hand over (out of memory) throws.
    bool isNull(int col) const;
    qint64 int64(int col) const;
    double real(int col) const;
    QString text(int col) const;
    QVariant value(int col, store::FieldType type) const;

private:
    [[noreturn]] void fail() const;
    Connection& c_;
    QString table_;
    sqlite3_stmt* st_ = nullptr;
    bool owned_ = false;  // prepared for this use alone: the kept one was in use
};

}  // namespace db

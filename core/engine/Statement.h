// One statement on a connection, the way code outside the table engine speaks SQL (the set
// path: remittance, imports, the log): prepared once per connection and kept, bound by
// position, stepped with every result checked. Any step that neither gives a row nor ends
// throws the engine's EngineError naming the table, so a busy or failing table is never read
// as "no row". The statement is reset when it goes out of scope, ending its read.
#pragma once

#include "core/store/StoreSchema.h"

#include <QByteArrayView>
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

    // Values bound one by one, from 1, for a statement stepped row after row: reset() starts
    // it again keeping the values bound before, so only those that change are bound anew.
    // Texts are UTF-8 and copied. Binding a statement stepped and not reset throws.
    Statement& reset();
    Statement& bindNull(int i);
    Statement& bindInt(int i, qint64 v);
    Statement& bindReal(int i, double v);
    Statement& bindText(int i, QByteArrayView utf8);
    // The value of column `col` of `from`'s current row, exactly as SQLite holds it.
    Statement& bindColumn(int i, const Statement& from, int col);

    // The kind of value a column of the current row holds, as SQLite stores it.
    enum class Kind { Integer = 1, Real = 2, Text = 3, Blob = 4, Null = 5 };
    Kind kind(int col) const;
    // A text column as its UTF-8 bytes, valid until the next step (empty for NULL); throws
    // when SQLite cannot hand it over (out of memory), so no null text is ever read.
    QByteArrayView bytes(int col) const;
    // A column as SQLite holds it (qint64, double or QString); invalid when NULL.
    QVariant value(int col) const;

    // Rows the last run() changed, and the rowid of the last row it inserted.
    qint64 changes() const;
    qint64 lastInsertRowid() const;

private:
    [[noreturn]] void fail() const;
    Connection& c_;
    QString table_;
    sqlite3_stmt* st_ = nullptr;
    bool owned_ = false;  // prepared for this use alone: the kept one was in use
};

}  // namespace db

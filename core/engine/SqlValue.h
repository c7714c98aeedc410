// Moving values between the engine's fields and SQLite: binding parameters, reading columns
// by field type, and bringing a caller's value to the form a field stores.
#pragma once

#include "core/store/StoreSchema.h"

#include <QString>
#include <QVariant>
#include <QVector>

struct sqlite3;
struct sqlite3_stmt;

namespace db {

// An SQL fragment with its positional parameters.
struct Sql {
    QString text;
    QVector<QVariant> params;
    Sql& add(const Sql& other, const QString& glue = " AND ");
    // The text with its parameters numbered ($1, $2...), as the server store takes them.
    QString numbered() const;
};

// Prepares a statement; throws EngineError naming `what` on failure.
sqlite3_stmt* prepare(sqlite3* db, const QString& sql, const QString& what = {});
void bindAll(sqlite3_stmt* st, const QVector<QVariant>& params, int first = 1);
// A column as the field type keeps it: QString, double, QDate, qint64; invalid when NULL.
QVariant readColumn(sqlite3_stmt* st, int col, store::FieldType type);
// A column as SQLite holds it (qint64, double or QString); invalid when NULL.
QVariant readColumn(sqlite3_stmt* st, int col);
// A value as a field of `type` stores it; throws EngineError naming `field` when it does not
// convert.
QVariant normalized(const QVariant& v, store::FieldType type, const QString& field);
QString sqlName(const QString& identifier);

// Finalizes a statement when it goes out of scope.
class StmtGuard {
public:
    explicit StmtGuard(sqlite3_stmt* st) : st_(st) {}
    ~StmtGuard();
    StmtGuard(const StmtGuard&) = delete;
    StmtGuard& operator=(const StmtGuard&) = delete;
    sqlite3_stmt* get() const { return st_; }

private:
    sqlite3_stmt* st_;
};

}  // namespace db

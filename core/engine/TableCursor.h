// The open state of a db::Table, shared by the files that implement it (not for use outside
// the engine): its file, its order, the conditions of range, filter and master link, the kept
// statements and rows. Rows are read by key position: every read runs one prepared statement
// to its first row (or its count, or a batch) and resets it at once, so no read transaction
// outlives the call and another program can write while the table is shown.
#pragma once

#include "core/engine/KeyOrder.h"
#include "core/engine/ReadAhead.h"
#include "core/engine/SqlValue.h"
#include "core/engine/StatementCache.h"
#include "core/engine/Table.h"

#include <functional>

struct sqlite3_stmt;

namespace db {

struct Table::Cursor {
    Cursor(Connection& c, const QString& schemaName);

    Connection* conn;
    QString schema;         // the table file's schema name on the connection
    QByteArray schemaUtf8;  // the same as SQLite's functions take it
    store::TableSpec spec;
    QString fileName;
    QString from;        // "SCHEMA"."TABLE"
    QString selectList;  // every column of the table, then rowid
    const store::IndexSpec* index = nullptr;
    KeyOrder order;
    Sql base;  // range, filter and master conditions
    StatementCache statements;
    ReadAhead ahead;
    LastLookup last;

    // The version rows read now are valid for (see ReadAhead.h).
    DataVersion version();
    // The version the rows of a statement are valid for, from the version taken before it ran;
    // `locked`: the statement stands on a row, holding its read lock.
    DataVersion readAt(const DataVersion& before, bool locked);
    static constexpr qint64 kCounted = qint64(1) << 32;  // versions from the change counter
    // The first row of a lookup statement, kept for the same statement and values while the
    // version holds; false when there is none.
    bool lookupRow(const QString& sql, const QVector<QVariant>& ps, QVector<QVariant>& row);
    // The row next to `key` (the row `id` stands on) in one direction; false when there is
    // none. Served from the rows read ahead while they hold, else a batch is read.
    bool neighbour(const QVector<QVariant>& key, bool forward, QVector<QVariant>& row, qint64& id);
    bool edge(bool first, QVector<QVariant>& row, qint64& id);
    // The first row of a statement built by select(); false when there is none.
    bool fetchOne(const QString& sql, const QVector<QVariant>& ps, QVector<QVariant>& row,
                  qint64& id);
    qint64 count(const Sql& extra);
    // Every row of a statement run once (prepared afresh, not kept), handed to `take`.
    void eachRow(const QString& sql, const QVector<QVariant>& ps,
                 const std::function<void(const QVector<QVariant>&)>& take);
    void readRow(sqlite3_stmt* s, QVector<QVariant>& row, qint64& id) const;

    QString where(const Sql& extra) const;
    QVector<QVariant> params(const Sql& extra) const { return base.params + extra.params; }
    QString select(const Sql& extra, bool asc, const QString& tail = {}) const;

    int colCount() const { return int(spec.fields.size()); }
    int specIndex(const QString& name) const;
    int requireField(const QString& name) const;  // throws EngineError when there is none
    QString name(int i) const { return QString::fromStdString(spec.fields[size_t(i)].name); }
    QString col(int i) const { return sqlName(name(i)); }
    store::FieldType typeOf(int i) const { return spec.fields[size_t(i)].type; }
};

}  // namespace db

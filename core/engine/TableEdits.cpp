// A table's edits: the post of a new or changed row (its key checked first, empty parts equal)
// and the delete, each moving to the row it leaves the table on. Their statements are kept in
// the table's cache like its reads.
#include "core/engine/Connection.h"
#include "core/engine/EngineError.h"
#include "core/engine/TableCursor.h"

#include <sqlite3.h>

namespace db {

using store::FieldType;

void Table::doInsert()
{
    if (!cur_) checkActive();
}

void Table::doPost()
{
    Cursor& c = *cur_;
    const bool inserting = state_ == DatasetState::Insert;
    const store::IndexSpec* pk = c.spec.primaryKey();
    const bool rowidKey = c.spec.rowidKey();
    sqlite3* h = conn_->handle();

    // The key must not repeat, empty parts counting as equal.
    if (pk && !rowidKey) {
        Sql cond;
        for (int f : pk->fields) cond.add(Sql{c.col(f - 1) + " IS ?", {edit_.value(f - 1)}});
        if (!inserting) cond.add(Sql{"rowid <> ?", {currentId_}});
        sqlite3_stmt* st =
            c.statements.get("SELECT 1 FROM " + c.from + " WHERE " + cond.text + " LIMIT 1");
        const StatementCache::Reset done{st};
        bindAll(st, cond.params);
        const int rc = sqlite3_step(st);
        if (rc == SQLITE_ROW) throw keyViolation(c.fileName);
        if (rc != SQLITE_DONE) throwSqlite(h, c.fileName);
    }

    QStringList cols, marks;
    QVector<QVariant> values;
    for (int i = 0; i < c.colCount(); ++i) {
        if (rowidKey && c.typeOf(i) == FieldType::Autoincrement) continue;
        cols << c.col(i);
        marks << "?";
        values << edit_.value(i);
    }
    QString sql;
    if (inserting) {
        sql = "INSERT INTO " + c.from + " (" + cols.join(", ") + ") VALUES (" + marks.join(", ")
              + ")";
    } else {
        QStringList sets;
        for (const QString& col : cols) sets << col + " = ?";
        sql = "UPDATE " + c.from + " SET " + sets.join(", ") + " WHERE rowid = ?";
        values << currentId_;
    }
    conn_->exec("SAVEPOINT tolmare_post");
    qint64 id = currentId_;
    try {
        sqlite3_stmt* st = c.statements.get(sql);
        const StatementCache::Reset done{st};
        bindAll(st, values);
        const int rc = sqlite3_step(st);
        if ((rc & 0xff) == SQLITE_CONSTRAINT) throw keyViolation(c.fileName);
        if (rc != SQLITE_DONE) throwSqlite(h, c.fileName);
        if (inserting) id = sqlite3_last_insert_rowid(h);
        conn_->exec("RELEASE tolmare_post");
    } catch (...) {
        sqlite3_exec(h, "ROLLBACK TO tolmare_post; RELEASE tolmare_post", nullptr, nullptr,
                     nullptr);
        throw;
    }
    conn_->bump();
    positionTo(id);
    bof_ = eof_ = false;
}

void Table::doDelete()
{
    Cursor& c = *cur_;
    const QVector<QVariant> key = c.order.keyOf(row_, currentId_);
    {
        sqlite3_stmt* st = c.statements.get("DELETE FROM " + c.from + " WHERE rowid = ?");
        const StatementCache::Reset done{st};
        bindAll(st, {currentId_});
        if (sqlite3_step(st) != SQLITE_DONE) throwSqlite(conn_->handle(), c.fileName);
    }
    conn_->bump();
    QVector<QVariant> row;
    qint64 id = currentId_;
    if (c.neighbour(key, true, row, id)) {
        setCurrent(row, id);
        eof_ = false;
        return;
    }
    if (c.neighbour(key, false, row, id)) {
        setCurrent(row, id);
        eof_ = true;
        bof_ = false;
        return;
    }
    clearCurrent();
}

}  // namespace db

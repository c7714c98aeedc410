// The table's kept rows: the version they are checked against, the batches of a walk and the
// last lookup.
#include "core/engine/ReadAhead.h"

#include "core/engine/Connection.h"
#include "core/engine/TableCursor.h"

#include <sqlite3.h>

namespace db {

DataVersion Table::Cursor::version()
{
    sqlite3_stmt* st = statements.get("PRAGMA " + sqlName(schema) + ".data_version");
    const StatementCache::Reset done{st};
    if (sqlite3_step(st) != SQLITE_ROW) throwSqlite(conn->handle(), fileName);
    return {sqlite3_column_int64(st, 0),
            qint64(conn->generation()) + sqlite3_total_changes64(conn->handle())};
}

bool Table::Cursor::lookupRow(const QString& sql, const QVector<QVariant>& ps,
                              QVector<QVariant>& row)
{
    const DataVersion now = version();
    if (last.serves(sql, ps, now)) {
        row = last.row;
        return last.found;
    }
    sqlite3_stmt* st = statements.get(sql);
    const StatementCache::Reset reset{st};
    bindAll(st, ps);
    const int rc = sqlite3_step(st);
    qint64 id = 0;
    if (rc == SQLITE_ROW) readRow(st, row, id);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) throwSqlite(conn->handle(), fileName);
    last = {sql, ps, row, rc == SQLITE_ROW, now};
    return last.found;
}

// A batch is one statement: the arms, nearest first, each limited to the batch (SQLite runs
// UNION ALL in order), stepped to the batch's end and reset.
bool Table::Cursor::neighbour(const QVector<QVariant>& key, bool forward, QVector<QVariant>& row,
                              qint64& id)
{
    if (!ahead.holds(forward, id) || ahead.version != version()) {
        ahead.drop();
        const QVector<Sql> arms = order.armsFrom(key, forward);
        if (arms.isEmpty()) return false;
        const QString limit = QString(" LIMIT %1").arg(ReadAhead::kBatch);
        QString sql;
        QVector<QVariant> ps;
        if (arms.size() == 1) {
            sql = select(arms[0], forward, limit);
            ps = params(arms[0]);
        } else {
            QStringList parts;
            for (const Sql& a : arms) {
                parts << "SELECT * FROM (" + select(a, forward, limit) + ")";
                ps += params(a);
            }
            sql = parts.join(" UNION ALL ") + limit;
        }
        ahead.version = version();  // first: it may start the statement cache afresh
        sqlite3_stmt* st = statements.get(sql);
        const StatementCache::Reset done{st};
        bindAll(st, ps);
        ahead.forward = forward;
        int rc = SQLITE_ROW;
        while (ahead.rows.size() < ReadAhead::kBatch && (rc = sqlite3_step(st)) == SQLITE_ROW) {
            qint64 rid = 0;
            readRow(st, row, rid);
            ahead.rows << row;
            ahead.ids << rid;
        }
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
            ahead.drop();
            throwSqlite(conn->handle(), fileName);
        }
        if (ahead.rows.isEmpty()) return false;
    }
    ahead.take(row, id);
    return true;
}

}  // namespace db

// The table's kept rows: the version they are checked against, the batches of a walk and the
// last lookup.
#include "core/engine/ReadAhead.h"

#include "core/engine/Connection.h"
#include "core/engine/TableCursor.h"

#include <sqlite3.h>

#include <optional>

namespace db {

namespace {

// The table file's change counter: bytes 24 to 27 of its header, big-endian, which every
// transaction that changes the file increments before its commit completes. Read through
// SQLite's own handle on the file (opening the file a second time and closing it would drop
// the process's locks on it), without a lock: a commit under way either shows its new number
// or has not yet changed anything a read would see. Sound only with a rollback journal (the
// table files never use WAL, where the counter stays put). Empty when it cannot be read.
std::optional<quint32> changeCounter(sqlite3* db, const QByteArray& schema)
{
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db, schema.constData(), SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK
        || !file || !file->pMethods)
        return std::nullopt;
    unsigned char b[4];
    if (file->pMethods->xRead(file, b, 4, 24) != SQLITE_OK) return std::nullopt;
    return quint32(b[0]) << 24 | quint32(b[1]) << 16 | quint32(b[2]) << 8 | quint32(b[3]);
}

}  // namespace

// The counter costs a read of four bytes where PRAGMA data_version runs a statement: a walk
// checks the version at every step. Read without a lock it shows the last commit's number, or
// a number above it while a commit is under way (a commit that fails puts the old one back):
// equal to a number the rows were read at, nothing was committed since. That number itself is
// read under the read's lock (see readAt), so it is the state the rows come from. The PRAGMA is
// the fall-back, its numbers kept apart from the counter's.
DataVersion Table::Cursor::version()
{
    const qint64 own = qint64(conn->generation()) + sqlite3_total_changes64(conn->handle());
    if (const std::optional<quint32> n = changeCounter(conn->handle(), schemaUtf8))
        return {kCounted + *n, own};
    sqlite3_stmt* st = statements.get("PRAGMA " + sqlName(schema) + ".data_version");
    const StatementCache::Reset done{st};
    if (sqlite3_step(st) != SQLITE_ROW) throwSqlite(conn->handle(), fileName);
    return {sqlite3_column_int64(st, 0), own};
}

// `before` was taken before the statement ran. PRAGMA data_version reads under a lock of its
// own and moves with every commit after it, so it holds as it is. The counter is read again
// while a statement stepped to a row holds the read lock; without a row (the lock may be gone)
// the read is valid for nothing.
DataVersion Table::Cursor::readAt(const DataVersion& before, bool locked)
{
    if (before.file < kCounted) return before;
    const std::optional<quint32> n =
        locked ? changeCounter(conn->handle(), schemaUtf8) : std::nullopt;
    return n ? DataVersion{kCounted + *n, before.own} : DataVersion{};
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
    last = {sql, ps, row, rc == SQLITE_ROW, readAt(now, rc == SQLITE_ROW)};
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
        const DataVersion before = version();  // first: it may start the statement cache afresh
        sqlite3_stmt* st = statements.get(sql);
        const StatementCache::Reset done{st};
        bindAll(st, ps);
        ahead.forward = forward;
        int rc = SQLITE_ROW;
        while (ahead.rows.size() < ReadAhead::kBatch && (rc = sqlite3_step(st)) == SQLITE_ROW) {
            qint64 rid = 0;
            readRow(st, row, rid);
            if (ahead.rows.isEmpty()) ahead.version = readAt(before, true);
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

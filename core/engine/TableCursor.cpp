#include "core/engine/TableCursor.h"

#include "core/engine/Connection.h"
#include "core/engine/EngineError.h"

#include <sqlite3.h>

namespace db {

Table::Cursor::Cursor(Connection& c, const QString& schemaName)
    : conn(&c),
      schema(schemaName),
      schemaUtf8(schemaName.toUtf8()),
      spec(c.spec(schemaName)),
      fileName(QString::fromStdString(spec.fileName)),
      from(sqlName(schema) + "." + sqlName(QString::fromStdString(spec.tableName()))),
      statements(c.handle(), fileName)
{
    QStringList cols;
    for (int i = 0; i < colCount(); ++i) cols << col(i);
    selectList = cols.join(", ") + ", rowid";
}

QString Table::Cursor::where(const Sql& extra) const
{
    Sql all = base;
    all.add(extra);
    return all.text.isEmpty() ? QString() : " WHERE " + all.text;
}

QString Table::Cursor::select(const Sql& extra, bool asc, const QString& tail) const
{
    return "SELECT " + selectList + " FROM " + from + where(extra) + order.orderBy(asc) + tail;
}

bool Table::Cursor::edge(bool first, QVector<QVariant>& row, qint64& id)
{
    return fetchOne(select({}, first, " LIMIT 1"), base.params, row, id);
}

void Table::Cursor::readRow(sqlite3_stmt* s, QVector<QVariant>& row, qint64& id) const
{
    const int n = colCount();
    row.resize(n);
    for (int i = 0; i < n; ++i) row[i] = readColumn(s, i, spec.fields[size_t(i)].type);
    id = sqlite3_column_int64(s, n);
}

bool Table::Cursor::fetchOne(const QString& sql, const QVector<QVariant>& ps,
                             QVector<QVariant>& row, qint64& id)
{
    sqlite3_stmt* st = statements.get(sql);
    const StatementCache::Reset done{st};
    bindAll(st, ps);
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) {
        readRow(st, row, id);
        return true;
    }
    if (rc != SQLITE_DONE) throwSqlite(conn->handle(), fileName);
    return false;
}

qint64 Table::Cursor::count(const Sql& extra)
{
    sqlite3_stmt* st = statements.get("SELECT COUNT(*) FROM " + from + where(extra));
    const StatementCache::Reset done{st};
    bindAll(st, params(extra));
    if (sqlite3_step(st) != SQLITE_ROW) throwSqlite(conn->handle(), fileName);
    return sqlite3_column_int64(st, 0);
}

void Table::Cursor::eachRow(const QString& sql, const QVector<QVariant>& ps,
                            const std::function<void(const QVector<QVariant>&)>& take)
{
    StmtGuard g(prepare(conn->handle(), sql, fileName));
    bindAll(g.get(), ps);
    QVector<QVariant> row;
    qint64 id = 0;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(g.get())) == SQLITE_ROW) {
        readRow(g.get(), row, id);
        take(row);
    }
    if (rc != SQLITE_DONE) throwSqlite(conn->handle(), fileName);
}

int Table::Cursor::specIndex(const QString& name) const
{
    for (size_t i = 0; i < spec.fields.size(); ++i)
        if (QString::fromStdString(spec.fields[i].name).compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

int Table::Cursor::requireField(const QString& name) const
{
    const int i = specIndex(name);
    if (i < 0) throw EngineError(QString("Field '%1' not found in %2").arg(name, fileName));
    return i;
}

}  // namespace db

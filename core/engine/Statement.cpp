#include "core/engine/Statement.h"

#include "core/engine/Connection.h"
#include "core/engine/EngineError.h"
#include "core/engine/SqlValue.h"

#include <sqlite3.h>

namespace db {

Statement::Statement(Connection& c, const QString& sql, const QString& table)
    : c_(c), table_(table)
{
    st_ = c_.takeStatement(sql, table);
    owned_ = st_ == nullptr;
    if (owned_) st_ = prepare(c_.handle(), sql, table);
}

Statement::~Statement()
{
    sqlite3_reset(st_);
    sqlite3_clear_bindings(st_);
    if (owned_) sqlite3_finalize(st_);
    else c_.giveBackStatement(st_);
}

Statement& Statement::bind(const QVector<QVariant>& params)
{
    sqlite3_reset(st_);
    sqlite3_clear_bindings(st_);
    bindAll(st_, params);
    return *this;
}

void Statement::fail() const { throwSqlite(c_.handle(), table_); }

bool Statement::next()
{
    const int rc = sqlite3_step(st_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    fail();
}

void Statement::run()
{
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(st_)) == SQLITE_ROW) {}
    if (rc != SQLITE_DONE) fail();
    c_.bump();
}

bool Statement::isNull(int col) const { return sqlite3_column_type(st_, col) == SQLITE_NULL; }
qint64 Statement::int64(int col) const { return sqlite3_column_int64(st_, col); }
double Statement::real(int col) const { return sqlite3_column_double(st_, col); }

QString Statement::text(int col) const
{
    if (isNull(col)) return {};
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st_, col));
    if (!p) fail();
    return QString::fromUtf8(p, sqlite3_column_bytes(st_, col));
}

QVariant Statement::value(int col, store::FieldType type) const
{
    if (type == store::FieldType::Alpha) return isNull(col) ? QVariant() : QVariant(text(col));
    return readColumn(st_, col, type);
}

Statement& Statement::reset()
{
    sqlite3_reset(st_);
    return *this;
}

Statement& Statement::bindNull(int i)
{
    if (sqlite3_bind_null(st_, i) != SQLITE_OK) fail();
    return *this;
}

Statement& Statement::bindInt(int i, qint64 v)
{
    if (sqlite3_bind_int64(st_, i, v) != SQLITE_OK) fail();
    return *this;
}

Statement& Statement::bindReal(int i, double v)
{
    if (sqlite3_bind_double(st_, i, v) != SQLITE_OK) fail();
    return *this;
}

Statement& Statement::bindText(int i, QByteArrayView utf8)
{
    // A non-null pointer even for an empty text: SQLite binds NULL for a null one.
    if (sqlite3_bind_text(st_, i, utf8.isNull() ? "" : utf8.data(), int(utf8.size()),
                          SQLITE_TRANSIENT) != SQLITE_OK)
        fail();
    return *this;
}

Statement& Statement::bindColumn(int i, const Statement& from, int col)
{
    if (sqlite3_bind_value(st_, i, sqlite3_column_value(from.st_, col)) != SQLITE_OK) fail();
    return *this;
}

Statement::Kind Statement::kind(int col) const { return Kind(sqlite3_column_type(st_, col)); }

QByteArrayView Statement::bytes(int col) const
{
    if (isNull(col)) return {};
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st_, col));
    if (!p) fail();
    return QByteArrayView(p, sqlite3_column_bytes(st_, col));
}

QVariant Statement::value(int col) const
{
    if (kind(col) == Kind::Text) return QString::fromUtf8(bytes(col));
    return readColumn(st_, col);
}

qint64 Statement::changes() const { return sqlite3_changes64(c_.handle()); }
qint64 Statement::lastInsertRowid() const { return sqlite3_last_insert_rowid(c_.handle()); }

}  // namespace db

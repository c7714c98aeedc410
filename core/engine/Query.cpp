#include "core/engine/Query.h"

#include "core/engine/Connection.h"
#include "core/engine/Database.h"
#include "core/engine/EngineError.h"
#include "core/engine/SqlValue.h"

#include <QRegularExpression>

#include <sqlite3.h>

namespace db {

namespace {

// Runs `work` and, while it fails on a table that is not attached yet, attaches the table file
// of that name and runs it again.
template <typename Work>
void withTables(Connection& conn, Work work)
{
    static const QRegularExpression missing(R"(no such table: (?:\w+\.)?(\w+))");
    for (int attempt = 0;; ++attempt) {
        try {
            work();
            return;
        } catch (const EngineError& e) {
            const auto m = missing.match(e.message());
            if (!m.hasMatch() || attempt > 16 || !conn.attachByTableName(m.captured(1))) throw;
        }
    }
}

store::FieldType declaredTypeOf(sqlite3_stmt* st, int col)
{
    const char* decl = sqlite3_column_decltype(st, col);
    store::FieldSpec f;
    if (decl && store::parseDeclaredType(decl, f)) return f.type;
    return store::FieldType::Number;
}

}  // namespace

Query::Query(QObject* parent) : Dataset(parent)
{
    setDatabaseName("Tolmare");
}

void Query::clearSql()
{
    if (active()) throw EngineError("Cannot change the statement of an open query");
    sql_.clear();
}

void Query::addSql(const QString& line)
{
    if (active()) throw EngineError("Cannot change the statement of an open query");
    sql_ << line;
}

void Query::setSql(const QStringList& lines)
{
    if (active()) throw EngineError("Cannot change the statement of an open query");
    sql_ = lines;
}

int Query::rowWidth() const { return int(fields_.size()); }

void Query::doOpen()
{
    Connection& conn = Session::instance().connectionFor(databaseName_);
    const QString text = sql_.join("\n");
    if (text.trimmed().isEmpty()) throw EngineError("The query has no statement");
    QVector<FieldDef> fields;
    QVector<QVector<QVariant>> rows;
    withTables(conn, [&] {
        fields.clear();
        rows.clear();
        StmtGuard g(prepare(conn.handle(), text));
        sqlite3_stmt* st = g.get();
        const int n = sqlite3_column_count(st);
        for (int i = 0; i < n; ++i) {
            FieldDef d;
            d.name = QString::fromUtf8(sqlite3_column_name(st, i));
            d.type = declaredTypeOf(st, i);
            d.readOnly = true;
            d.column = i;
            const char* schema = sqlite3_column_database_name(st, i);
            const char* origin = sqlite3_column_origin_name(st, i);
            if (schema && origin) {
                try {
                    const store::TableSpec& spec = conn.spec(QString::fromUtf8(schema));
                    for (const store::FieldSpec& f : spec.fields)
                        if (f.name == origin) d.width = f.width;
                    d.origin = QString("%1.\"%2\".%3")
                                   .arg(databaseName_.toUpper(),
                                        QString::fromStdString(spec.fileName),
                                        QString::fromUtf8(origin));
                } catch (const EngineError&) {
                }
            }
            fields << d;
        }
        for (;;) {
            const int rc = sqlite3_step(st);
            if (rc == SQLITE_DONE) break;
            if (rc != SQLITE_ROW) throwSqlite(conn.handle());
            QVector<QVariant> row(n);
            for (int i = 0; i < n; ++i) {
                if (fields[i].origin.isEmpty() && sqlite3_column_type(st, i) == SQLITE_INTEGER)
                    row[i] = qint64(sqlite3_column_int64(st, i));
                else
                    row[i] = readColumn(st, i, fields[i].type);
            }
            rows << row;
        }
    });
    fields_ = fields;
    rows_ = std::move(rows);
    moveTo(0);
}

void Query::doClose()
{
    rows_.clear();
    fields_.clear();
    pos_ = 0;
}

void Query::moveTo(qsizetype i)
{
    if (i < 0 || i >= rows_.size()) {
        clearCurrent();
        return;
    }
    pos_ = i;
    setCurrent(rows_[i], qint64(i));
}

void Query::doFirst() { moveTo(0); }
void Query::doLast() { moveTo(rows_.size() - 1); }

bool Query::doNext()
{
    if (pos_ + 1 >= rows_.size()) return false;
    moveTo(pos_ + 1);
    return true;
}

bool Query::doPrior()
{
    if (pos_ <= 0) return false;
    moveTo(pos_ - 1);
    return true;
}

void Query::setRecNo(int n)
{
    checkActive();
    if (n < 1 || n > rows_.size()) return;
    moveTo(n - 1);
    bof_ = eof_ = false;
    notifyScrolled();
}

namespace {

bool matches(const QVariant& have, const QVariant& want, bool partial)
{
    const bool haveNull = !have.isValid() || have.isNull();
    const bool wantNull = !want.isValid() || want.isNull();
    if (haveNull || wantNull) return haveNull && wantNull;
    if (have.typeId() == QMetaType::QString) {
        const QString w = want.typeId() == QMetaType::QDate ? want.toDate().toString("dd/MM/yyyy")
                                                             : want.toString();
        return partial ? have.toString().startsWith(w) : have.toString() == w;
    }
    if (have.typeId() == QMetaType::QDate) {
        if (want.typeId() == QMetaType::QDate) return have.toDate() == want.toDate();
        if (want.typeId() == QMetaType::QDateTime) return have.toDate() == want.toDateTime().date();
        return have.toDate().toString("dd/MM/yyyy") == want.toString();
    }
    bool ok = false;
    const double w = want.toDouble(&ok);
    return ok && have.toDouble() == w;
}

}  // namespace

bool Query::locate(const QString& fields, const QVariantList& values, LocateMode mode)
{
    checkBrowse();
    const QStringList names = fields.split(';', Qt::SkipEmptyParts);
    QVector<int> cols;
    for (const QString& n : names) cols << fieldByName(n.trimmed()).def().column;
    for (qsizetype r = 0; r < rows_.size(); ++r) {
        bool ok = true;
        for (int i = 0; i < cols.size() && ok; ++i)
            ok = matches(rows_[r][cols[i]], values.value(i), mode == LocateMode::Partial);
        if (ok) {
            moveTo(r);
            bof_ = eof_ = false;
            notifyScrolled();
            return true;
        }
    }
    return false;
}

QVariant Query::lookup(const QString& keyFields, const QVariantList& keyValues,
                       const QString& resultField)
{
    if (!active()) return {};
    const QStringList names = keyFields.split(';', Qt::SkipEmptyParts);
    QVector<int> cols;
    for (const QString& n : names) cols << fieldByName(n.trimmed()).def().column;
    const int result = fieldByName(resultField).def().column;
    for (const QVector<QVariant>& row : rows_) {
        bool ok = true;
        for (int i = 0; i < cols.size() && ok; ++i) ok = matches(row[cols[i]], keyValues.value(i), false);
        if (ok) return row[result];
    }
    return {};
}

QVector<QVector<QVariant>> Query::rowsAt(int first, int count)
{
    QVector<QVector<QVariant>> out;
    for (int i = std::max(first, 0); i < rows_.size() && i < first + count; ++i) out << rows_[i];
    return out;
}

bool Query::bookmarkValid(const Bookmark& b)
{
    return active() && !b.isNull() && b.epoch == epoch_ && b.id < rows_.size();
}

void Query::gotoBookmark(const Bookmark& b)
{
    checkBrowse();
    if (!bookmarkValid(b)) throw EngineError("Invalid bookmark");
    moveTo(b.id);
    bof_ = eof_ = false;
    notifyScrolled();
}

void Query::execute(const QString& databaseName, const QString& sql)
{
    Connection& conn = Session::instance().connectionFor(databaseName);
    withTables(conn, [&] { conn.exec(sql); });
    conn.bump();
}

}  // namespace db

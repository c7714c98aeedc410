#include "core/engine/SqlValue.h"

#include "core/engine/Connection.h"
#include "core/engine/EngineError.h"
#include "core/engine/FieldValue.h"
#include "core/engine/NumberText.h"

#include <QDate>
#include <QDateTime>

#include <sqlite3.h>

#include <cmath>

namespace db {

Sql& Sql::add(const Sql& other, const QString& glue)
{
    if (other.text.isEmpty()) return *this;
    text = text.isEmpty() ? other.text : text + glue + other.text;
    params += other.params;
    return *this;
}

QString Sql::numbered() const
{
    QString out;
    int n = 0;
    for (const QChar ch : text) out += ch == u'?' ? "$" + QString::number(++n) : QString(ch);
    return out;
}

sqlite3_stmt* prepare(sqlite3* db, const QString& sql, const QString& what)
{
    sqlite3_stmt* st = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        throwSqlite(db, what);
    }
    return st;
}

void bindAll(sqlite3_stmt* st, const QVector<QVariant>& params, int first)
{
    int i = first;
    for (const QVariant& v : params) {
        if (!v.isValid() || v.isNull()) {
            sqlite3_bind_null(st, i);
        } else {
            switch (v.typeId()) {
            case QMetaType::Double:
            case QMetaType::Float:
                sqlite3_bind_double(st, i, v.toDouble());
                break;
            case QMetaType::Int:
            case QMetaType::LongLong:
            case QMetaType::UInt:
            case QMetaType::ULongLong:
            case QMetaType::Bool:
                sqlite3_bind_int64(st, i, v.toLongLong());
                break;
            case QMetaType::QDate: {
                const QByteArray t = v.toDate().toString(Qt::ISODate).toUtf8();
                sqlite3_bind_text(st, i, t.constData(), int(t.size()), SQLITE_TRANSIENT);
                break;
            }
            case QMetaType::QDateTime: {
                const QByteArray t = v.toDateTime().date().toString(Qt::ISODate).toUtf8();
                sqlite3_bind_text(st, i, t.constData(), int(t.size()), SQLITE_TRANSIENT);
                break;
            }
            default: {
                const QByteArray t = v.toString().toUtf8();
                sqlite3_bind_text(st, i, t.constData(), int(t.size()), SQLITE_TRANSIENT);
            }
            }
        }
        ++i;
    }
}

QVariant readColumn(sqlite3_stmt* st, int col)
{
    switch (sqlite3_column_type(st, col)) {
    case SQLITE_NULL: return {};
    case SQLITE_INTEGER: return qint64(sqlite3_column_int64(st, col));
    case SQLITE_FLOAT: return sqlite3_column_double(st, col);
    default: return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, col)));
    }
}

QVariant readColumn(sqlite3_stmt* st, int col, store::FieldType type)
{
    const int kind = sqlite3_column_type(st, col);
    if (kind == SQLITE_NULL) return {};
    switch (type) {
    case store::FieldType::Alpha: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
        return QString::fromUtf8(p, sqlite3_column_bytes(st, col));
    }
    case store::FieldType::Number:
    case store::FieldType::Money:
        return sqlite3_column_double(st, col);
    case store::FieldType::Date: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
        const QDate d = QDate::fromString(QString::fromUtf8(p), Qt::ISODate);
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case store::FieldType::Autoincrement:
        return qint64(sqlite3_column_int64(st, col));
    }
    return {};
}

QVariant normalized(const QVariant& v, store::FieldType type, const QString& field)
{
    if (!v.isValid() || v.isNull()) return {};
    // A blank text is an empty value for a number or a date, as for every field.
    if (type != store::FieldType::Alpha && v.typeId() == QMetaType::QString
        && v.toString().trimmed().isEmpty())
        return {};
    auto bad = [&]() -> QVariant {
        if (type == store::FieldType::Date) throw notADate(v.toString(), field);
        throw notANumber(v.toString(), field);
    };
    switch (type) {
    case store::FieldType::Alpha:
        if (v.typeId() == QMetaType::QDate) return v.toDate().toString("dd/MM/yyyy");
        return v.toString();
    case store::FieldType::Number:
    case store::FieldType::Money:
    case store::FieldType::Autoincrement: {
        if (v.typeId() == QMetaType::QString) {
            const std::optional<double> d =
                readNumber(v.toString(), type == store::FieldType::Money);
            if (!d) return bad();
            return *d;
        }
        bool ok = false;
        const double d = v.toDouble(&ok);
        if (!ok) return bad();
        return d;
    }
    case store::FieldType::Date: {
        if (v.typeId() == QMetaType::QDate) return v;
        if (v.typeId() == QMetaType::QDateTime) return v.toDateTime().date();
        QDate d;
        if (readDate(v.toString(), d)) return d;
        return bad();
    }
    }
    return v;
}

QString sqlName(const QString& identifier)
{
    return QString::fromStdString(store::quoted(identifier.toStdString()));
}

StmtGuard::~StmtGuard() { sqlite3_finalize(st_); }

}  // namespace db

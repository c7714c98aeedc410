#include "core/engine/Table.h"

#include "core/engine/Connection.h"
#include "core/engine/Database.h"
#include "core/engine/EngineError.h"
#include "core/engine/FilterExpr.h"
#include "core/engine/SqlValue.h"

#include <sqlite3.h>

namespace db {

using store::FieldType;

namespace {

// Whether two characters are the same letter in the international order (case and accents
// aside): the order decides on the letters before it looks at the bytes, so a following "a"
// against "b" shows which way the letters themselves compare.
bool sameLetter(const QByteArray& a, const QByteArray& b)
{
    return store::intlCompare((a + "a").constData(), int(a.size()) + 1, (b + "b").constData(),
                              int(b.size()) + 1) < 0
           && store::intlCompare((a + "b").constData(), int(a.size()) + 1,
                                 (b + "a").constData(), int(b.size()) + 1) > 0;
}

// The lowest text the international order places among the texts equal to `text` when case and
// accents are ignored: each letter as the capital without accent (the lowest bytes of its
// kind). Every key equal to `text` at that level is not below it, every key before it is.
QString lowestOfItsLetters(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        QChar low = ch;
        if (ch.isLetter() && !(ch >= u'A' && ch <= u'Z')) {
            const QByteArray c = QString(ch).toUtf8();
            for (char l = 'A'; l <= 'Z'; ++l)
                if (sameLetter(c, QByteArray(1, l))) {
                    low = QChar(l);
                    break;
                }
        }
        out += low;
    }
    return out;
}

}  // namespace

// Everything the open table knows: its file, its order and the conditions of range, filter and
// master link. Rows are read by key position: every read runs one prepared statement to its
// first row (or its count) and resets it at once, so no read transaction outlives the call and
// another program can write while the table is shown.
struct Table::Cursor {
    // What rows read earlier stay valid for: the table file's data version (changed by every
    // commit of another connection) and this connection's own writes (every row it changed,
    // and every commit and rollback).
    struct Version {
        qint64 file = -1;
        qint64 own = -1;
        friend bool operator==(const Version&, const Version&) = default;
    };
    Connection* conn = nullptr;
    store::TableSpec spec;
    QString from;          // "SCHEMA"."TABLE"
    QString selectList;    // every column of the table, then rowid
    QString fileName;
    const store::IndexSpec* index = nullptr;
    QStringList orderCols;  // SQL names of the order, ending with a unique tie-break
    QStringList orderNames; // the same fields as the operator knows them
    QVector<int> orderSrc;  // column of each in the row buffer, -1 for rowid
    QVector<FieldType> orderTypes;
    Sql base;               // range, filter and master conditions
    QHash<QString, sqlite3_stmt*> statements;  // prepared once, by text

    QString schema;        // the table file's schema name on the connection

    // Lookups into this table (a report reads several fields of one member per row) run the
    // cached statements; the last row found is kept for the same statement and values, but
    // only while the table file is unchanged (see version()).
    QString lastSql;
    QVector<QVariant> lastParams;
    QVector<QVariant> lastRow;
    bool lastFound = false;
    Version lastVersion;

    ~Cursor() { forget(); }

    Version version()
    {
        sqlite3_stmt* st = statement("PRAGMA " + sqlName(schema) + ".data_version");
        const Reset done{st};
        if (sqlite3_step(st) != SQLITE_ROW) throwSqlite(conn->handle(), fileName);
        return {sqlite3_column_int64(st, 0),
                qint64(conn->generation()) + sqlite3_total_changes64(conn->handle())};
    }

    // The first row of a lookup statement; false when there is none.
    bool lookupRow(const QString& sql, const QVector<QVariant>& ps, QVector<QVariant>& row)
    {
        const Version now = version();
        if (lastVersion == now && lastSql == sql && lastParams == ps) {
            row = lastRow;
            return lastFound;
        }
        sqlite3_stmt* st = statement(sql);
        Reset reset{st};
        bindAll(st, ps);
        const int rc = sqlite3_step(st);
        qint64 id = 0;
        if (rc == SQLITE_ROW) readRow(st, row, id);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) throwSqlite(conn->handle(), fileName);
        lastSql = sql;
        lastParams = ps;
        lastFound = rc == SQLITE_ROW;
        lastRow = row;
        lastVersion = now;
        return lastFound;
    }

    void forget()
    {
        for (sqlite3_stmt* st : std::as_const(statements)) sqlite3_finalize(st);
        statements.clear();
    }

    sqlite3_stmt* statement(const QString& sql)
    {
        if (sqlite3_stmt* st = statements.value(sql)) return st;
        if (statements.size() >= 64) forget();  // conditions changed many times: start afresh
        sqlite3_stmt* st = prepare(conn->handle(), sql, fileName);
        statements.insert(sql, st);
        return st;
    }

    // Resets a statement when the read ends, however it ends: that ends its read transaction.
    struct Reset {
        sqlite3_stmt* st;
        ~Reset()
        {
            sqlite3_reset(st);
            sqlite3_clear_bindings(st);
        }
    };

    int colCount() const { return int(spec.fields.size()); }

    QString orderBy(bool asc) const
    {
        QStringList parts;
        for (const QString& c : orderCols) parts << c + (asc ? "" : " DESC");
        return " ORDER BY " + parts.join(", ");
    }

    QString where(const Sql& extra) const
    {
        Sql all = base;
        all.add(extra);
        return all.text.isEmpty() ? QString() : " WHERE " + all.text;
    }

    QVector<QVariant> params(const Sql& extra) const { return base.params + extra.params; }

    QString select(const Sql& extra, bool asc, const QString& tail = {}) const
    {
        return "SELECT " + selectList + " FROM " + from + where(extra) + orderBy(asc) + tail;
    }

    QVector<QVariant> keyOf(const QVector<QVariant>& row, qint64 id) const
    {
        QVector<QVariant> key;
        for (int src : orderSrc) key << (src < 0 ? QVariant(id) : row.value(src));
        return key;
    }

    // The conditions that together let through the rows after (forward) or before (backward)
    // `key` in the order, nearest first. Empty values sort before every other value.
    QVector<Sql> armsFrom(const QVector<QVariant>& key, bool forward) const
    {
        QVector<Sql> out;
        for (int i = int(orderCols.size()) - 1; i >= 0; --i) {
            Sql prefix;
            for (int j = 0; j < i; ++j) prefix.add(Sql{orderCols[j] + " IS ?", {key[j]}});
            const bool null = !key[i].isValid() || key[i].isNull();
            if (forward) {
                Sql a = prefix;
                a.add(null ? Sql{orderCols[i] + " IS NOT NULL", {}}
                           : Sql{orderCols[i] + " > ?", {key[i]}});
                out << a;
            } else if (!null) {
                Sql a = prefix;
                a.add(Sql{orderCols[i] + " < ?", {key[i]}});
                out << a;
                Sql b = prefix;
                b.add(Sql{orderCols[i] + " IS NULL", {}});
                out << b;
            }
        }
        return out;
    }

    // Rows read ahead in one direction, and what they stay valid for: served only while the
    // table steps on from `aheadAfter` in that direction and the table file is unchanged
    // (see version()). A walk thus reads a batch per statement.
    static constexpr int kAhead = 64;
    QVector<QVector<QVariant>> ahead;
    QVector<qint64> aheadIds;
    int aheadPos = 0;
    bool aheadForward = true;
    qint64 aheadAfter = -1;
    Version aheadVersion;

    void dropAhead()
    {
        ahead.clear();
        aheadIds.clear();
        aheadPos = 0;
    }

    // The row next to `key` (the row `id` stands on) in one direction; false when there is
    // none. A batch is one statement: the arms, nearest first, each limited to the batch
    // (SQLite runs UNION ALL in order), stepped to the batch's end and reset.
    bool neighbour(const QVector<QVariant>& key, bool forward, QVector<QVariant>& row,
                   qint64& id)
    {
        const bool valid = aheadPos < ahead.size() && aheadForward == forward
                           && aheadAfter == id && aheadVersion == version();
        if (!valid) {
            dropAhead();
            const QVector<Sql> arms = armsFrom(key, forward);
            if (arms.isEmpty()) return false;
            const QString limit = QString(" LIMIT %1").arg(kAhead);
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
            aheadVersion = version();  // first: it may start the statement cache afresh
            sqlite3_stmt* st = statement(sql);
            const Reset done{st};
            bindAll(st, ps);
            aheadForward = forward;
            int rc = SQLITE_ROW;
            while (ahead.size() < kAhead && (rc = sqlite3_step(st)) == SQLITE_ROW) {
                qint64 rid = 0;
                readRow(st, row, rid);
                ahead << row;
                aheadIds << rid;
            }
            if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
                dropAhead();
                throwSqlite(conn->handle(), fileName);
            }
            if (ahead.isEmpty()) return false;
        }
        row = ahead[aheadPos];
        id = aheadIds[aheadPos];
        ++aheadPos;
        aheadAfter = id;
        return true;
    }

    bool edge(bool first, QVector<QVariant>& row, qint64& id)
    {
        return fetchOne(select({}, first, " LIMIT 1"), base.params, row, id);
    }

    void readRow(sqlite3_stmt* s, QVector<QVariant>& row, qint64& id) const
    {
        const int n = colCount();
        row.resize(n);
        for (int i = 0; i < n; ++i) row[i] = readColumn(s, i, spec.fields[size_t(i)].type);
        id = sqlite3_column_int64(s, n);
    }

    // The first row of a statement built by select(); false when there is none.
    bool fetchOne(const QString& sql, const QVector<QVariant>& ps, QVector<QVariant>& row,
                  qint64& id)
    {
        sqlite3_stmt* st = statement(sql);
        const Reset done{st};
        bindAll(st, ps);
        const int rc = sqlite3_step(st);
        if (rc == SQLITE_ROW) {
            readRow(st, row, id);
            return true;
        }
        if (rc != SQLITE_DONE) throwSqlite(conn->handle(), fileName);
        return false;
    }

    qint64 count(const Sql& extra)
    {
        sqlite3_stmt* st = statement("SELECT COUNT(*) FROM " + from + where(extra));
        const Reset done{st};
        bindAll(st, params(extra));
        if (sqlite3_step(st) != SQLITE_ROW) throwSqlite(conn->handle(), fileName);
        return sqlite3_column_int64(st, 0);
    }

    int specIndex(const QString& name) const
    {
        for (size_t i = 0; i < spec.fields.size(); ++i)
            if (QString::fromStdString(spec.fields[i].name).compare(name, Qt::CaseInsensitive) == 0)
                return int(i);
        return -1;
    }

    int requireField(const QString& name) const
    {
        const int i = specIndex(name);
        if (i < 0) throw EngineError(QString("Field '%1' not found in %2").arg(name, fileName));
        return i;
    }

    QString name(int i) const { return QString::fromStdString(spec.fields[size_t(i)].name); }
    QString col(int i) const { return sqlName(name(i)); }
    FieldType typeOf(int i) const { return spec.fields[size_t(i)].type; }

    // (order fields) compared with `vals` on the leading fields: >= when `atLeast`, else <=.
    Sql lexBound(const QVariantList& vals, bool atLeast) const
    {
        const int m = std::min(int(vals.size()), int(orderCols.size()));
        QVector<QVariant> v;
        for (int i = 0; i < m; ++i)
            v << (orderSrc[i] < 0 ? vals[i] : normalized(vals[i], orderTypes[i], orderNames[i]));
        bool anyNull = false;
        for (const QVariant& x : v) anyNull = anyNull || !x.isValid();
        // Without empty values the bound is a plain comparison the index serves: empty parts
        // sort first, so a lower bound leaves them out by itself, and for a single field an
        // upper bound needs only to let them in.
        if (m > 0 && !anyNull && (atLeast || m == 1)) {
            QStringList cols, marks;
            for (int i = 0; i < m; ++i) {
                cols << orderCols[i];
                marks << "?";
            }
            const QString lhs = m == 1 ? cols[0] : "(" + cols.join(", ") + ")";
            const QString rhs = m == 1 ? marks[0] : "(" + marks.join(", ") + ")";
            if (atLeast) return Sql{lhs + " >= " + rhs, v};
            return Sql{"(" + lhs + " <= " + rhs + " OR " + cols[0] + " IS NULL)", v};
        }
        Sql any;
        for (int i = 0; i < m; ++i) {
            const bool null = !v[i].isValid();
            Sql arm;
            for (int j = 0; j < i; ++j) arm.add(Sql{orderCols[j] + " IS ?", {v[j]}});
            if (atLeast) arm.add(null ? Sql{orderCols[i] + " IS NOT NULL", {}}
                                      : Sql{orderCols[i] + " > ?", {v[i]}});
            else if (null) continue;
            else arm.add(Sql{"(" + orderCols[i] + " < ? OR " + orderCols[i] + " IS NULL)", {v[i]}});
            arm.text = "(" + arm.text + ")";
            any.add(arm, " OR ");
        }
        Sql equal;
        for (int j = 0; j < m; ++j) equal.add(Sql{orderCols[j] + " IS ?", {v[j]}});
        if (!equal.text.isEmpty()) {
            equal.text = "(" + equal.text + ")";
            any.add(equal, " OR ");
        }
        if (any.text.isEmpty()) return {};
        any.text = "(" + any.text + ")";
        return any;
    }

    Sql leadingEqual(const QVariantList& vals) const
    {
        Sql s;
        const int m = std::min(int(vals.size()), int(orderCols.size()));
        for (int i = 0; i < m; ++i)
            s.add(Sql{orderCols[i] + " IS ?",
                      {orderSrc[i] < 0 ? vals[i] : normalized(vals[i], orderTypes[i], orderNames[i])}});
        return s;
    }
};

Table::Table(QObject* parent) : Dataset(parent)
{
    setDatabaseName("Tolmare");
}

Table::~Table()
{
    QObject::disconnect(masterConn_);
    close();
}

int Table::rowWidth() const { return cur_ ? cur_->colCount() : 0; }

void Table::setIndexName(const QString& name)
{
    if (active()) checkBrowse();
    indexName_ = name;
    indexFields_.clear();
    if (active()) {
        rangeStart_.clear();
        rangeEnd_.clear();
        refreshOrderKeepingRow();
    }
}

void Table::setIndexFieldNames(const QString& fields)
{
    if (active()) checkBrowse();
    indexFields_ = fields;
    indexName_.clear();
    if (active()) {
        rangeStart_.clear();
        rangeEnd_.clear();
        refreshOrderKeepingRow();
    }
}

QStringList Table::orderFields() const
{
    QStringList out;
    if (!cur_ || !cur_->index) return out;
    for (int f : cur_->index->fields)
        out << QString::fromStdString(cur_->spec.fields[size_t(f - 1)].name);
    return out;
}

void Table::addLookupField(const QString& name, int width, const QString& keyField,
                           Dataset* lookupDataset, const QString& lookupKeyField,
                           const QString& resultField)
{
    lookups_.append({name, width, keyField, lookupDataset, lookupKeyField, resultField});
}

void Table::setFieldRequired(const QString& name, bool required)
{
    requiredOverride_.insert(name.toUpper(), required);
    for (FieldDef& f : fields_)
        if (f.name.compare(name, Qt::CaseInsensitive) == 0) f.required = required;
}

void Table::setFieldEditMask(const QString& name, const QString& mask)
{
    masks_.insert(name.toUpper(), mask);
    for (FieldDef& f : fields_)
        if (f.name.compare(name, Qt::CaseInsensitive) == 0) f.editMask = mask;
}

void Table::chooseOrder()
{
    Cursor& c = *cur_;
    const store::TableSpec& spec = c.spec;
    const store::IndexSpec* chosen = nullptr;
    if (!indexName_.isEmpty()) {
        for (const store::IndexSpec& idx : spec.indexes)
            if (!idx.name.empty()
                && QString::fromStdString(idx.name).compare(indexName_, Qt::CaseInsensitive) == 0)
                chosen = &idx;
        if (!chosen)
            throw EngineError(QString("Index %1 does not exist in %2").arg(indexName_, c.fileName));
    } else if (!indexFields_.trimmed().isEmpty()) {
        const QStringList wanted = indexFields_.split(';', Qt::SkipEmptyParts);
        for (const store::IndexSpec& idx : spec.indexes) {
            if (idx.fields.size() < size_t(wanted.size())) continue;
            bool match = true;
            for (int i = 0; i < wanted.size() && match; ++i)
                match = QString::fromStdString(spec.fields[size_t(idx.fields[size_t(i)] - 1)].name)
                            .compare(wanted[i].trimmed(), Qt::CaseInsensitive) == 0;
            if (match) {
                chosen = &idx;
                break;
            }
        }
        if (!chosen)
            throw EngineError(QString("No index for fields '%1' in %2").arg(indexFields_, c.fileName));
    } else {
        chosen = spec.primaryKey();
    }
    c.index = chosen;
    c.orderCols.clear();
    c.orderNames.clear();
    c.orderSrc.clear();
    c.orderTypes.clear();
    if (chosen) {
        for (int f : store::storedIndexFields(spec, *chosen)) {
            c.orderCols << c.col(f - 1);
            c.orderNames << c.name(f - 1);
            c.orderSrc << f - 1;
            c.orderTypes << c.typeOf(f - 1);
        }
    }
    const bool endsWithRowid = !c.orderSrc.isEmpty()
                               && c.typeOf(c.orderSrc.last()) == FieldType::Autoincrement
                               && spec.rowidKey();
    if (!endsWithRowid) {
        c.orderCols << "rowid";
        c.orderNames << "rowid";
        c.orderSrc << -1;
        c.orderTypes << FieldType::Autoincrement;
    }
}

void Table::buildConditions()
{
    Cursor& c = *cur_;
    c.base = Sql{};
    if (!rangeStart_.isEmpty() || !rangeEnd_.isEmpty()) {
        if (rangeStart_ == rangeEnd_) {
            c.base.add(c.leadingEqual(rangeStart_));
        } else {
            c.base.add(c.lexBound(rangeStart_, true));
            Sql upper = c.lexBound(rangeEnd_, false);
            const bool startFilled = !rangeStart_.isEmpty() && rangeStart_[0].isValid()
                                     && !rangeStart_[0].isNull();
            if (startFilled && rangeEnd_.size() == 1 && upper.text.endsWith(" IS NULL)"))
                upper.text = upper.text.section(" OR ", 0, 0).mid(1);
            c.base.add(upper);
        }
    }
    if (filtered_ && !filterText_.trimmed().isEmpty()) {
        const std::optional<FilterExpr> e = parseFilter(filterText_);
        if (!e) throw EngineError("Invalid filter expression: " + filterText_);
        const int f = c.requireField(e->field);
        c.base.add(Sql{c.col(f) + " " + e->op + " ?",
                       {normalized(e->value, c.typeOf(f), c.name(f))}});
    }
    if (master_) {
        QVariant v;
        if (master_->active() && (!master_->isEmpty() || master_->state() == DatasetState::Insert))
            v = master_->fieldByName(masterField_).value();
        const int f = c.requireField(detailField_);
        if (!v.isValid() || v.isNull()) c.base.add(Sql{"0", {}});
        else c.base.add(Sql{c.col(f) + " = ?", {normalized(v, c.typeOf(f), detailField_)}});
    }
    c.dropAhead();
}

void Table::doOpen()
{
    if (tableName_.isEmpty()) throw EngineError("No table name given");
    conn_ = &Session::instance().connectionFor(databaseName_);
    const QString schema = conn_->attach(tableName_);
    cur_ = std::make_unique<Cursor>();
    Cursor& c = *cur_;
    c.conn = conn_;
    c.schema = schema;
    c.spec = conn_->spec(schema);
    c.fileName = QString::fromStdString(c.spec.fileName);
    c.from = sqlName(schema) + "." + sqlName(QString::fromStdString(c.spec.tableName()));
    QStringList cols;
    for (int i = 0; i < c.colCount(); ++i) cols << c.col(i);
    c.selectList = cols.join(", ") + ", rowid";

    fields_.clear();
    auto addField = [&](int i) {
        const store::FieldSpec& s = c.spec.fields[size_t(i)];
        FieldDef d;
        d.name = QString::fromStdString(s.name);
        d.type = s.type;
        d.width = s.width;
        d.required = requiredOverride_.value(d.name.toUpper(), s.required);
        d.readOnly = s.type == FieldType::Autoincrement;
        d.editMask = masks_.value(d.name.toUpper());
        d.column = i;
        fields_ << d;
    };
    try {
        auto lookupNamed = [&](const QString& name) -> const LookupSpec* {
            for (const LookupSpec& l : lookups_)
                if (l.name.compare(name, Qt::CaseInsensitive) == 0) return &l;
            return nullptr;
        };
        auto addLookup = [&](const LookupSpec& l) {
            FieldDef d;
            d.name = l.name;
            d.type = FieldType::Alpha;
            d.width = l.width;
            d.readOnly = true;
            d.kind = FieldKind::Lookup;
            d.keyField = l.keyField;
            d.lookupDataset = l.ds;
            d.lookupKeyField = l.lookupKey;
            d.resultField = l.result;
            fields_ << d;
        };
        // Lookup fields take their place in the field list when it names them; the others
        // follow the data fields.
        if (fieldList_.isEmpty()) {
            for (int i = 0; i < c.colCount(); ++i) addField(i);
        } else {
            for (const QString& name : fieldList_) {
                if (const LookupSpec* l = lookupNamed(name)) addLookup(*l);
                else addField(c.requireField(name));
            }
        }
        for (const LookupSpec& l : lookups_)
            if (fieldIndex(l.name) < 0) addLookup(l);
        chooseOrder();
        buildConditions();
        doFirst();
    } catch (...) {
        fields_.clear();
        cur_.reset();
        conn_ = nullptr;
        throw;
    }
}

void Table::doClose()
{
    cur_.reset();
    conn_ = nullptr;
}

void Table::doFirst()
{
    QVector<QVariant> row;
    qint64 id = 0;
    if (cur_->edge(true, row, id)) setCurrent(row, id);
    else clearCurrent();
}

void Table::doLast()
{
    QVector<QVariant> row;
    qint64 id = 0;
    if (cur_->edge(false, row, id)) setCurrent(row, id);
    else clearCurrent();
}

bool Table::doNext()
{
    QVector<QVariant> row;
    qint64 id = currentId_;
    if (!cur_->neighbour(cur_->keyOf(row_, currentId_), true, row, id)) return false;
    setCurrent(row, id);
    return true;
}

bool Table::doPrior()
{
    QVector<QVariant> row;
    qint64 id = currentId_;
    if (!cur_->neighbour(cur_->keyOf(row_, currentId_), false, row, id)) return false;
    setCurrent(row, id);
    return true;
}

void Table::positionTo(qint64 rowid)
{
    QVector<QVariant> row;
    qint64 id = 0;
    const QString sql = "SELECT " + cur_->selectList + " FROM " + cur_->from + " WHERE rowid = ?";
    if (!cur_->fetchOne(sql, {rowid}, row, id))
        throw EngineError("Record/key deleted: " + cur_->fileName);
    setCurrent(row, id);
}

void Table::refreshOrderKeepingRow()
{
    chooseOrder();
    buildConditions();
    if (hasCurrent_) positionTo(currentId_);
    notifyData();
    notifyScrolled();
}

void Table::reposition()
{
    buildConditions();
    bool wasFirst = true;
    Q_UNUSED(wasFirst);
    doFirst();
    bof_ = true;
    eof_ = !hasCurrent_;
    notifyData();
    notifyScrolled();
}

bool Table::findKey(const QVariantList& values)
{
    checkBrowse();
    Cursor& c = *cur_;
    const Sql eq = c.leadingEqual(values);
    QVector<QVariant> row;
    qint64 id = 0;
    if (!c.fetchOne(c.select(eq, true, " LIMIT 1"), c.params(eq), row, id)) return false;
    setCurrent(row, id);
    bof_ = eof_ = false;
    notifyScrolled();
    return true;
}

void Table::findNearest(const QVariantList& values)
{
    checkBrowse();
    Cursor& c = *cur_;
    QVariantList vals = values;
    for (int i = 0; i < vals.size() && i < c.orderSrc.size(); ++i)
        if (c.orderSrc[i] >= 0 && c.orderTypes[i] == FieldType::Alpha
            && vals[i].typeId() == QMetaType::QString)
            vals[i] = lowestOfItsLetters(vals[i].toString());
    const Sql ge = c.lexBound(vals, true);
    QVector<QVariant> row;
    qint64 id = 0;
    if (c.fetchOne(c.select(ge, true, " LIMIT 1"), c.params(ge), row, id)) {
        setCurrent(row, id);
        bof_ = eof_ = false;
        notifyScrolled();
    } else {
        last();
    }
}

void Table::setRange(const QVariantList& start, const QVariantList& end)
{
    if (active()) checkBrowse();
    rangeStart_ = start;
    rangeEnd_ = end;
    if (active()) reposition();
}

void Table::cancelRange()
{
    if (!hasRange()) return;
    if (active()) checkBrowse();
    rangeStart_.clear();
    rangeEnd_.clear();
    if (active()) reposition();
}

void Table::setFilter(const QString& expression)
{
    if (active()) checkBrowse();
    filterText_ = expression;
    if (active() && filtered_) reposition();
}

void Table::setFiltered(bool on)
{
    if (active()) checkBrowse();
    filtered_ = on;
    if (active()) reposition();
}

void Table::setMasterSource(Dataset* master, const QString& masterField,
                            const QString& detailField)
{
    QObject::disconnect(masterConn_);
    master_ = master;
    masterField_ = masterField;
    detailField_ = detailField;
    if (master_) {
        masterConn_ = connect(master_, &Dataset::currentChanged, this, &Table::refreshFromMaster);
    }
    if (active()) reposition();
}

void Table::refreshFromMaster()
{
    if (!active() || state_ != DatasetState::Browse) return;
    reposition();
}

void Table::flushBuffers()
{
    // Every post is committed to the table file before it returns (rollback journal,
    // synchronous=FULL); inside a bulk transaction the commit writes them.
}

int Table::recordCount()
{
    checkActive();
    return int(cur_->count({}));
}

int Table::recNo()
{
    checkActive();
    if (!hasCurrent_) return 0;
    Cursor& c = *cur_;
    qint64 before = 0;
    for (const Sql& arm : c.armsFrom(c.keyOf(row_, currentId_), false)) before += c.count(arm);
    return int(before + 1);
}

void Table::setRecNo(int n)
{
    checkBrowse();
    if (n < 1) return;
    Cursor& c = *cur_;
    QVector<QVariant> row;
    qint64 id = 0;
    if (!c.fetchOne(c.select({}, true, QString(" LIMIT 1 OFFSET %1").arg(n - 1)), c.base.params,
                    row, id))
        return;
    setCurrent(row, id);
    bof_ = eof_ = false;
    notifyScrolled();
}

bool Table::locate(const QString& fields, const QVariantList& values, LocateMode mode)
{
    checkBrowse();
    Cursor& c = *cur_;
    const QStringList names = fields.split(';', Qt::SkipEmptyParts);
    Sql cond;
    for (int i = 0; i < names.size(); ++i) {
        const int f = c.requireField(names[i].trimmed());
        const QVariant v = normalized(values.value(i), c.typeOf(f), names[i]);
        if (!v.isValid()) cond.add(Sql{c.col(f) + " IS NULL", {}});
        else if (mode == LocateMode::Partial && c.typeOf(f) == FieldType::Alpha)
            cond.add(Sql{"substr(" + c.col(f) + ", 1, ?) = ?", {v.toString().size(), v}});
        else cond.add(Sql{c.col(f) + " = ?", {v}});
    }
    QVector<QVariant> row;
    qint64 id = 0;
    if (!c.fetchOne(c.select(cond, true, " LIMIT 1"), c.params(cond), row, id)) return false;
    setCurrent(row, id);
    bof_ = eof_ = false;
    notifyScrolled();
    return true;
}

QVariant Table::lookup(const QString& keyFields, const QVariantList& keyValues,
                       const QString& resultField)
{
    if (!active()) return {};
    Cursor& c = *cur_;
    const QStringList names = keyFields.split(';', Qt::SkipEmptyParts);
    Sql cond;
    for (int i = 0; i < names.size(); ++i) {
        const int f = c.requireField(names[i].trimmed());
        cond.add(Sql{c.col(f) + " IS ?", {normalized(keyValues.value(i), c.typeOf(f), names[i])}});
    }
    QVector<QVariant> row;
    if (!c.lookupRow(c.select(cond, true, " LIMIT 1"), c.params(cond), row)) return {};
    const int r = fieldIndex(resultField);
    if (r < 0) {
        const int s = c.specIndex(resultField);
        if (s < 0) throw EngineError(QString("Field '%1' not found").arg(resultField));
        return row.value(s);
    }
    return valueIn(fields_[r], row);
}

QVector<QVector<QVariant>> Table::rowsAt(int first, int count)
{
    QVector<QVector<QVariant>> out;
    if (!active() || count <= 0) return out;
    Cursor& c = *cur_;
    StmtGuard g(prepare(conn_->handle(),
                        c.select({}, true, QString(" LIMIT %1 OFFSET %2").arg(count).arg(first)),
                        c.fileName));
    bindAll(g.get(), c.base.params);
    QVector<QVariant> row;
    qint64 id = 0;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(g.get())) == SQLITE_ROW) {
        c.readRow(g.get(), row, id);
        QVector<QVariant> values;
        values.reserve(fields_.size());
        for (const FieldDef& f : fields_) values << valueIn(f, row);
        out << values;
    }
    if (rc != SQLITE_DONE) throwSqlite(conn_->handle(), c.fileName);
    return out;
}

bool Table::bookmarkValid(const Bookmark& b)
{
    if (!active() || b.isNull() || b.epoch != epoch_) return false;
    Sql cond{"rowid = ?", {b.id}};
    return cur_->count(cond) > 0;
}

void Table::gotoBookmark(const Bookmark& b)
{
    checkBrowse();
    if (!bookmarkValid(b)) throw EngineError("Record/key deleted: " + cur_->fileName);
    positionTo(b.id);
    bof_ = eof_ = false;
    notifyScrolled();
}

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
        StmtGuard g(prepare(h, "SELECT 1 FROM " + c.from + " WHERE " + cond.text + " LIMIT 1",
                            c.fileName));
        bindAll(g.get(), cond.params);
        const int rc = sqlite3_step(g.get());
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
        StmtGuard g(prepare(h, sql, c.fileName));
        bindAll(g.get(), values);
        const int rc = sqlite3_step(g.get());
        if ((rc & 0xff) == SQLITE_CONSTRAINT) throw keyViolation(c.fileName);
        if (rc != SQLITE_DONE) throwSqlite(h, c.fileName);
        if (inserting) id = sqlite3_last_insert_rowid(h);
        conn_->exec("RELEASE tolmare_post");
    } catch (...) {
        sqlite3_exec(h, "ROLLBACK TO tolmare_post; RELEASE tolmare_post", nullptr, nullptr, nullptr);
        throw;
    }
    conn_->bump();
    positionTo(id);
    bof_ = eof_ = false;
}

void Table::doDelete()
{
    Cursor& c = *cur_;
    const QVector<QVariant> key = c.keyOf(row_, currentId_);
    StmtGuard g(prepare(conn_->handle(), "DELETE FROM " + c.from + " WHERE rowid = ?", c.fileName));
    bindAll(g.get(), {currentId_});
    if (sqlite3_step(g.get()) != SQLITE_DONE) throwSqlite(conn_->handle(), c.fileName);
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

// ---- Rows beside the current one (grids that read only what they show) ----

Table::RowsAround Table::rowsAround(int before, int after)
{
    RowsAround out;
    if (!active() || !hasCurrent_) return out;
    Cursor& c = *cur_;
    // Lookup fields are resolved once per distinct key in a call: a screenful of members
    // shares a handful of groups.
    QHash<QString, QVariant> looked;
    auto values = [&](const QVector<QVariant>& row) {
        QVector<QVariant> v;
        v.reserve(fields_.size());
        for (int i = 0; i < fields_.size(); ++i) {
            const FieldDef& f = fields_[i];
            if (f.kind != FieldKind::Lookup) {
                v << valueIn(f, row);
                continue;
            }
            const int k = fieldIndex(f.keyField);
            const QString tag = QString::number(i) + '\x1f'
                                + (k < 0 ? QString() : valueIn(fields_[k], row).toString());
            auto it = looked.constFind(tag);
            if (it == looked.constEnd()) it = looked.insert(tag, valueIn(f, row));
            v << it.value();
        }
        return v;
    };
    const QVector<QVariant> key = c.keyOf(row_, currentId_);
    auto read = [&](bool forward, int n) {
        QVector<QVector<QVariant>> rows;
        if (n <= 0) return rows;
        for (const Sql& arm : c.armsFrom(key, forward)) {
            if (rows.size() >= n) break;
            StmtGuard g(prepare(conn_->handle(),
                                c.select(arm, forward, QString(" LIMIT %1").arg(n - rows.size())),
                                c.fileName));
            bindAll(g.get(), c.params(arm));
            QVector<QVariant> row;
            qint64 id = 0;
            int rc = SQLITE_ROW;
            while ((rc = sqlite3_step(g.get())) == SQLITE_ROW) {
                c.readRow(g.get(), row, id);
                rows << values(row);
            }
            if (rc != SQLITE_DONE) throwSqlite(conn_->handle(), c.fileName);
        }
        return rows;
    };
    const QVector<QVector<QVariant>> prior = read(false, before);
    const QVector<QVector<QVariant>> next = read(true, after);
    out.rows.reserve(prior.size() + 1 + next.size());
    for (auto it = prior.crbegin(); it != prior.crend(); ++it) out.rows << *it;
    out.current = int(out.rows.size());
    out.rows << values(row_);
    out.rows << next;
    return out;
}

}  // namespace db

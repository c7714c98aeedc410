// A table's moves and searches: first, last, next and prior, key search, locate, lookup,
// counts, record numbers and bookmarks.
#include "core/engine/Connection.h"
#include "core/engine/EngineError.h"
#include "core/engine/TableCursor.h"

namespace db {

using store::FieldType;

void Table::doFirst()
{
    QVector<QVariant> row;
    qint64 id = 0;
    if (cur_->edge(true, row, id))
        setCurrent(row, id);
    else
        clearCurrent();
}

void Table::doLast()
{
    QVector<QVariant> row;
    qint64 id = 0;
    if (cur_->edge(false, row, id))
        setCurrent(row, id);
    else
        clearCurrent();
}

bool Table::doNext()
{
    QVector<QVariant> row;
    qint64 id = currentId_;
    if (!cur_->neighbour(cur_->order.keyOf(row_, currentId_), true, row, id)) return false;
    setCurrent(row, id);
    return true;
}

bool Table::doPrior()
{
    QVector<QVariant> row;
    qint64 id = currentId_;
    if (!cur_->neighbour(cur_->order.keyOf(row_, currentId_), false, row, id)) return false;
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

bool Table::findKey(const QVariantList& values)
{
    checkBrowse();
    Cursor& c = *cur_;
    const Sql eq = c.order.leadingEqual(values);
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
    for (int i = 0; i < vals.size() && i < c.order.src.size(); ++i)
        if (c.order.src[i] >= 0 && c.order.types[i] == FieldType::Alpha
            && vals[i].typeId() == QMetaType::QString)
            vals[i] = lowestOfItsLetters(vals[i].toString());
    const Sql ge = c.order.bound(vals, true);
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
    for (const Sql& arm : c.order.armsFrom(c.order.keyOf(row_, currentId_), false))
        before += c.count(arm);
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
        if (!v.isValid())
            cond.add(Sql{c.col(f) + " IS NULL", {}});
        else if (mode == LocateMode::Partial && c.typeOf(f) == FieldType::Alpha)
            cond.add(Sql{"substr(" + c.col(f) + ", 1, ?) = ?", {v.toString().size(), v}});
        else
            cond.add(Sql{c.col(f) + " = ?", {v}});
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

}  // namespace db

#include "core/engine/KeyOrder.h"

#include "core/engine/EngineError.h"

namespace db {

using store::FieldType;

namespace {

QString fieldName(const store::TableSpec& spec, int column)
{
    return QString::fromStdString(spec.fields[size_t(column)].name);
}

// The server's sort key column of a quoted Alpha column ("X" gives "intl_X").
QString sortKeyOf(const QString& quotedColumn)
{
    return "\"intl_" + quotedColumn.mid(1);
}

// The sort key the server keeps beside a text.
QString sortKey(const QVariant& text)
{
    return QString::fromStdString(store::intlSortKey(text.toString().toStdString()));
}

bool isEmpty(const QVariant& v)
{
    return !v.isValid() || v.isNull();
}

// Whether two characters are the same letter in the international order (case and accents
// aside): the order decides on the letters before it looks at the bytes, so a following "a"
// against "b" shows which way the letters themselves compare.
bool sameLetter(const QByteArray& a, const QByteArray& b)
{
    return store::intlCompare((a + "a").constData(), int(a.size()) + 1, (b + "b").constData(),
                              int(b.size()) + 1)
               < 0
           && store::intlCompare((a + "b").constData(), int(a.size()) + 1, (b + "a").constData(),
                                 int(b.size()) + 1)
                  > 0;
}

}  // namespace

const store::IndexSpec* chooseIndex(const store::TableSpec& spec, const QString& indexName,
                                    const QString& fields)
{
    const QString file = QString::fromStdString(spec.fileName);
    if (!indexName.isEmpty()) {
        const store::IndexSpec* chosen = nullptr;
        for (const store::IndexSpec& idx : spec.indexes)
            if (!idx.name.empty()
                && QString::fromStdString(idx.name).compare(indexName, Qt::CaseInsensitive) == 0)
                chosen = &idx;
        if (!chosen)
            throw EngineError(QString("Index %1 does not exist in %2").arg(indexName, file));
        return chosen;
    }
    if (fields.trimmed().isEmpty()) return spec.primaryKey();
    const QStringList wanted = fields.split(';', Qt::SkipEmptyParts);
    for (const store::IndexSpec& idx : spec.indexes) {
        if (idx.fields.size() < size_t(wanted.size())) continue;
        bool match = true;
        for (int i = 0; i < wanted.size() && match; ++i)
            match = fieldName(spec, idx.fields[size_t(i)] - 1)
                        .compare(wanted[i].trimmed(), Qt::CaseInsensitive)
                    == 0;
        if (match) return &idx;
    }
    throw EngineError(QString("No index for fields '%1' in %2").arg(fields, file));
}

// Each letter as the capital without accent: the lowest bytes of its kind.
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

KeyOrder KeyOrder::of(const store::TableSpec& spec, const store::IndexSpec* index, Dialect dialect)
{
    KeyOrder k;
    k.dialect = dialect;
    if (index) {
        for (int f : store::storedIndexFields(spec, *index)) {
            k.cols << sqlName(fieldName(spec, f - 1));
            k.names << fieldName(spec, f - 1);
            k.src << f - 1;
            k.types << spec.fields[size_t(f - 1)].type;
        }
    }
    const bool endsWithRowid =
        !k.types.isEmpty() && k.types.last() == FieldType::Autoincrement && spec.rowidKey();
    if (!endsWithRowid && dialect == Dialect::Server && spec.rowidKey()) {
        // The server has no row number beside the Autoincrement key: the key is the tie-break.
        const int key = spec.primaryKey()->fields[0] - 1;
        k.cols << sqlName(fieldName(spec, key));
        k.names << fieldName(spec, key);
        k.src << key;
        k.types << FieldType::Autoincrement;
    } else if (!endsWithRowid) {
        k.cols << "rowid";
        k.names << "rowid";
        k.src << -1;
        k.types << FieldType::Autoincrement;
    }
    return k;
}

bool KeyOrder::alphaOnServer(int i) const
{
    return dialect == Dialect::Server && types[i] == FieldType::Alpha;
}

QString KeyOrder::orderBy(bool ascending) const
{
    QStringList parts;
    for (int i = 0; i < cols.size(); ++i) {
        if (dialect == Dialect::File) {
            parts << cols[i] + (ascending ? "" : " DESC");
            continue;
        }
        const QString dir = ascending ? " NULLS FIRST" : " DESC NULLS LAST";
        if (alphaOnServer(i)) parts << sortKeyOf(cols[i]) + dir;
        parts << cols[i] + dir;
    }
    return " ORDER BY " + parts.join(", ");
}

Sql KeyOrder::compared(int i, const char* op, const QVariant& v) const
{
    if (!alphaOnServer(i)) return Sql{cols[i] + " " + op + " ?", {v}};
    return Sql{"(" + sortKeyOf(cols[i]) + ", " + cols[i] + ") " + op + " (?, ?)", {sortKey(v), v}};
}

Sql KeyOrder::same(int i, const QVariant& v) const
{
    if (dialect == Dialect::File) return Sql{cols[i] + " IS ?", {v}};
    // Whether the value is empty is known here: the server's indexes serve "IS NULL" and "=",
    // not "IS NOT DISTINCT FROM".
    if (isEmpty(v)) return empty(i, true);
    if (alphaOnServer(i))
        return Sql{sortKeyOf(cols[i]) + " = ? AND " + cols[i] + " = ?", {sortKey(v), v}};
    return Sql{cols[i] + " = ?", {v}};
}

Sql KeyOrder::empty(int i, bool isEmpty) const
{
    return Sql{cols[i] + (isEmpty ? " IS NULL" : " IS NOT NULL"), {}};
}

QVector<QVariant> KeyOrder::keyOf(const QVector<QVariant>& row, qint64 rowid) const
{
    QVector<QVariant> key;
    for (int s : src) key << (s < 0 ? QVariant(rowid) : row.value(s));
    return key;
}

QVector<Sql> KeyOrder::armsFrom(const QVector<QVariant>& key, bool forward) const
{
    QVector<Sql> out;
    for (int i = int(cols.size()) - 1; i >= 0; --i) {
        Sql prefix;
        for (int j = 0; j < i; ++j) prefix.add(same(j, key[j]));
        const bool null = isEmpty(key[i]);
        if (forward) {
            Sql a = prefix;
            a.add(null ? empty(i, false) : compared(i, ">", key[i]));
            out << a;
        } else if (!null) {
            Sql a = prefix;
            a.add(compared(i, "<", key[i]));
            out << a;
            Sql b = prefix;
            b.add(empty(i, true));
            out << b;
        }
    }
    return out;
}

QVector<QVariant> KeyOrder::converted(const QVariantList& values) const
{
    const int m = std::min(int(values.size()), int(cols.size()));
    QVector<QVariant> v;
    for (int i = 0; i < m; ++i)
        v << (src[i] < 0 ? values[i] : normalized(values[i], types[i], names[i]));
    return v;
}

Sql KeyOrder::bound(const QVariantList& values, bool atLeast) const
{
    const QVector<QVariant> v = converted(values);
    const int m = int(v.size());
    bool anyNull = false;
    for (const QVariant& x : v) anyNull = anyNull || !x.isValid();
    // Without empty values the bound is a plain comparison the index serves: empty parts
    // sort first, so a lower bound leaves them out by itself, and for a single field an
    // upper bound needs only to let them in.
    if (m > 0 && !anyNull && (atLeast || m == 1)) {
        QStringList lhs, rhs;
        QVector<QVariant> params;
        for (int i = 0; i < m; ++i) {
            if (alphaOnServer(i)) {
                lhs << sortKeyOf(cols[i]);
                rhs << "?";
                params << sortKey(v[i]);
            }
            lhs << cols[i];
            rhs << "?";
            params << v[i];
        }
        const QString l = lhs.size() == 1 ? lhs[0] : "(" + lhs.join(", ") + ")";
        const QString r = rhs.size() == 1 ? rhs[0] : "(" + rhs.join(", ") + ")";
        if (atLeast) return Sql{l + " >= " + r, params};
        return Sql{"(" + l + " <= " + r + " OR " + cols[0] + " IS NULL)", params};
    }
    Sql any;
    for (int i = 0; i < m; ++i) {
        const bool null = !v[i].isValid();
        Sql arm;
        for (int j = 0; j < i; ++j) arm.add(same(j, v[j]));
        if (atLeast) {
            arm.add(null ? empty(i, false) : compared(i, ">", v[i]));
        } else if (null) {
            continue;
        } else {
            Sql below = compared(i, "<", v[i]);
            below.add(empty(i, true), " OR ");
            below.text = "(" + below.text + ")";
            arm.add(below);
        }
        arm.text = "(" + arm.text + ")";
        any.add(arm, " OR ");
    }
    Sql equal;
    for (int j = 0; j < m; ++j) equal.add(same(j, v[j]));
    if (!equal.text.isEmpty()) {
        equal.text = "(" + equal.text + ")";
        any.add(equal, " OR ");
    }
    if (any.text.isEmpty()) return {};
    any.text = "(" + any.text + ")";
    return any;
}

Sql KeyOrder::leadingEqual(const QVariantList& values) const
{
    const QVector<QVariant> v = converted(values);
    Sql s;
    for (int i = 0; i < v.size(); ++i) s.add(same(i, v[i]));
    return s;
}

Sql KeyOrder::range(const QVariantList& start, const QVariantList& end) const
{
    if (start.isEmpty() && end.isEmpty()) return {};
    if (start == end) return leadingEqual(start);
    Sql s = bound(start, true);
    Sql upper = bound(end, false);
    // A filled start leaves the empty values out already: a single upper field is then a
    // plain comparison.
    const bool startFilled = !start.isEmpty() && !isEmpty(start[0]);
    if (startFilled && end.size() == 1 && upper.text.endsWith(" IS NULL)"))
        upper.text = upper.text.section(" OR ", 0, 0).mid(1);
    s.add(upper);
    return s;
}

}  // namespace db

#include "core/engine/KeyOrder.h"

#include "core/engine/EngineError.h"

namespace db {

using store::FieldType;

namespace {

QString fieldName(const store::TableSpec& spec, int column)
{
    return QString::fromStdString(spec.fields[size_t(column)].name);
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

KeyOrder KeyOrder::of(const store::TableSpec& spec, const store::IndexSpec* index)
{
    KeyOrder k;
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
    if (!endsWithRowid) {
        k.cols << "rowid";
        k.names << "rowid";
        k.src << -1;
        k.types << FieldType::Autoincrement;
    }
    return k;
}

QString KeyOrder::orderBy(bool ascending) const
{
    QStringList parts;
    for (const QString& c : cols) parts << c + (ascending ? "" : " DESC");
    return " ORDER BY " + parts.join(", ");
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
        for (int j = 0; j < i; ++j) prefix.add(Sql{cols[j] + " IS ?", {key[j]}});
        const bool null = isEmpty(key[i]);
        if (forward) {
            Sql a = prefix;
            a.add(null ? Sql{cols[i] + " IS NOT NULL", {}} : Sql{cols[i] + " > ?", {key[i]}});
            out << a;
        } else if (!null) {
            Sql a = prefix;
            a.add(Sql{cols[i] + " < ?", {key[i]}});
            out << a;
            Sql b = prefix;
            b.add(Sql{cols[i] + " IS NULL", {}});
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
        const QStringList lead = cols.mid(0, m);
        const QString lhs = m == 1 ? lead[0] : "(" + lead.join(", ") + ")";
        const QString rhs = m == 1 ? "?" : "(" + QStringList(m, "?").join(", ") + ")";
        if (atLeast) return Sql{lhs + " >= " + rhs, v};
        return Sql{"(" + lhs + " <= " + rhs + " OR " + lead[0] + " IS NULL)", v};
    }
    Sql any;
    for (int i = 0; i < m; ++i) {
        const bool null = !v[i].isValid();
        Sql arm;
        for (int j = 0; j < i; ++j) arm.add(Sql{cols[j] + " IS ?", {v[j]}});
        if (atLeast)
            arm.add(null ? Sql{cols[i] + " IS NOT NULL", {}} : Sql{cols[i] + " > ?", {v[i]}});
        else if (null)
            continue;
        else
            arm.add(Sql{"(" + cols[i] + " < ? OR " + cols[i] + " IS NULL)", {v[i]}});
        arm.text = "(" + arm.text + ")";
        any.add(arm, " OR ");
    }
    Sql equal;
    for (int j = 0; j < m; ++j) equal.add(Sql{cols[j] + " IS ?", {v[j]}});
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
    for (int i = 0; i < v.size(); ++i) s.add(Sql{cols[i] + " IS ?", {v[i]}});
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

// Blocks of a table's rows without moving: by position (rowsAt) and beside the current row
// (rowsAround), for grids and reports that read only what they show.
#include "core/engine/Connection.h"
#include "core/engine/EngineError.h"
#include "core/engine/TableCursor.h"

namespace db {

QVector<QVector<QVariant>> Table::rowsAt(int first, int count)
{
    QVector<QVector<QVariant>> out;
    if (!active() || count <= 0) return out;
    Cursor& c = *cur_;
    c.eachRow(c.select({}, true, QString(" LIMIT %1 OFFSET %2").arg(count).arg(first)),
              c.base.params, [&](const QVector<QVariant>& row) {
                  QVector<QVariant> values;
                  values.reserve(fields_.size());
                  for (const FieldDef& f : fields_) values << valueIn(f, row);
                  out << values;
              });
    return out;
}

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
    const QVector<QVariant> key = c.order.keyOf(row_, currentId_);
    auto read = [&](bool forward, int n) {
        QVector<QVector<QVariant>> rows;
        if (n <= 0) return rows;
        for (const Sql& arm : c.order.armsFrom(key, forward)) {
            if (rows.size() >= n) break;
            c.eachRow(c.select(arm, forward, QString(" LIMIT %1").arg(n - rows.size())),
                      c.params(arm), [&](const QVector<QVariant>& row) { rows << values(row); });
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

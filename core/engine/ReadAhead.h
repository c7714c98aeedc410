// What a table keeps of rows it read earlier, and what they stay valid for. A walk reads its
// rows in batches (one statement per batch), and a lookup into the table keeps its last row;
// both are served again only while the table file's version is unchanged: the version moves
// with every commit of another connection and with every write of this one.
#pragma once

#include <QString>
#include <QVariant>
#include <QVector>

namespace db {

struct DataVersion {
    qint64 file = -1;  // the table file's, moved by other connections' commits
    qint64 own = -1;   // this connection's writes (rows changed, commits, rollbacks)
    friend bool operator==(const DataVersion&, const DataVersion&) = default;
};

// Rows read ahead in one direction of the order, after the row `after` stands on.
struct ReadAhead {
    static constexpr int kBatch = 64;
    QVector<QVector<QVariant>> rows;
    QVector<qint64> ids;
    int pos = 0;
    bool forward = true;
    qint64 after = -1;
    DataVersion version;

    // Whether the next row of a step from `id` in that direction is here (valid while
    // `version` holds).
    bool holds(bool towards, qint64 id) const
    {
        return pos < rows.size() && forward == towards && after == id;
    }
    void drop()
    {
        rows.clear();
        ids.clear();
        pos = 0;
    }
    // Hands out the next row kept.
    void take(QVector<QVariant>& row, qint64& id)
    {
        row = rows[pos];
        id = ids[pos];
        ++pos;
        after = id;
    }
};

// The last row a lookup statement found (or that it found none), for the same statement and
// values at the same version.
struct LastLookup {
    QString sql;
    QVector<QVariant> params;
    QVector<QVariant> row;
    bool found = false;
    DataVersion version;

    bool serves(const QString& s, const QVector<QVariant>& ps, const DataVersion& now) const
    {
        return version == now && sql == s && params == ps;
    }
};

}  // namespace db

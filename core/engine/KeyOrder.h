// The order a table is read in and the SQL that walks it: the stored fields of an index with a
// unique tie-break (the rowid, unless the order ends with the autoincrement key), and the
// conditions that pick the rows after or before a key, at or beyond search values, or inside a
// range. Pure: it builds statements' text and parameters and runs none. Empty values sort
// before every other value, as SQLite orders NULL.
#pragma once

#include "core/engine/SqlValue.h"
#include "core/store/StoreSchema.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace db {

// The index a table is read by: the one named `indexName`, else the first whose leading fields
// are the ";"-separated `fields`, else (both empty) the primary key, which may be none. Throws
// EngineError naming the table file when the name or the fields match no index.
const store::IndexSpec* chooseIndex(const store::TableSpec& spec, const QString& indexName,
                                    const QString& fields);

// The lowest text the international order places among the texts equal to `text` when case
// and accents are ignored: every key equal to `text` at that level is not below it, every key
// before it is. A nearest-key search starts there, so "jose" lands on the first of JOSE, José.
QString lowestOfItsLetters(const QString& text);

// Whose SQL the order speaks. The server store (core/pgstore/ServerSchema.h) keeps an Alpha
// field beside its sort key `intl_<field>`: a comparison there is one of the pair (sort key,
// exact text), whose key the engine folds as the server does (store::intlSortKey); empty values
// are NULL and come first as in the file store; its tie-break for a table keyed by its
// Autoincrement field is that field. Parameters stay "?" in the text; the server's statements
// number them in order.
enum class Dialect { File, Server };

struct KeyOrder {
    QStringList cols;   // SQL names, the unique tie-break last
    QStringList names;  // the same fields as the operator knows them ("rowid" for the rowid)
    QVector<int> src;   // column of each in the table's row, -1 for the rowid
    QVector<store::FieldType> types;
    Dialect dialect = Dialect::File;

    // The order of `index` of `spec` (nullptr: the rowid alone).
    static KeyOrder of(const store::TableSpec& spec, const store::IndexSpec* index,
                       Dialect dialect = Dialect::File);

    QString orderBy(bool ascending) const;  // " ORDER BY ..."
    // The key of a row of the table standing on `rowid`.
    QVector<QVariant> keyOf(const QVector<QVariant>& row, qint64 rowid) const;
    // The conditions that together let through the rows after (forward) or before (backward)
    // `key` in the order, each a disjoint part, nearest first: one statement per part, each
    // in the order's direction, gives the rows in order.
    QVector<Sql> armsFrom(const QVector<QVariant>& key, bool forward) const;
    // The key compared with `values` on its leading fields (as many as given): >= when
    // `atLeast`, else <=. Values are brought to their fields' types first; one that does not
    // convert throws EngineError naming the field.
    Sql bound(const QVariantList& values, bool atLeast) const;
    // The leading fields equal to `values` (empty values equal too).
    Sql leadingEqual(const QVariantList& values) const;
    // The keys from `start` to `end` on the leading fields, both inclusive; the same values
    // for both give the keys that begin with them.
    Sql range(const QVariantList& start, const QVariantList& end) const;

private:
    QVector<QVariant> converted(const QVariantList& values) const;
    // The fragments every condition is made of, in the order's dialect: column i compared with
    // `op` ("<" or ">") to a filled value, equal to a value (empty too), empty or not.
    Sql compared(int i, const char* op, const QVariant& v) const;
    Sql same(int i, const QVariant& v) const;
    Sql empty(int i, bool isEmpty) const;
    bool alphaOnServer(int i) const;
};

}  // namespace db

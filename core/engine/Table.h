// A table dataset: one table file of a database, read through an index order with key
// search, range, filter, locate, a master link, lookup fields and editing. The current row is
// kept as its position in the order (its key values and rowid); stepping reads on from there
// with prepared statements, so it never re-reads the table and memory does not grow with the
// number of rows.
#pragma once

#include "core/engine/Dataset.h"

#include <memory>

namespace db {

class Connection;

class Table : public Dataset {
    Q_OBJECT
public:
    explicit Table(QObject* parent = nullptr);
    ~Table() override;

    // The table file ("GRUPO.DB"; the case of the name does not matter).
    void setTableName(const QString& fileName) { tableName_ = fileName; }
    QString tableName() const { return tableName_; }

    // The order: an index by name (empty: the primary key) or a ";"-separated list of fields
    // that some index begins with. Changing it while open keeps the current row current
    // (a pending edit or insert is finished first, as by every move: see Dataset::modified).
    void setIndexName(const QString& name);
    void setIndexFieldNames(const QString& fields);
    QString indexName() const { return indexName_; }
    QStringList orderFields() const;  // key fields of the current order

    // The persistent field list: exactly these fields, in this order (empty: all of the
    // table). Lookup fields are added after it. Set while closed.
    void setFieldList(const QStringList& names) { fieldList_ = names; }
    void addLookupField(const QString& name, int width, const QString& keyField,
                        Dataset* lookupDataset, const QString& lookupKeyField,
                        const QString& resultField);
    void setFieldRequired(const QString& name, bool required);
    void setFieldEditMask(const QString& name, const QString& mask);

    // Key search on the current order, values for its leading fields (empty values: invalid
    // QVariant or, for a number or date field, a blank text). findKey moves to an exact match
    // (texts compared byte for byte) and answers true, or stays and answers false. findNearest
    // moves to the first row whose key is not below the values, or to the last row when every
    // key is below: texts compare there by their letters alone, case and accents ignored, so
    // "jose" lands on the first of JOSE, José, José Carlos and "carlos" on CARLOS; an empty
    // value lands on the first row. A value that does not convert to its field's type throws
    // EngineError naming the field, and the position does not change.
    bool findKey(const QVariantList& values);
    void findNearest(const QVariantList& values);

    // Range on the leading fields of the current order, inclusive; moves to the first row.
    void setRange(const QVariantList& start, const QVariantList& end);
    void cancelRange();
    bool hasRange() const { return !rangeStart_.isEmpty() || !rangeEnd_.isEmpty(); }

    // Filter "FIELD = value" (also <>, <, <=, >, >=; the value a number or a 'text').
    // Switching it on or off, or changing it while on, moves to the first row.
    void setFilter(const QString& expression);
    QString filter() const { return filterText_; }
    void setFiltered(bool on);
    bool filtered() const { return filtered_; }

    // Detail of a master: only the rows whose `detailField` equals the master's `masterField`
    // on its current row, following it row by row.
    void setMasterSource(Dataset* master, const QString& masterField, const QString& detailField);

    // The save-changes request: posted changes written to the table file at once.
    void flushBuffers();

    int recordCount() override;
    int recNo() override;
    void setRecNo(int n) override;
    bool locate(const QString& fields, const QVariantList& values,
                LocateMode mode = LocateMode::Exact) override;
    QVariant lookup(const QString& keyFields, const QVariantList& keyValues,
                    const QString& resultField) override;
    QVector<QVector<QVariant>> rowsAt(int first, int count) override;
    // The rows beside the current one in the current order, for a grid that reads only what
    // it shows: at most `before` rows before it, the current row, at most `after` rows after
    // it, each as rowsAt gives it, without moving; `current` is the current row's place in
    // `rows` (-1 when there is none). Read from the current key, so it does not grow with the
    // row's position.
    struct RowsAround {
        QVector<QVector<QVariant>> rows;
        int current = -1;
    };
    RowsAround rowsAround(int before, int after);
    bool bookmarkValid(const Bookmark& b) override;
    void gotoBookmark(const Bookmark& b) override;

    // The connection the table is open on (nullptr while closed).
    Connection* connection() const { return conn_; }

protected:
    void doOpen() override;
    void doClose() override;
    void doFirst() override;
    void doLast() override;
    bool doNext() override;
    bool doPrior() override;
    void doInsert() override;
    void doPost() override;
    void doDelete() override;

private:
    struct Cursor;
    void refreshFromMaster();
    void reposition();  // after a change of order, range or filter: to the first row
    void positionTo(qint64 rowid);
    void chooseOrder();
    void buildConditions();
    void refreshOrderKeepingRow();
    int rowWidth() const override;
    QString tableName_;
    QString indexName_;
    QString indexFields_;
    QStringList fieldList_;
    struct LookupSpec {
        QString name;
        int width;
        QString keyField;
        Dataset* ds;
        QString lookupKey;
        QString result;
    };
    QVector<LookupSpec> lookups_;
    QHash<QString, bool> requiredOverride_;
    QHash<QString, QString> masks_;
    QVariantList rangeStart_, rangeEnd_;
    QString filterText_;
    bool filtered_ = false;
    Dataset* master_ = nullptr;
    QString masterField_, detailField_;
    QMetaObject::Connection masterConn_;
    Connection* conn_ = nullptr;
    std::unique_ptr<Cursor> cur_;
};

}  // namespace db

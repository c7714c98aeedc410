// The rows of a dataset as the source of a banded report: read a block at a time from the
// first row to the last without moving the dataset (its controls do not follow the report),
// and shown as the dataset's controls show them. A run reads inside one read transaction, so
// its blocks are of one state of the tables; a block that cannot be read throws EngineError.
#pragma once

#include "components/report/ReportDef.h"

#include <QHash>
#include <QVariant>

#include <memory>

namespace db {
class Dataset;
class ReadTransaction;
}

namespace report {

class DatasetSource : public Source {
public:
    explicit DatasetSource(db::Dataset& dataset, int blockRows = 512);
    ~DatasetSource() override;

    void rewind() override;
    bool fetch() override;
    void finish() override;

    // The current row's value of a field, and its display text (dates dd/MM/yyyy, money
    // "1234,50", numbers plain). Throws EngineError for an unknown field.
    QVariant value(const QString& field) const;
    QString display(const QString& field) const;
    // Called at every rewind (a report resets its sums there).
    std::function<void()> onRewind;

private:
    int index(const QString& field) const;
    db::Dataset& ds_;
    int blockRows_;
    int next_ = 0;                  // position of the next block to read
    QVector<QVector<QVariant>> block_;
    int inBlock_ = -1;
    bool ended_ = false;
    std::unique_ptr<db::ReadTransaction> read_;
    mutable QHash<QString, int> indexes_;
};

}  // namespace report

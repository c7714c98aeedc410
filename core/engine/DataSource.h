// A data source: the link through which data-aware controls of a window show a dataset.
#pragma once

#include "core/engine/Dataset.h"

#include <QObject>
#include <QPointer>

namespace db {

class DataSource : public QObject {
    Q_OBJECT
public:
    explicit DataSource(Dataset* ds = nullptr, QObject* parent = nullptr)
        : QObject(parent), ds_(ds) {}
    Dataset* dataset() const { return ds_; }
    void setDataset(Dataset* ds) { ds_ = ds; }

private:
    QPointer<Dataset> ds_;
};

}  // namespace db

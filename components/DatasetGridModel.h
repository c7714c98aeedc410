// A table model over a dataset: the columns a grid shows, read a block of rows at a time
// without moving the dataset, refreshed when the dataset changes.
#pragma once

#include "core/engine/DataSource.h"

#include <QAbstractTableModel>
#include <QPointer>

namespace components {

struct GridColumn {
    QString field;
    QString title;
    int width = 64;  // pixels
};

class DatasetGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DatasetGridModel(QObject* parent = nullptr);

    void setDataSource(db::DataSource* source);
    db::Dataset* dataset() const { return source_ ? source_->dataset() : nullptr; }
    // The columns; empty: one per field of the dataset, titled with its name.
    void setColumns(const QList<GridColumn>& columns);
    const QList<GridColumn>& columns() const { return columns_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation o, int role = Qt::DisplayRole) const override;

    // The dataset's current row as a model row (-1 when none).
    int currentRow() const;

public Q_SLOTS:
    void reload();

private:
    QList<GridColumn> effectiveColumns() const;
    QPointer<db::DataSource> source_;
    QList<GridColumn> columns_;
    QList<QMetaObject::Connection> links_;
    int rows_ = 0;
    mutable int blockStart_ = -1;
    mutable QVector<QVector<QVariant>> block_;
};

}  // namespace components

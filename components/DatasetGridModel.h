// A table model over a dataset: the columns a grid shows, read without moving the dataset and
// refreshed when the dataset changes. Rows on screen around the current row of a table are read
// from its current key (a screenful, whatever the row's position); rows elsewhere a block at a
// time by position. A windowed model holds only the rows around the current row: it never counts
// positions, so moving by key costs the same wherever the row is.
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

    // The dataset's current row as a model row (-1 when none); kept until the dataset moves.
    int currentRow() const;
    // How many rows the grid shows at once: what is read on each side of the current row.
    void setWindowRows(int rows);
    // Windowed: the model's rows are the current row of a table and as many rows on each side
    // as the grid shows, read again at every move. Set before the data source.
    void setWindowed(bool on) { windowed_ = on; }
    bool windowed() const { return windowed_; }

public Q_SLOTS:
    void reload();

private:
    QList<GridColumn> effectiveColumns() const;
    void currentMoved();
    const QVector<QVariant>* rowNearCurrent(int row) const;
    QPointer<db::DataSource> source_;
    QList<GridColumn> columns_;
    QList<QMetaObject::Connection> links_;
    int rows_ = 0;
    mutable int blockStart_ = -1;
    mutable QVector<QVector<QVariant>> block_;
    int windowRows_ = 32;
    mutable int current_ = -2;  // -2: not known yet
    mutable int aroundFirst_ = -1;
    mutable QVector<QVector<QVariant>> around_;
    bool windowed_ = false;
};

}  // namespace components

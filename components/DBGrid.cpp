#include "components/DBGrid.h"

#include "components/DesignScale.h"
#include "core/engine/EngineError.h"

#include <QHeaderView>

#include <algorithm>

namespace components {

DBGrid::DBGrid(QWidget* parent) : QTableView(parent), model_(new DatasetGridModel(this))
{
    setModel(model_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->setDefaultSectionSize(18);
    verticalHeader()->setFixedWidth(12);
    // A reset rebuilds the header's sections: the columns get their widths back first.
    connect(model_, &QAbstractItemModel::modelReset, this, &DBGrid::applyWidths);
    connect(model_, &QAbstractItemModel::modelReset, this, &DBGrid::followDataset);
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        db::Dataset* ds = model_->dataset();
        if (!ds || !ds->active() || moving_) return;
        moving_ = true;
        bool suspended = false;
        try {
            if (model_->windowed()) {
                // Steps from the current row, signalled once at the end.
                const int delta = index.row() - model_->currentRow();
                ds->disableControls();
                suspended = true;
                for (int i = 0; i < delta; ++i) ds->next();
                for (int i = 0; i > delta; --i) ds->prior();
            } else {
                ds->setRecNo(index.row() + 1);
            }
        } catch (const db::EngineError&) {
        }
        if (suspended) ds->enableControls();
        moving_ = false;
        if (suspended) followDataset();
    });
}

void DBGrid::setDataSource(db::DataSource* source)
{
    disconnect(current_);
    model_->setDataSource(source);
    if (db::Dataset* ds = model_->dataset())
        current_ = connect(ds, &db::Dataset::currentChanged, this, &DBGrid::followDataset);
    followDataset();
}

void DBGrid::setColumns(const QList<GridColumn>& columns)
{
    model_->setColumns(columns);
    applyWidths();
}

void DBGrid::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    const int rowHeight = std::max(1, verticalHeader()->defaultSectionSize());
    model_->setWindowRows(viewport()->height() / rowHeight + 2);
}

// The columns' widths are design pixels (DesignScale); a column is never narrower than its
// title.
void DBGrid::applyWidths()
{
    const DesignScale k = designScale(font());
    verticalHeader()->setDefaultSectionSize(k.h(18));
    const QList<GridColumn>& columns = model_->columns();
    for (int i = 0; i < columns.size(); ++i)
        setColumnWidth(i, std::max(k.w(columns[i].width), horizontalHeader()->sectionSizeHint(i)));
}

void DBGrid::followDataset()
{
    if (moving_) return;
    const int row = model_->currentRow();
    if (row < 0) {
        clearSelection();
        return;
    }
    selectRow(row);
    if (model_->windowed()) scrollTo(model_->index(row, 0), QAbstractItemView::PositionAtCenter);
}

}  // namespace components

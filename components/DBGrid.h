// A read-only data grid: a table view over a DatasetGridModel that selects whole rows, keeps
// the selection on the dataset's current row and makes the clicked row current.
#pragma once

#include "components/DatasetGridModel.h"

#include <QTableView>

namespace components {

class DBGrid : public QTableView {
    Q_OBJECT
public:
    explicit DBGrid(QWidget* parent = nullptr);

    void setDataSource(db::DataSource* source);
    void setColumns(const QList<GridColumn>& columns);
    DatasetGridModel* gridModel() const { return model_; }
    // Shows only the rows around the current one (DatasetGridModel::setWindowed): for large
    // tables searched by key. Clicking a row moves the dataset there step by step. Set before
    // the data source.
    void setWindowed(bool on) { model_->setWindowed(on); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void followDataset();
    void applyWidths();
    DatasetGridModel* model_;
    QMetaObject::Connection current_;
    bool moving_ = false;
};

}  // namespace components

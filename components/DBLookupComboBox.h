// A data-aware lookup drop-down: lists a field of one dataset (the list source) and stores the
// chosen row's key into a field of another (the data source). Choosing a row in a browsed row
// starts editing it, or a new row when the dataset is empty. Not editable as text.
#pragma once

#include "components/LookupListModel.h"

#include <QComboBox>

namespace components {

class DBLookupComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit DBLookupComboBox(QWidget* parent = nullptr);

    void setDataSource(db::DataSource* source, const QString& dataField);
    void setListSource(db::DataSource* source, const QString& listField, const QString& keyField);
    LookupListModel* listModel() const { return list_; }
    db::Dataset* dataset() const { return source_ ? source_->dataset() : nullptr; }

    // Chooses list row `row` as the operator would (the key stored into the data field).
    void choose(int row);

private:
    void refresh();
    QPointer<db::DataSource> source_;
    QString dataField_;
    LookupListModel* list_;
    QList<QMetaObject::Connection> links_;
    bool writing_ = false;
};

}  // namespace components

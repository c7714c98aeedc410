#include "components/DBLookupComboBox.h"

#include "core/Dialogs.h"
#include "core/engine/EngineError.h"

namespace components {

DBLookupComboBox::DBLookupComboBox(QWidget* parent)
    : QComboBox(parent), list_(new LookupListModel(this))
{
    setModel(list_);
    setEditable(false);
    connect(this, &QComboBox::activated, this, &DBLookupComboBox::choose);
    connect(list_, &QAbstractItemModel::modelReset, this, &DBLookupComboBox::refresh);
}

void DBLookupComboBox::setDataSource(db::DataSource* source, const QString& dataField)
{
    for (const auto& c : links_) disconnect(c);
    links_.clear();
    source_ = source;
    dataField_ = dataField;
    if (db::Dataset* ds = dataset()) {
        links_ << connect(ds, &db::Dataset::activeChanged, this, &DBLookupComboBox::refresh)
               << connect(ds, &db::Dataset::stateChanged, this, &DBLookupComboBox::refresh)
               << connect(ds, &db::Dataset::currentChanged, this, &DBLookupComboBox::refresh)
               << connect(ds, &db::Dataset::dataChanged, this, &DBLookupComboBox::refresh)
               << connect(ds, &db::Dataset::fieldChanged, this, [this](const QString& name) {
                      if (name.compare(dataField_, Qt::CaseInsensitive) == 0) refresh();
                  });
    }
    refresh();
}

void DBLookupComboBox::setListSource(db::DataSource* source, const QString& listField,
                                     const QString& keyField)
{
    list_->setListSource(source, listField, keyField);
}

void DBLookupComboBox::refresh()
{
    if (writing_) return;
    db::Dataset* ds = dataset();
    QVariant key;
    if (ds && ds->active()) {
        try {
            key = ds->fieldByName(dataField_).value();
        } catch (const db::EngineError&) {
        }
    }
    setEnabled(ds && ds->active());
    setCurrentIndex(list_->rowOfKey(key));
}

void DBLookupComboBox::choose(int row)
{
    db::Dataset* ds = dataset();
    if (!ds || !ds->active() || row < 0 || row >= list_->rowCount()) return;
    writing_ = true;
    try {
        if (ds->state() == db::DatasetState::Browse) ds->edit();
        ds->fieldByName(dataField_).setValue(list_->keyAt(row));
    } catch (const db::EngineError& e) {
        dialogs::current().message(dialogs::Kind::Error, e.message());
    }
    writing_ = false;
    refresh();
}

}  // namespace components

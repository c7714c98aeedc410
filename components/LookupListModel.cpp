#include "components/LookupListModel.h"

#include "core/engine/EngineError.h"

namespace components {

namespace {

bool sameKey(const QVariant& a, const QVariant& b)
{
    if (!a.isValid() || a.isNull() || !b.isValid() || b.isNull()) return false;
    bool okA = false, okB = false;
    const double x = a.toDouble(&okA), y = b.toDouble(&okB);
    if (okA && okB) return x == y;
    return a.toString() == b.toString();
}

}  // namespace

LookupListModel::LookupListModel(QObject* parent) : QAbstractListModel(parent) {}

void LookupListModel::setListSource(db::DataSource* source, const QString& listField,
                                    const QString& keyField)
{
    for (const auto& c : links_) disconnect(c);
    links_.clear();
    source_ = source;
    listField_ = listField;
    keyField_ = keyField;
    if (db::Dataset* ds = dataset()) {
        links_ << connect(ds, &db::Dataset::activeChanged, this, &LookupListModel::reload)
               << connect(ds, &db::Dataset::dataChanged, this, &LookupListModel::reload);
    }
    reload();
}

void LookupListModel::reload()
{
    beginResetModel();
    texts_.clear();
    keys_.clear();
    db::Dataset* ds = dataset();
    if (ds && ds->active()) {
        try {
            const int list = ds->fieldIndex(listField_);
            const int key = ds->fieldIndex(keyField_);
            if (list >= 0 && key >= 0) {
                for (const auto& row : ds->rowsAt(0, ds->recordCount())) {
                    texts_ << db::displayOf(ds->fieldDef(list), row.value(list));
                    keys_ << row.value(key);
                }
            }
        } catch (const db::EngineError&) {
            texts_.clear();
            keys_.clear();
        }
    }
    endResetModel();
}

int LookupListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(texts_.size());
}

QVariant LookupListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= texts_.size()) return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole) return texts_[index.row()];
    if (role == Qt::UserRole) return keys_[index.row()];
    return {};
}

int LookupListModel::rowOfKey(const QVariant& key) const
{
    for (int i = 0; i < keys_.size(); ++i)
        if (sameKey(keys_[i], key)) return i;
    return -1;
}

}  // namespace components

// The rows of a lookup list: one dataset's list field shown, its key field handed back
// (Qt::UserRole). Read whole when the dataset opens or changes; lookup lists are short (the
// groups).
#pragma once

#include "core/engine/DataSource.h"

#include <QAbstractListModel>
#include <QPointer>

namespace components {

class LookupListModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit LookupListModel(QObject* parent = nullptr);

    void setListSource(db::DataSource* source, const QString& listField, const QString& keyField);
    db::Dataset* dataset() const { return source_ ? source_->dataset() : nullptr; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // The row whose key equals `key` (numbers compared as numbers), or -1.
    int rowOfKey(const QVariant& key) const;
    QVariant keyAt(int row) const { return keys_.value(row); }

public Q_SLOTS:
    void reload();

private:
    QPointer<db::DataSource> source_;
    QString listField_, keyField_;
    QList<QMetaObject::Connection> links_;
    QStringList texts_;
    QVariantList keys_;
};

}  // namespace components

#include "components/DatasetGridModel.h"

#include "core/engine/EngineError.h"
#include "core/engine/Table.h"

namespace components {

namespace {
constexpr int kBlock = 200;
}

DatasetGridModel::DatasetGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void DatasetGridModel::setDataSource(db::DataSource* source)
{
    for (const auto& c : links_) disconnect(c);
    links_.clear();
    source_ = source;
    if (db::Dataset* ds = dataset()) {
        links_ << connect(ds, &db::Dataset::currentChanged, this, &DatasetGridModel::currentMoved)
               << connect(ds, &db::Dataset::dataChanged, this, &DatasetGridModel::reload)
               << connect(ds, &db::Dataset::activeChanged, this, &DatasetGridModel::reload);
    }
    reload();
}

void DatasetGridModel::setColumns(const QList<GridColumn>& columns)
{
    beginResetModel();
    columns_ = columns;
    endResetModel();
}

QList<GridColumn> DatasetGridModel::effectiveColumns() const
{
    if (!columns_.isEmpty()) return columns_;
    QList<GridColumn> all;
    if (db::Dataset* ds = dataset())
        for (const QString& n : ds->fieldNames()) all << GridColumn{n, n, 64};
    return all;
}

void DatasetGridModel::setWindowRows(int rows)
{
    rows = std::max(1, rows);
    if (rows == windowRows_) return;
    windowRows_ = rows;
    if (windowed_) reload();
}

void DatasetGridModel::reload()
{
    beginResetModel();
    db::Dataset* ds = dataset();
    if (windowed_) {
        auto* table = qobject_cast<db::Table*>(ds);
        db::Table::RowsAround r;
        try {
            if (table && table->active()) r = table->rowsAround(windowRows_, windowRows_);
        } catch (const db::EngineError&) {
            r = {};
        }
        around_ = std::move(r.rows);
        aroundFirst_ = 0;
        current_ = r.current;
        rows_ = int(around_.size());
        endResetModel();
        return;
    }
    try {
        rows_ = ds && ds->active() ? ds->recordCount() : 0;
    } catch (const db::EngineError&) {
        rows_ = 0;
    }
    blockStart_ = -1;
    block_.clear();
    current_ = -2;
    aroundFirst_ = -1;
    around_.clear();
    endResetModel();
}

void DatasetGridModel::currentMoved()
{
    if (windowed_) {
        reload();
        return;
    }
    current_ = -2;
    aroundFirst_ = -1;
    around_.clear();
}

const QVector<QVariant>* DatasetGridModel::rowNearCurrent(int row) const
{
    auto* table = qobject_cast<db::Table*>(dataset());
    if (!table) return nullptr;
    if (aroundFirst_ < 0) {
        const int cur = currentRow();
        if (cur < 0 || std::abs(row - cur) > windowRows_) return nullptr;
        try {
            db::Table::RowsAround r = table->rowsAround(windowRows_, windowRows_);
            if (r.current < 0) return nullptr;
            around_ = std::move(r.rows);
            aroundFirst_ = cur - r.current;
        } catch (const db::EngineError&) {
            return nullptr;
        }
    }
    const int i = row - aroundFirst_;
    return i >= 0 && i < around_.size() ? &around_[i] : nullptr;
}

int DatasetGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_;
}

int DatasetGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(effectiveColumns().size());
}

QVariant DatasetGridModel::data(const QModelIndex& index, int role) const
{
    if ((role != Qt::DisplayRole && role != Qt::TextAlignmentRole) || !index.isValid()) return {};
    db::Dataset* ds = dataset();
    if (!ds || !ds->active()) return {};
    const int row = index.row();
    const QList<GridColumn> cols = effectiveColumns();
    const int f = ds->fieldIndex(cols.value(index.column()).field);
    if (f < 0) return {};
    if (role == Qt::TextAlignmentRole) {
        // Amounts line up on their decimal comma.
        if (ds->fieldDef(f).type != store::FieldType::Money) return {};
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    }
    if (windowed_) return row < around_.size() ? db::displayOf(ds->fieldDef(f), around_[row].value(f))
                                               : QVariant();
    if (const QVector<QVariant>* near = rowNearCurrent(row))
        return db::displayOf(ds->fieldDef(f), near->value(f));
    if (blockStart_ < 0 || row < blockStart_ || row >= blockStart_ + block_.size()) {
        blockStart_ = row - row % kBlock;
        try {
            block_ = ds->rowsAt(blockStart_, kBlock);
        } catch (const db::EngineError&) {
            block_.clear();
        }
    }
    const int r = row - blockStart_;
    if (r < 0 || r >= block_.size()) return {};
    return db::displayOf(ds->fieldDef(f), block_[r].value(f));
}

QVariant DatasetGridModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (role != Qt::DisplayRole) return {};
    if (o == Qt::Vertical) return {};
    return effectiveColumns().value(section).title;
}

int DatasetGridModel::currentRow() const
{
    db::Dataset* ds = dataset();
    if (!ds || !ds->active() || ds->isEmpty()) return -1;
    if (windowed_) return current_;
    if (current_ == -2) current_ = ds->recNo() - 1;
    return current_;
}

}  // namespace components

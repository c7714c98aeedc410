#include "components/report/DatasetSource.h"

#include "core/engine/Connection.h"
#include "core/engine/Database.h"
#include "core/engine/Dataset.h"
#include "core/engine/EngineError.h"

namespace report {

DatasetSource::DatasetSource(db::Dataset& dataset, int blockRows)
    : ds_(dataset), blockRows_(std::max(1, blockRows))
{
}

DatasetSource::~DatasetSource() = default;

void DatasetSource::rewind()
{
    read_.reset();
    next_ = 0;
    block_.clear();
    inBlock_ = -1;
    indexes_.clear();  // the dataset may have been reopened with other fields
    ended_ = !ds_.active();
    if (!ended_)
        read_ = std::make_unique<db::ReadTransaction>(
            db::Session::instance().connectionFor(ds_.databaseName()));
    if (onRewind) onRewind();
}

void DatasetSource::finish() { read_.reset(); }

bool DatasetSource::fetch()
{
    if (ended_) return false;
    if (++inBlock_ >= block_.size()) {
        block_ = ds_.rowsAt(next_, blockRows_);
        next_ += int(block_.size());
        inBlock_ = 0;
        if (block_.isEmpty()) {
            ended_ = true;
            read_.reset();
            return false;
        }
    }
    return true;
}

int DatasetSource::index(const QString& field) const
{
    auto it = indexes_.constFind(field);
    if (it != indexes_.constEnd()) return it.value();
    const int i = ds_.fieldIndex(field);
    if (i < 0) throw db::EngineError(QString("Field '%1' not found").arg(field));
    indexes_.insert(field, i);
    return i;
}

QVariant DatasetSource::value(const QString& field) const
{
    if (inBlock_ < 0 || inBlock_ >= block_.size()) return {};
    return block_[inBlock_].value(index(field));
}

QString DatasetSource::display(const QString& field) const
{
    return db::displayOf(ds_.fieldDef(index(field)), value(field));
}

}  // namespace report

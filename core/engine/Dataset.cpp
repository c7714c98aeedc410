#include "core/engine/Dataset.h"

#include "core/engine/EditMask.h"
#include "core/engine/EngineError.h"
#include "core/engine/FieldValue.h"

#include <atomic>

namespace db {

namespace {

std::atomic<quint64> g_epoch{0};

// Every dataset alive, for closeAll (datasets live on the user-interface thread).
QList<Dataset*>& allDatasets()
{
    static QList<Dataset*> list;
    return list;
}

bool isEmptyValue(const QVariant& v)
{
    return !v.isValid() || v.isNull()
           || (v.typeId() == QMetaType::QString && v.toString().trimmed().isEmpty());
}

}  // namespace

Dataset::Dataset(QObject* parent) : QObject(parent) { allDatasets().append(this); }

Dataset::~Dataset()
{
    allDatasets().removeOne(this);
    qDeleteAll(fieldObjects_);
}

void Dataset::open()
{
    if (active()) return;
    lookupCache_.clear();
    doOpen();
    epoch_ = ++g_epoch;
    qDeleteAll(fieldObjects_);
    fieldObjects_.clear();
    fieldObjects_.resize(fields_.size());
    state_ = DatasetState::Browse;
    bof_ = true;
    eof_ = !hasCurrent_;
    if (!controlsDisabled()) {
        emit activeChanged(true);
        emit stateChanged(state_);
        emit dataChanged();
        emit currentChanged();
    }
    if (afterScroll) afterScroll(*this);
}

void Dataset::closeAll()
{
    const QList<Dataset*> datasets = allDatasets();
    for (Dataset* d : datasets)
        if (allDatasets().contains(d)) d->close();
}

void Dataset::close()
{
    if (!active()) return;
    if (state_ == DatasetState::Insert) doCancelInsert();
    doClose();
    state_ = DatasetState::Inactive;
    hasCurrent_ = false;
    currentId_ = -1;
    row_.clear();
    edit_.clear();
    inputErrors_.clear();
    lookupCache_.clear();
    bof_ = eof_ = true;
    if (!controlsDisabled()) {
        emit stateChanged(state_);
        emit activeChanged(false);
    }
}

void Dataset::checkActive() const
{
    if (!active()) throw EngineError(QString("Cannot perform this operation on a closed dataset"));
}

void Dataset::checkBrowse()
{
    checkActive();
    if (state_ != DatasetState::Edit && state_ != DatasetState::Insert) return;
    emit updateRecord();
    if (modified_) post();
    else cancel();
}

void Dataset::first()
{
    checkBrowse();
    doFirst();
    bof_ = true;
    eof_ = !hasCurrent_;
    notifyScrolled();
}

void Dataset::last()
{
    checkBrowse();
    doLast();
    eof_ = true;
    bof_ = !hasCurrent_;
    notifyScrolled();
}

void Dataset::next()
{
    checkBrowse();
    if (hasCurrent_ && doNext()) {
        bof_ = eof_ = false;
        notifyScrolled();
    } else {
        eof_ = true;
    }
}

void Dataset::prior()
{
    checkBrowse();
    if (hasCurrent_ && doPrior()) {
        bof_ = eof_ = false;
        notifyScrolled();
    } else {
        bof_ = true;
    }
}

Field Dataset::fieldByName(const QString& name)
{
    const int i = fieldIndex(name);
    if (i < 0) throw EngineError(QString("Field '%1' not found").arg(name));
    return Field(this, i);
}

Field* Dataset::findField(const QString& name)
{
    const int i = fieldIndex(name);
    if (i < 0) return nullptr;
    if (fieldObjects_.size() < fields_.size()) fieldObjects_.resize(fields_.size());
    if (!fieldObjects_[i]) fieldObjects_[i] = new Field(this, i);
    return fieldObjects_[i];
}

int Dataset::fieldIndex(const QString& name) const
{
    for (int i = 0; i < fields_.size(); ++i)
        if (fields_[i].name.compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

QStringList Dataset::fieldNames() const
{
    QStringList names;
    for (const FieldDef& f : fields_) names << f.name;
    return names;
}

Bookmark Dataset::bookmark() const
{
    if (!active() || !hasCurrent_) return {};
    return Bookmark{currentId_, epoch_};
}

void Dataset::insert()
{
    checkBrowse();
    doInsert();
    edit_ = QVector<QVariant>(rowWidth());
    inputErrors_.clear();
    lookupCache_.clear();
    state_ = DatasetState::Insert;
    if (onNewRecord) onNewRecord(*this);
    modified_ = false;
    if (!controlsDisabled()) {
        emit stateChanged(state_);
        emit currentChanged();
    }
}

void Dataset::edit()
{
    checkActive();
    if (state_ == DatasetState::Edit || state_ == DatasetState::Insert) return;
    if (!hasCurrent_) {
        insert();
        return;
    }
    edit_ = row_;
    inputErrors_.clear();
    modified_ = false;
    state_ = DatasetState::Edit;
    if (!controlsDisabled()) emit stateChanged(state_);
}

void Dataset::post()
{
    checkActive();
    if (state_ != DatasetState::Edit && state_ != DatasetState::Insert) return;
    emit updateRecord();
    validateForPost();
    if (beforePost) beforePost(*this);
    doPost();
    state_ = DatasetState::Browse;
    modified_ = false;
    edit_.clear();
    inputErrors_.clear();
    lookupCache_.clear();
    if (!controlsDisabled()) {
        emit stateChanged(state_);
        emit dataChanged();
        emit currentChanged();
    }
    if (afterPost) afterPost(*this);
}

void Dataset::cancel()
{
    if (state_ != DatasetState::Edit && state_ != DatasetState::Insert) return;
    if (state_ == DatasetState::Insert) doCancelInsert();
    state_ = DatasetState::Browse;
    modified_ = false;
    edit_.clear();
    inputErrors_.clear();
    lookupCache_.clear();
    if (!controlsDisabled()) {
        emit stateChanged(state_);
        emit currentChanged();
    }
}

void Dataset::deleteRecord()
{
    checkActive();
    if (state_ == DatasetState::Insert) {
        cancel();
        return;
    }
    if (state_ == DatasetState::Edit) cancel();
    if (!hasCurrent_) throw EngineError("Cannot perform this operation on an empty dataset");
    doDelete();
    lookupCache_.clear();
    if (!hasCurrent_) bof_ = eof_ = true;
    if (!controlsDisabled()) {
        emit dataChanged();
        emit currentChanged();
    }
    if (afterDelete) afterDelete(*this);
    if (afterScroll) afterScroll(*this);
}

void Dataset::disableControls() { ++disabled_; }

void Dataset::enableControls()
{
    if (disabled_ == 0) return;
    if (--disabled_ == 0) {
        emit stateChanged(state_);
        emit dataChanged();
        emit currentChanged();
    }
}

QVariant Dataset::rawValue(int fieldIndex)
{
    const FieldDef& f = fields_.at(fieldIndex);
    const bool editing = state_ == DatasetState::Edit || state_ == DatasetState::Insert;
    const QVector<QVariant>& buf = editing ? edit_ : row_;
    if (!editing && !hasCurrent_) return {};
    if (f.kind == FieldKind::Lookup) {
        auto it = lookupCache_.constFind(fieldIndex);
        if (it != lookupCache_.constEnd()) return it.value();
        QVariant v = valueIn(f, buf);
        lookupCache_.insert(fieldIndex, v);
        return v;
    }
    return f.column >= 0 && f.column < buf.size() ? buf.at(f.column) : QVariant();
}

void Dataset::setRawValue(int fieldIndex, const QVariant& v)
{
    checkActive();
    const FieldDef& f = fields_.at(fieldIndex);
    if (state_ != DatasetState::Edit && state_ != DatasetState::Insert)
        throw EngineError("Dataset not in edit or insert mode");
    if (f.readOnly || f.kind != FieldKind::Data)
        throw EngineError(QString("Field '%1' cannot be modified").arg(f.name));
    edit_[f.column] = v;
    inputErrors_.remove(f.name.toLower());
    modified_ = true;
    lookupCache_.clear();
    if (!controlsDisabled()) emit fieldChanged(f.name);
}

QVariant Dataset::valueIn(const FieldDef& f, const QVector<QVariant>& row)
{
    if (f.kind == FieldKind::Data) return f.column >= 0 && f.column < row.size() ? row[f.column] : QVariant();
    if (f.kind != FieldKind::Lookup || !f.lookupDataset) return {};
    const int key = fieldIndex(f.keyField);
    if (key < 0) return {};
    const QVariant k = valueIn(fields_[key], row);
    if (!k.isValid() || k.isNull()) return {};
    return fitToField(f.lookupDataset->lookup(f.lookupKeyField, {k}, f.resultField),
                      store::FieldType::Alpha, f.width, f.name);
}

void Dataset::setInputError(const QString& field, const QString& message)
{
    if (state_ != DatasetState::Edit && state_ != DatasetState::Insert) return;
    inputErrors_.insert(field.toLower(), message);
    modified_ = true;
}

void Dataset::validateForPost()
{
    if (!inputErrors_.isEmpty()) throw EngineError(inputErrors_.cbegin().value());
    for (const FieldDef& f : fields_) {
        if (f.kind != FieldKind::Data || f.readOnly) continue;
        const QVariant v = edit_.value(f.column);
        if (f.required && isEmptyValue(v))
            throw requiredField(f.name);
        if (!f.editMask.isEmpty() && !isEmptyValue(v) && !EditMask(f.editMask).fits(v.toString()))
            throw EngineError("Invalid input value.  Use escape key to abandon changes");
    }
}

void Dataset::readOnlyError() const
{
    throw EngineError("Cannot modify a read-only dataset");
}

void Dataset::setState(DatasetState s)
{
    if (state_ == s) return;
    state_ = s;
    if (!controlsDisabled()) emit stateChanged(s);
}

void Dataset::setCurrent(const QVector<QVariant>& row, qint64 id)
{
    row_ = row;
    currentId_ = id;
    hasCurrent_ = true;
    lookupCache_.clear();
}

void Dataset::clearCurrent()
{
    row_.clear();
    currentId_ = -1;
    hasCurrent_ = false;
    lookupCache_.clear();
}

void Dataset::notifyScrolled()
{
    lookupCache_.clear();
    if (!controlsDisabled()) emit currentChanged();
    if (afterScroll) afterScroll(*this);
}

void Dataset::notifyData()
{
    lookupCache_.clear();
    if (!controlsDisabled()) emit dataChanged();
}

}  // namespace db

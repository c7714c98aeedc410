#include "core/engine/Table.h"

#include "core/engine/Connection.h"
#include "core/engine/Database.h"
#include "core/engine/EngineError.h"
#include "core/engine/FilterExpr.h"
#include "core/engine/TableCursor.h"

namespace db {

using store::FieldType;

Table::Table(QObject* parent) : Dataset(parent)
{
    setDatabaseName("Tolmare");
}

Table::~Table()
{
    QObject::disconnect(masterConn_);
    close();
}

int Table::rowWidth() const { return cur_ ? cur_->colCount() : 0; }

void Table::setIndexName(const QString& name)
{
    if (active()) checkBrowse();
    indexName_ = name;
    indexFields_.clear();
    if (active()) {
        rangeStart_.clear();
        rangeEnd_.clear();
        refreshOrderKeepingRow();
    }
}

void Table::setIndexFieldNames(const QString& fields)
{
    if (active()) checkBrowse();
    indexFields_ = fields;
    indexName_.clear();
    if (active()) {
        rangeStart_.clear();
        rangeEnd_.clear();
        refreshOrderKeepingRow();
    }
}

QStringList Table::orderFields() const
{
    QStringList out;
    if (!cur_ || !cur_->index) return out;
    for (int f : cur_->index->fields) out << cur_->name(f - 1);
    return out;
}

void Table::addLookupField(const QString& name, int width, const QString& keyField,
                           Dataset* lookupDataset, const QString& lookupKeyField,
                           const QString& resultField)
{
    lookups_.append({name, width, keyField, lookupDataset, lookupKeyField, resultField});
}

void Table::setFieldRequired(const QString& name, bool required)
{
    requiredOverride_.insert(name.toUpper(), required);
    for (FieldDef& f : fields_)
        if (f.name.compare(name, Qt::CaseInsensitive) == 0) f.required = required;
}

void Table::setFieldEditMask(const QString& name, const QString& mask)
{
    masks_.insert(name.toUpper(), mask);
    for (FieldDef& f : fields_)
        if (f.name.compare(name, Qt::CaseInsensitive) == 0) f.editMask = mask;
}

void Table::chooseOrder()
{
    Cursor& c = *cur_;
    c.index = chooseIndex(c.spec, indexName_, indexFields_);
    c.order = KeyOrder::of(c.spec, c.index);
}

void Table::buildConditions()
{
    Cursor& c = *cur_;
    c.base = c.order.range(rangeStart_, rangeEnd_);
    if (filtered_ && !filterText_.trimmed().isEmpty()) {
        const std::optional<FilterExpr> e = parseFilter(filterText_);
        if (!e) throw EngineError("Invalid filter expression: " + filterText_);
        const int f = c.requireField(e->field);
        c.base.add(Sql{c.col(f) + " " + e->op + " ?",
                       {normalized(e->value, c.typeOf(f), c.name(f))}});
    }
    if (master_) {
        QVariant v;
        if (master_->active() && (!master_->isEmpty() || master_->state() == DatasetState::Insert))
            v = master_->fieldByName(masterField_).value();
        const int f = c.requireField(detailField_);
        if (!v.isValid() || v.isNull()) c.base.add(Sql{"0", {}});
        else c.base.add(Sql{c.col(f) + " = ?", {normalized(v, c.typeOf(f), detailField_)}});
    }
    c.ahead.drop();
}

void Table::doOpen()
{
    if (tableName_.isEmpty()) throw EngineError("No table name given");
    conn_ = &Session::instance().connectionFor(databaseName_);
    const QString schema = conn_->attach(tableName_);
    cur_ = std::make_unique<Cursor>(*conn_, schema);
    Cursor& c = *cur_;

    fields_.clear();
    auto addField = [&](int i) {
        const store::FieldSpec& s = c.spec.fields[size_t(i)];
        FieldDef d;
        d.name = QString::fromStdString(s.name);
        d.type = s.type;
        d.width = s.width;
        d.required = requiredOverride_.value(d.name.toUpper(), s.required);
        d.readOnly = s.type == FieldType::Autoincrement;
        d.editMask = masks_.value(d.name.toUpper());
        d.column = i;
        fields_ << d;
    };
    try {
        auto lookupNamed = [&](const QString& name) -> const LookupSpec* {
            for (const LookupSpec& l : lookups_)
                if (l.name.compare(name, Qt::CaseInsensitive) == 0) return &l;
            return nullptr;
        };
        auto addLookup = [&](const LookupSpec& l) {
            FieldDef d;
            d.name = l.name;
            d.type = FieldType::Alpha;
            d.width = l.width;
            d.readOnly = true;
            d.kind = FieldKind::Lookup;
            d.keyField = l.keyField;
            d.lookupDataset = l.ds;
            d.lookupKeyField = l.lookupKey;
            d.resultField = l.result;
            fields_ << d;
        };
        // Lookup fields take their place in the field list when it names them; the others
        // follow the data fields.
        if (fieldList_.isEmpty()) {
            for (int i = 0; i < c.colCount(); ++i) addField(i);
        } else {
            for (const QString& name : fieldList_) {
                if (const LookupSpec* l = lookupNamed(name)) addLookup(*l);
                else addField(c.requireField(name));
            }
        }
        for (const LookupSpec& l : lookups_)
            if (fieldIndex(l.name) < 0) addLookup(l);
        chooseOrder();
        buildConditions();
        doFirst();
    } catch (...) {
        fields_.clear();
        cur_.reset();
        conn_ = nullptr;
        throw;
    }
}

void Table::doClose()
{
    cur_.reset();
    conn_ = nullptr;
}

void Table::refreshOrderKeepingRow()
{
    chooseOrder();
    buildConditions();
    if (hasCurrent_) positionTo(currentId_);
    notifyData();
    notifyScrolled();
}

void Table::reposition()
{
    buildConditions();
    doFirst();
    bof_ = true;
    eof_ = !hasCurrent_;
    notifyData();
    notifyScrolled();
}

void Table::setRange(const QVariantList& start, const QVariantList& end)
{
    if (active()) checkBrowse();
    rangeStart_ = start;
    rangeEnd_ = end;
    if (active()) reposition();
}

void Table::cancelRange()
{
    if (!hasRange()) return;
    if (active()) checkBrowse();
    rangeStart_.clear();
    rangeEnd_.clear();
    if (active()) reposition();
}

void Table::setFilter(const QString& expression)
{
    if (active()) checkBrowse();
    filterText_ = expression;
    if (active() && filtered_) reposition();
}

void Table::setFiltered(bool on)
{
    if (active()) checkBrowse();
    filtered_ = on;
    if (active()) reposition();
}

void Table::setMasterSource(Dataset* master, const QString& masterField,
                            const QString& detailField)
{
    QObject::disconnect(masterConn_);
    master_ = master;
    masterField_ = masterField;
    detailField_ = detailField;
    if (master_) {
        masterConn_ = connect(master_, &Dataset::currentChanged, this, &Table::refreshFromMaster);
    }
    if (active()) reposition();
}

void Table::refreshFromMaster()
{
    if (!active() || state_ != DatasetState::Browse) return;
    reposition();
}

void Table::flushBuffers()
{
    // Every post is committed to the table file before it returns (rollback journal,
    // synchronous=FULL); inside a bulk transaction the commit writes them.
}

}  // namespace db

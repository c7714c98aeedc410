#include "core/engine/Field.h"

#include "core/engine/Dataset.h"
#include "core/engine/EngineError.h"
#include "core/engine/FieldValue.h"
#include "core/engine/NumberText.h"

#include <cmath>

namespace db {

namespace {

using store::FieldType;

bool parseNumber(const QString& s, FieldType type, double& out)
{
    const std::optional<double> v = readNumber(s, type == FieldType::Money);
    if (v) out = *v;
    return v.has_value();
}

}  // namespace

const FieldDef& Field::def() const { return ds_->fieldDef(index_); }

QVariant Field::value() const { return ds_->rawValue(index_); }

bool Field::isNull() const
{
    const QVariant v = value();
    return !v.isValid() || v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isEmpty());
}

QString Field::asString() const
{
    const QVariant v = value();
    if (!v.isValid() || v.isNull()) return {};
    switch (v.typeId()) {
    case QMetaType::Double: return numberText(v.toDouble());
    case QMetaType::QDate: return v.toDate().toString("dd/MM/yyyy");
    case QMetaType::QDateTime: return v.toDateTime().toString("dd/MM/yyyy hh:mm:ss");
    default: return v.toString();
    }
}

double Field::asFloat() const
{
    const QVariant v = value();
    if (!v.isValid() || v.isNull()) return 0;
    if (v.typeId() == QMetaType::QString) {
        if (v.toString().trimmed().isEmpty()) return 0;
        double d = 0;
        if (!parseNumber(v.toString(), def().type, d))
            throw notANumber(v.toString(), name());
        return d;
    }
    if (v.typeId() == QMetaType::QDate) return double(v.toDate().toJulianDay());
    return v.toDouble();
}

qint64 Field::asInteger() const
{
    const QVariant v = value();
    if (!v.isValid() || v.isNull()) return 0;
    if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int) return v.toLongLong();
    if (v.typeId() == QMetaType::QString) {
        bool ok = false;
        const qint64 n = v.toString().trimmed().toLongLong(&ok);
        if (ok) return n;
        if (v.toString().trimmed().isEmpty()) return 0;
        throw notAnInteger(v.toString(), name());
    }
    return qint64(std::llround(asFloat()));
}

QDateTime Field::asDateTime() const
{
    const QVariant v = value();
    if (!v.isValid() || v.isNull()) return {};
    if (v.typeId() == QMetaType::QDate) return QDateTime(v.toDate(), QTime(0, 0));
    if (v.typeId() == QMetaType::QDateTime) return v.toDateTime();
    QDate d;
    if (v.typeId() == QMetaType::QString && readDate(v.toString(), d))
        return QDateTime(d, QTime(0, 0));
    throw notADate(v.toString(), name());
}

QDate Field::asDate() const { return asDateTime().date(); }

QString displayOf(const FieldDef& def, const QVariant& v)
{
    if (!v.isValid() || v.isNull()) return {};
    switch (v.typeId()) {
    case QMetaType::Double:
        if (def.type == FieldType::Money && def.kind == FieldKind::Data)
            return QString::number(v.toDouble(), 'f', 2).replace('.', ',');
        return numberText(v.toDouble());
    case QMetaType::QDate: return v.toDate().toString("dd/MM/yyyy");
    default: return v.toString();
    }
}

QString Field::displayText() const { return displayOf(def(), value()); }

void Field::setValue(const QVariant& v)
{
    const FieldDef& d = def();
    ds_->setRawValue(index_, fitToField(v, d.type, d.width, d.name));
}

void Field::setAsString(const QString& s) { setValue(s.isEmpty() ? QVariant() : QVariant(s)); }
void Field::setAsFloat(double v) { setValue(v); }
void Field::setAsInteger(qint64 v)
{
    if (def().type == FieldType::Number || def().type == FieldType::Money) setValue(double(v));
    else setValue(v);
}
void Field::setAsDateTime(const QDateTime& v) { setValue(v.isValid() ? QVariant(v) : QVariant()); }
void Field::setAsDate(const QDate& v) { setValue(v.isValid() ? QVariant(v) : QVariant()); }
void Field::clear() { setValue(QVariant()); }

}  // namespace db

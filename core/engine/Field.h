// A field of a dataset, reached by name: read and written as text, number, integer, date-time
// and money, with empty values. A Field is a small handle on its dataset's current row; it
// stays valid while the dataset keeps its field list.
#pragma once

#include "core/store/StoreSchema.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVariant>

namespace db {

class Dataset;

enum class FieldKind { Data, Lookup, Calculated };

// What a dataset knows of one of its fields.
struct FieldDef {
    QString name;
    store::FieldType type = store::FieldType::Alpha;
    int width = 0;            // Alpha: characters kept
    bool required = false;    // refused empty on post: "Field 'X' must have a value"
    bool readOnly = false;    // autoincrement and lookup fields
    QString editMask;         // checked before post; applied by the data-aware edits
    FieldKind kind = FieldKind::Data;
    int column = -1;          // the column in the dataset's row buffer (data fields)
    QString origin;           // query fields: ALIAS."FILE.DB".FIELD
    // Lookup fields: the value of `resultField` in the row of `lookupDataset` whose
    // `lookupKeyField` equals this dataset's `keyField`.
    QString keyField;
    Dataset* lookupDataset = nullptr;
    QString lookupKeyField;
    QString resultField;
};

// What a control or a report shows for a value of the field: dates dd/MM/yyyy, money with two
// decimals ("1234,50"), other numbers plain with a decimal comma, empty values empty.
QString displayOf(const FieldDef& def, const QVariant& value);

class Field {
public:
    Field(Dataset* ds, int index) : ds_(ds), index_(index) {}

    const FieldDef& def() const;
    QString name() const { return def().name; }
    bool isNull() const;

    QVariant value() const;       // QString, double, QDate, qint64, or invalid when empty
    QString asString() const;     // empty text when empty; numbers plain ("12.5" → "12,5")
    double asFloat() const;       // 0 when empty
    qint64 asInteger() const;     // 0 when empty; numbers rounded to the nearest
    QDateTime asDateTime() const; // invalid when empty
    QDate asDate() const;
    double asCurrency() const { return asFloat(); }
    // What a control or a report shows: dates dd/MM/yyyy, money "##0,00", numbers plain.
    QString displayText() const;

    // Setters need the dataset in edit or insert state. Texts are cut to the field's width.
    // A text that does not convert throws EngineError naming the value and the field.
    void setValue(const QVariant& v);
    void setAsString(const QString& s);
    void setAsFloat(double v);
    void setAsInteger(qint64 v);
    void setAsDateTime(const QDateTime& v);  // date fields keep only the date
    void setAsDate(const QDate& v);
    void setAsCurrency(double v) { setAsFloat(v); }
    void clear();

private:
    Dataset* ds_;
    int index_;
};

}  // namespace db

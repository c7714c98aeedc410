// What a field stores for a value: one rule for a post through a dataset, a lookup field's
// text and the bulk writers that insert rows with statements of their own, so a row written
// either way holds the same values.
#pragma once

#include "core/store/StoreSchema.h"

#include <QDate>
#include <QString>
#include <QVariant>

namespace db {

// The value a field of `type` keeps for `v`, invalid for an empty one (nothing, an empty text,
// a blank number or date). Alpha: the text cut to `width` characters (when above 0), numbers
// and dates written as the program shows them; Number and Money: read by readNumber from a
// text; Date: a date, a date-time's date or a text dd/MM/yyyy, d/M/yyyy, yyyy-MM-dd or
// "dd/MM/yyyy hh:mm:ss"; Autoincrement: an integer. A value that does not convert throws
// EngineError naming the value and `field`.
QVariant fitToField(const QVariant& v, store::FieldType type, int width, const QString& field);
QVariant fitToField(const QVariant& v, const store::FieldSpec& field);

// A number as the program writes it plain: up to 15 digits, decimal comma ("12,5").
QString numberText(double v);
// A date typed or handed over as text, in the forms fitToField takes; false when it is none.
bool readDate(const QString& text, QDate& out);

}  // namespace db

#include "core/engine/FieldValue.h"

#include "core/engine/EngineError.h"
#include "core/engine/NumberText.h"

#include <QDateTime>

namespace db {

using store::FieldType;

QString numberText(double v)
{
    QString s = QString::number(v, 'g', 15);
    s.replace('.', ',');
    return s;
}

bool readDate(const QString& text, QDate& out)
{
    const QString s = text.trimmed();
    for (const char* fmt : {"dd/MM/yyyy", "d/M/yyyy", "yyyy-MM-dd"}) {
        out = QDate::fromString(s, QString::fromLatin1(fmt));
        if (out.isValid()) return true;
    }
    const QDateTime dt = QDateTime::fromString(s, "dd/MM/yyyy hh:mm:ss");
    if (dt.isValid()) {
        out = dt.date();
        return true;
    }
    return false;
}

QVariant fitToField(const QVariant& v, FieldType type, int width, const QString& field)
{
    if (!v.isValid() || v.isNull()) return {};
    const bool text = v.typeId() == QMetaType::QString;
    switch (type) {
        case FieldType::Alpha: {
            QString s;
            if (v.typeId() == QMetaType::Double)
                s = numberText(v.toDouble());
            else if (v.typeId() == QMetaType::QDate)
                s = v.toDate().toString("dd/MM/yyyy");
            else
                s = v.toString();
            if (width > 0 && s.size() > width) s.truncate(width);
            return s.isEmpty() ? QVariant() : QVariant(s);
        }
        case FieldType::Number:
        case FieldType::Money: {
            if (text) {
                if (v.toString().trimmed().isEmpty()) return {};
                const std::optional<double> x = readNumber(v.toString(), type == FieldType::Money);
                if (!x) throw notANumber(v.toString(), field);
                return *x;
            }
            bool ok = false;
            const double x = v.toDouble(&ok);
            if (!ok) throw invalidValue(field);
            return x;
        }
        case FieldType::Date: {
            QDate date;
            if (v.typeId() == QMetaType::QDate)
                date = v.toDate();
            else if (v.typeId() == QMetaType::QDateTime)
                date = v.toDateTime().date();
            else if (text) {
                if (v.toString().trimmed().isEmpty()) return {};
                if (!readDate(v.toString(), date)) throw notADate(v.toString(), field);
            } else {
                throw invalidValue(field);
            }
            return date.isValid() ? QVariant(date) : QVariant();
        }
        case FieldType::Autoincrement: {
            bool ok = false;
            const qint64 n = v.toLongLong(&ok);
            if (!ok) throw invalidValue(field);
            return n;
        }
    }
    return {};
}

QVariant fitToField(const QVariant& v, const store::FieldSpec& field)
{
    return fitToField(v, field.type, field.width, QString::fromStdString(field.name));
}

}  // namespace db

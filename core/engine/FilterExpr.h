// The filter a table takes: "FIELD = value", also <>, <, <=, >, >=, the value a number or a
// 'text' (a quote inside written twice).
#pragma once

#include <QString>
#include <QVariant>

#include <optional>

namespace db {

struct FilterExpr {
    QString field;
    QString op;      // as SQL compares: "IS", "IS NOT", "<", "<=", ">", ">="
    QVariant value;  // QString or double
};

// std::nullopt when the text is not of that form.
std::optional<FilterExpr> parseFilter(const QString& text);

}  // namespace db

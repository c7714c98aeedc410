#include "core/engine/FilterExpr.h"

#include <QRegularExpression>

namespace db {

std::optional<FilterExpr> parseFilter(const QString& text)
{
    static const QRegularExpression re(R"(^\s*(\w+)\s*(=|<>|<=|>=|<|>)\s*(.+?)\s*$)");
    const auto m = re.match(text);
    if (!m.hasMatch()) return std::nullopt;
    FilterExpr f;
    f.field = m.captured(1);
    const QString op = m.captured(2);
    f.op = op == "<>" ? "IS NOT" : op == "=" ? "IS" : op;
    QString value = m.captured(3);
    if (value.size() >= 2 && value.startsWith('\'') && value.endsWith('\'')) {
        f.value = value.mid(1, value.size() - 2).replace("''", "'");
    } else {
        bool ok = false;
        const double d = value.toDouble(&ok);
        if (!ok) return std::nullopt;
        f.value = d;
    }
    return f;
}

}  // namespace db

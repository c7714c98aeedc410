#include "core/engine/NumberText.h"

#include <QStringList>

#include <cmath>

namespace db {

namespace {

bool allDigits(QStringView s)
{
    for (const QChar c : s)
        if (!isDigit(c)) return false;
    return true;
}

// Digits in groups of three after a first group of one to three: "1.234.567".
bool groupsThousands(const QStringList& parts)
{
    if (parts.size() < 2 || parts.first().isEmpty() || parts.first().size() > 3) return false;
    for (const QString& p : parts)
        if (!allDigits(p)) return false;
    for (qsizetype i = 1; i < parts.size(); ++i)
        if (parts[i].size() != 3) return false;
    return true;
}

}  // namespace

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

std::optional<double> readNumber(const QString& text, bool money)
{
    QString s = text.trimmed();
    const bool negative = s.startsWith('-');
    if (negative) s.remove(0, 1);
    QString whole, fraction;
    if (s.count(',') > 1) return std::nullopt;
    if (s.contains(',')) {
        whole = s.section(',', 0, 0);
        fraction = s.section(',', 1);
        if (whole.contains('.')) {
            if (!groupsThousands(whole.split('.'))) return std::nullopt;
            whole.remove('.');
        }
    } else if (s.count('.') > 1) {
        if (!groupsThousands(s.split('.'))) return std::nullopt;
        whole = s.remove('.');
    } else if (s.contains('.')) {
        whole = s.section('.', 0, 0);
        fraction = s.section('.', 1);
        // "1.234": a thousand and thirty-four, or one and a fraction. Nobody can tell.
        if (!whole.isEmpty() && whole.size() <= 3 && fraction.size() == 3) return std::nullopt;
    } else {
        whole = s;
    }
    if (whole.isEmpty() && fraction.isEmpty()) return std::nullopt;
    if (!allDigits(whole) || !allDigits(fraction)) return std::nullopt;
    if (money && fraction.size() > 4) return std::nullopt;
    bool ok = false;
    const double v = (whole.isEmpty() ? QString("0") : whole)
                         .append('.')
                         .append(fraction.isEmpty() ? QString("0") : fraction)
                         .toDouble(&ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return negative ? -v : v;
}

}  // namespace db

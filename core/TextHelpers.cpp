#include "core/TextHelpers.h"

#include <cfenv>
#include <cmath>

Currency toCurrency(double value)
{
    // nearbyint rounds in the current mode, which is to nearest with ties to even.
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const auto c = Currency(std::nearbyint(value * 10000.0));
    std::fesetround(saved);
    return c;
}

QString Padlzero(const QString& text, int length)
{
    if (length <= 0) return {};
    if (text.size() > length) return text.right(length);
    return QString(length - text.size(), QChar('0')) + text;
}

QString RetirarMascara(const QString& text, const QString& remove)
{
    QString out = text;
    for (const QChar c : remove) out.remove(c, Qt::CaseSensitive);
    return out;
}

QString FormataValor(Currency value)
{
    // (ten-thousandths × 100 / 10000) truncated toward zero: integer division does exactly that.
    return QString::number(value / 100);
}

QString FormataData(const QDate& date)
{
    const QString s = RetirarMascara(date.toString("dd/MM/yyyy"), "/");
    return s.mid(4, 4) + s.mid(2, 2) + s.mid(0, 2);
}

QString CalculaDigitoVerificador(const QString& code)
{
    const int dash = code.indexOf('-');
    const int n = std::max(0, dash >= 0 ? dash : int(code.size()) - 1);
    int sum = 0;
    for (int k = 0; k < n; ++k) sum += (code.at(n - 1 - k).unicode() - 48) * (9 - k % 9);
    const int r = sum % 11;
    return code.left(n) + "-" + (r == 10 ? QString("X") : QString::number(r));
}

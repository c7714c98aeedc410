#include "remittance/FiltroRetorno.h"

#include "core/engine/Table.h"

#include <QStringList>

namespace retorno {

bool imprime(Motivo m, const QDate& dataRetorno)
{
    switch (m) {
    case Motivo::Todos: return true;
    case Motivo::Com: return dataRetorno.isValid();
    case Motivo::Sem: return !dataRetorno.isValid();
    }
    return true;
}

QString ajustarMes(const QString& texto)
{
    if (texto.size() == 2) return texto + "/";
    if (texto.size() >= 7) return texto.left(7);
    return texto;
}

namespace {

// A part of a date: one or more digits, blanks around them allowed.
std::optional<int> number(const QString& part)
{
    const QString t = part.trimmed();
    if (t.isEmpty() || t.size() > 4) return std::nullopt;
    for (const QChar c : t)
        if (!c.isDigit() || c.unicode() > '9') return std::nullopt;
    return t.toInt();
}

}  // namespace

std::optional<QDate> primeiroDia(const QString& texto, const QDate& hoje, QString* erro)
{
    const QString data = "01/" + texto;
    const QStringList parts = data.split('/');
    std::optional<int> month, year;
    if (parts.size() == 2 || parts.size() == 3) {
        month = number(parts[1]);
        year = parts.size() == 3 ? number(parts[2]) : std::optional<int>(hoje.year());
        if (year && parts.size() == 3 && parts[2].trimmed().size() <= 2)
            *year += hoje.year() / 100 * 100;
    }
    if (month && year && *month >= 1 && *month <= 12 && *year >= 1) return QDate(*year, *month, 1);
    if (erro)
        *erro = QString("\"%1\" não é uma data válida. Informe o mês e o ano como mm/aaaa, "
                        "por exemplo 05/2004.")
                    .arg(data);
    return std::nullopt;
}

QString definirMes(db::Table& TRet_Debito, const QString& texto, const QDate& hoje)
{
    if (texto.isEmpty()) return {};
    TRet_Debito.cancelRange();
    QString erro;
    const std::optional<QDate> first = primeiroDia(texto, hoje, &erro);
    if (!first) return erro;
    const QDate last(first->year(), first->month(), first->daysInMonth());
    TRet_Debito.setRange({*first}, {last});
    return {};
}

}  // namespace retorno

#include "remittance/RemessaRecords.h"

#include "core/MainRoutines.h"

#include <cmath>

namespace remessa {

QString namePart(const QString& path)
{
    const int cut = int(std::max(path.lastIndexOf('\\'), path.lastIndexOf('/')));
    return path.mid(cut + 1);
}

QString proposedFileName(qint64 remittanceNumber)
{
    return "ARQ_PREVI_" + Padlzero(QString::number(remittanceNumber), 6) + ".txt";
}

QString matriculaAparada(const QString& s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s.at(b).unicode() <= 32) ++b;
    while (e > b && s.at(e - 1).unicode() <= 32) --e;
    return s.mid(b, e - b);
}

bool valorCabe(double value, int positions)
{
    return std::isfinite(value) && std::fabs(value) < 9e14
           && FormataValor(toCurrency(value)).size() <= positions;
}

QString headerRecord(const QString& name, const QDate& today)
{
    return "0" + Complementa_Texto_Direita(name, " ", 20) + today.toString("ddMMyyyy")
           + QString(20, ' ');
}

QString detailRecord(const QString& codInt, const QString& matricula, const QDate& debitDate,
                     const QString& codVerba, Currency value)
{
    const QString month = debitDate.toString("MM");
    const QString year = debitDate.toString("yyyy");
    return "1" + Padlzero(codInt, 2) + Padlzero(RetirarMascara(matricula, "./-"), 15) + month
           + year + Padlzero(codVerba, 4) + Padlzero(FormataValor(value), 13) + year + month
           + "0+";
}

QString trailerRecord(qint64 count, Currency total)
{
    return "9" + Padlzero(QString::number(count), 10) + Padlzero(FormataValor(total), 15)
           + QString(23, ' ');
}

}  // namespace remessa

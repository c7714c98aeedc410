#include "remittance/ProvaRemessa.h"

#include <QFile>

namespace remessa {

namespace {

constexpr int kRecord = 49;

// A zero-padded amount field in hundredths; a negative amount carries its "-" inside the
// padding ("0000-1234"). False when the field holds anything else.
bool amount(const QByteArray& field, qint64& cents)
{
    QByteArray digits = field;
    bool negative = false;
    const qsizetype minus = digits.indexOf('-');
    if (minus >= 0) {
        for (qsizetype i = 0; i < minus; ++i)
            if (digits.at(i) != '0') return false;
        digits = digits.mid(minus + 1);
        negative = true;
    }
    if (digits.isEmpty()) return false;
    for (const char ch : digits)
        if (ch < '0' || ch > '9') return false;
    bool ok = false;
    cents = digits.toLongLong(&ok);
    if (negative) cents = -cents;
    return ok;
}

QString money(qint64 cents)
{
    const QString sign = cents < 0 ? "-" : "";
    const qint64 a = cents < 0 ? -cents : cents;
    return sign + QString::number(a / 100) + ',' + QString("%1").arg(a % 100, 2, 10, QLatin1Char('0'));
}

}  // namespace

QString provarArquivo(const QString& path, qint64 registros, Currency total)
{
    const QString prefix = "A conferência do arquivo gravado falhou: ";
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return prefix + "não foi possível lê-lo de volta (" + f.errorString() + ").";
    qint64 line = 0, details = 0, sum = 0;
    bool trailer = false;
    qint64 trailerCount = -1, trailerCents = 0;
    for (;;) {
        const QByteArray rec = f.read(kRecord + 2);
        if (rec.isEmpty()) break;
        ++line;
        const QString where = QString("registro %1").arg(line);
        if (rec.size() != kRecord + 2 || !rec.endsWith("\r\n") || rec.left(kRecord).contains('\n')
            || rec.left(kRecord).contains('\r'))
            return prefix + where + " não tem 49 caracteres seguidos de CR LF (o arquivo pode "
                            "ter sido cortado).";
        if (trailer) return prefix + "há registros depois do trailer.";
        const char type = rec.at(0);
        if (line == 1) {
            if (type != '0') return prefix + "o primeiro registro não é o header.";
            continue;
        }
        if (type == '1') {
            qint64 cents = 0;
            if (!amount(rec.mid(28, 13), cents))
                return prefix + where + " tem um valor que não é um número.";
            ++details;
            sum += cents;
        } else if (type == '9') {
            trailer = true;
            bool ok = false;
            trailerCount = rec.mid(1, 10).toLongLong(&ok);
            if (!ok || !amount(rec.mid(11, 15), trailerCents))
                return prefix + "o trailer não traz quantidade e total numéricos.";
        } else {
            return prefix + where + " tem um tipo desconhecido (\"" + QChar(type) + "\").";
        }
    }
    if (f.error() != QFileDevice::NoError)
        return prefix + "erro ao lê-lo de volta (" + f.errorString() + ").";
    if (line == 0) return prefix + "o arquivo está vazio.";
    if (!trailer) return prefix + "o arquivo termina sem o trailer (pode ter sido cortado).";
    const qint64 expectedCents = total / 100;
    if (trailerCount != details)
        return prefix + QString("o trailer indica %1 registro(s), mas o arquivo traz %2.")
                            .arg(trailerCount).arg(details);
    if (details != registros)
        return prefix + QString("o arquivo traz %1 registro(s) de débito, mas a geração contou %2.")
                            .arg(details).arg(registros);
    if (trailerCents != sum)
        return prefix + "o total do trailer (" + money(trailerCents)
               + ") difere da soma dos débitos do arquivo (" + money(sum)
               + "): há valores com frações de centavo; corrija-os.";
    if (sum != expectedCents)
        return prefix + "o total do arquivo (" + money(sum) + ") difere do total da geração ("
               + money(expectedCents) + ").";
    return {};
}

}  // namespace remessa

#include "remittance/RemessaRecords.h"

#include "core/MainRoutines.h"

#include <QByteArray>

#include <charconv>
#include <cmath>
#include <cstring>

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
    if (!std::isfinite(value) || std::fabs(value) >= 9e14) return false;
    // The length of FormataValor's text: the hundredths' digits, and the sign.
    const qint64 cents = toCurrency(value) / 100;
    int length = cents < 0 ? 2 : 1;
    for (qint64 a = cents < 0 ? -cents : cents; a >= 10; a /= 10) ++length;
    return length <= positions;
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

bool appendDetailBytes(QByteArray& out, const QByteArray& lead, const char* matricula,
                       qsizetype matriculaSize, const QByteArray& middle, Currency value,
                       const QByteArray& tail)
{
    // The enrolment number without ".", "/" and "-", its last 15 characters, zero-padded.
    char mat[16];
    qsizetype kept = 0;
    for (qsizetype i = matriculaSize; i-- > 0;) {
        const auto ch = static_cast<unsigned char>(matricula[i]);
        if (ch >= 0x80) return false;
        if (ch == '.' || ch == '/' || ch == '-') continue;
        if (kept < 15) mat[15 - ++kept] = char(ch);
    }
    // The amount in hundredths truncated, as FormataValor writes it, in its last 13 characters.
    char num[24];
    const auto res = std::to_chars(num, num + sizeof num, value / 100);
    qsizetype numSize = res.ptr - num;
    const char* numStart = num;
    if (numSize > 13) {
        numStart += numSize - 13;
        numSize = 13;
    }
    // One resize, then the parts copied in place (a record per debit).
    const qsizetype at = out.size();
    out.resize(at + lead.size() + 15 + middle.size() + 13 + tail.size());
    char* p = out.data() + at;
    auto put = [&p](const char* from, qsizetype n) {
        std::memcpy(p, from, size_t(n));
        p += n;
    };
    put(lead.constData(), lead.size());
    std::memset(p, '0', size_t(15 - kept));
    p += 15 - kept;
    put(mat + 15 - kept, kept);
    put(middle.constData(), middle.size());
    std::memset(p, '0', size_t(13 - numSize));
    p += 13 - numSize;
    put(numStart, numSize);
    put(tail.constData(), tail.size());
    return true;
}

QString trailerRecord(qint64 count, Currency total)
{
    return "9" + Padlzero(QString::number(count), 10) + Padlzero(FormataValor(total), 15)
           + QString(23, ' ');
}

}  // namespace remessa

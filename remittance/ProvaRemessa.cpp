#include "remittance/ProvaRemessa.h"

#include <QFile>

#include <algorithm>
#include <cstring>

namespace remessa {

namespace {

constexpr int kRecord = 49;

// A zero-padded amount field in hundredths; a negative amount carries its "-" inside the
// padding ("0000-1234"). False when the field holds anything else.
bool amount(const char* field, qsizetype size, qint64& cents)
{
    const char* digits = field;
    qsizetype n = size;
    bool negative = false;
    if (const void* m = std::memchr(field, '-', size_t(size))) {
        const qsizetype minus = static_cast<const char*>(m) - field;
        for (qsizetype i = 0; i < minus; ++i)
            if (field[i] != '0') return false;
        digits = field + minus + 1;
        n = size - minus - 1;
        negative = true;
    }
    if (n == 0) return false;
    qint64 v = 0;  // at most 15 digits
    for (qsizetype i = 0; i < n; ++i) {
        if (digits[i] < '0' || digits[i] > '9') return false;
        v = v * 10 + (digits[i] - '0');
    }
    cents = negative ? -v : v;
    return true;
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
    // Read in large blocks, looked at record by record.
    constexpr qsizetype kBlock = qsizetype(kRecord + 2) * 4096;
    QByteArray buffer(kBlock, Qt::Uninitialized);
    qsizetype pos = 0, end = 0;  // the bytes read and not yet looked at
    bool atEnd = false;
    for (;;) {
        if (end - pos < kRecord + 2 && !atEnd) {
            std::memmove(buffer.data(), buffer.constData() + pos, size_t(end - pos));
            end -= pos;
            pos = 0;
            while (end < kBlock && !atEnd) {
                const qint64 n = f.read(buffer.data() + end, kBlock - end);
                if (n <= 0) atEnd = true;  // the end, or a read that fails (seen below)
                else end += qsizetype(n);
            }
        }
        if (pos == end) break;
        const qsizetype size = std::min<qsizetype>(end - pos, kRecord + 2);
        const char* rec = buffer.constData() + pos;
        pos += size;
        ++line;
        if (size != kRecord + 2 || rec[kRecord] != '\r' || rec[kRecord + 1] != '\n'
            || std::memchr(rec, '\n', kRecord) || std::memchr(rec, '\r', kRecord))
            return prefix + QString("registro %1").arg(line)
                   + " não tem 49 caracteres seguidos de CR LF (o arquivo pode "
                     "ter sido cortado).";
        if (trailer) return prefix + "há registros depois do trailer.";
        const char type = rec[0];
        if (line == 1) {
            if (type != '0') return prefix + "o primeiro registro não é o header.";
        } else if (type == '1') {
            qint64 cents = 0;
            if (!amount(rec + 28, 13, cents))
                return prefix + QString("registro %1").arg(line)
                       + " tem um valor que não é um número.";
            ++details;
            sum += cents;
        } else if (type == '9') {
            trailer = true;
            bool ok = false;
            trailerCount = QByteArray::fromRawData(rec + 1, 10).toLongLong(&ok);
            if (!ok || !amount(rec + 11, 15, trailerCents))
                return prefix + "o trailer não traz quantidade e total numéricos.";
        } else {
            return prefix + QString("registro %1").arg(line) + " tem um tipo desconhecido (\""
                   + QChar(type) + "\").";
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
               + ").";
    if (sum != expectedCents)
        return prefix + "o total do arquivo (" + money(sum) + ") difere do total da geração ("
               + money(expectedCents) + ").";
    return {};
}

}  // namespace remessa

#include "remittance/TextosRemessa.h"

#include "core/Cp1252.h"
#include "remittance/RemessaRecords.h"

namespace remessa {

const QString kNadaAlterado =
    "\nA remessa não foi gerada: nenhuma tabela foi alterada e nenhum arquivo foi gravado.";

const QString kOcupado =
    "As tabelas estão em uso por outro programa (outra remessa ou importação "
    "em andamento). Tente de novo quando ele terminar.";

QString falhaDeGravacao(const QString& path, const QString& why)
{
    return "Erro ao gravar o arquivo " + path + " (" + why + "; o disco pode estar cheio): "
           "libere espaço ou escolha outra pasta.";
}

QString dinheiro(qint64 cents)
{
    const qint64 a = cents < 0 ? -cents : cents;
    return (cents < 0 ? "-" : "") + QString::number(a / 100) + ','
           + QString::number(a % 100).rightJustified(2, '0');
}

QString problemaDoValor(bool temValor, double valor, double membro, const QDate& debitDate)
{
    const QString who = QString::number(membro, 'f', 0);
    const QString when = debitDate.toString("dd/MM/yyyy");
    if (!temValor)
        return "O débito do associado " + who + " de " + when + " está sem valor em "
               "DEBITO.DB: informe o valor antes de gerar a remessa.";
    return "O valor " + QString::number(valor, 'f', 2) + " do débito do associado " + who + " de "
           + when + " (DEBITO.DB) não cabe nas 13 posições do valor na remessa: corrija-o "
           "antes de gerar a remessa.";
}

QString totalNaoCabe(qint64 cents)
{
    if (QString::number(cents).size() <= 15) return {};
    return "O total " + dinheiro(cents) + " não cabe nas 15 posições do total no trailer: "
           "reduza os débitos da remessa.";
}

QStringList resumoDaRemessa(qint64 registros, qint64 cents, const QDate& today, qint64 numero,
                            const QString& path)
{
    return {"Nr Total de Registros.....: " + QString::number(registros),
            "Valor total dos créditos..: " + dinheiro(cents),
            "Mes / Ano da Remessa......:" + today.toString("MM/yyyy"),
            "Número da Remessa.........:" + QString::number(numero),
            "Arquivo de Remessa........:" + path};
}

QString linhaDoHistorico(qint64 numero, const QDate& debitDate, const QString& path,
                         qint64 registros, qint64 cents)
{
    return QString("remessa %1 para %2: arquivo %3, %4 registro(s), total %5")
        .arg(numero)
        .arg(debitDate.toString("dd/MM/yyyy"), path)
        .arg(registros)
        .arg(dinheiro(cents));
}

QString arquivoNaoPosto(qint64 numero, const QString& path, const QString& why)
{
    return "A remessa " + QString::number(numero) + " foi registrada, mas o arquivo não pôde ser "
           "posto em " + path + " (" + why + "). Ele será posto no lugar na próxima geração de "
           "remessa; verifique a pasta.";
}

Detalhes::Detalhes(const QString& codInt, const QString& codVerba, const QDate& debitDate)
    : codInt_(codInt),
      codVerba_(codVerba),
      date_(debitDate),
      lead_(cp1252::encode("1" + Padlzero(codInt, 2))),
      middle_(cp1252::encode(debitDate.toString("MM") + debitDate.toString("yyyy")
                             + Padlzero(codVerba, 4))),
      tail_(cp1252::encode(debitDate.toString("yyyy") + debitDate.toString("MM") + "0+"))
{
}

QByteArrayView Detalhes::aparada(QByteArrayView mat)
{
    while (!mat.isEmpty() && static_cast<unsigned char>(mat.front()) <= 32) mat = mat.sliced(1);
    while (!mat.isEmpty() && static_cast<unsigned char>(mat.back()) <= 32) mat.chop(1);
    return mat;
}

void Detalhes::adicionar(QByteArray& block, QByteArrayView mat, Currency amount) const
{
    if (!appendDetailBytes(block, lead_, mat.data(), mat.size(), middle_, amount, tail_))
        block +=
            cp1252::encode(detailRecord(codInt_, QString::fromUtf8(mat), date_, codVerba_, amount));
    block.append("\r\n", 2);
}

}  // namespace remessa

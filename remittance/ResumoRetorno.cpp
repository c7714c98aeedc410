#include "remittance/ResumoRetorno.h"

#include "core/Cp1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace retorno {

namespace {

// The length of `s` without its trailing blanks.
template <typename Text>
qsizetype withoutTrailingBlanks(const Text& s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == ' ') --n;
    return n;
}

// A blank of the code page: tab to carriage return, space, no-break space.
bool blank(char c)
{
    return (c >= 9 && c <= 13) || c == ' ' || c == '\xA0';
}

// The texts of the summary, made once.
const QString kVazio("");  // the blank line between outcomes
const QString kImportado("RETORNO IMPORTADO");
const QString kNaoEncontrado("ERRO: ASSOCIADO NÃO ENCOTRADO NA BASE DE DADOS");
const QString kNome("     NOME: ");
const QString kMatricula("     MATRICULA: ");
const QString kMotivo("     MOTIVO: ");

// One line of the summary: `label` followed by `text` (Windows-1252).
QString linhaResumo(const QString& label, QByteArrayView text)
{
    QString line;
    line.reserve(label.size() + text.size());
    line += label;
    cp1252::appendDecoded(line, text);
    return line;
}

}  // namespace

LinhasDoRetorno::LinhasDoRetorno(QIODevice& file, QCryptographicHash& hash,
                                 const Progress& progress)
    : reader_(file, 128, &hash), progress_(progress), size_(file.size())
{
}

bool LinhasDoRetorno::next(Linha& l)
{
    qint64 length = 0;
    while (reader_.next(raw_, length)) {
        done_ += length;
        ++lidas_;
        if (progress_) progress_(done_, size_);
        if (!lerLinha(raw_, l)) continue;
        if (linhaDeAssociado(l)) ++membros_;
        return true;
    }
    return false;
}

QByteArray nomeDeBusca(const Linha& l)
{
    const QString name = cp1252::decode(l.nome).toUpper();
    return QStringView(name).first(withoutTrailingBlanks(name)).toUtf8();
}

bool linhaDeAssociado(const Linha& l)
{
    return !std::all_of(l.nome.begin(), l.nome.end(), [](char c) { return c >= '0' && c <= '9'; })
           || l.nome.isEmpty();
}

const QByteArray& Motivo::utf8(QByteArrayView motivo)
{
    const QByteArrayView reason = motivo.first(withoutTrailingBlanks(motivo));
    for (const Kept& k : kept_)
        if (k.read == reason && !k.read.isNull()) return k.utf8;
    Kept& k = kept_[next_];
    next_ = (next_ + 1) % std::size(kept_);
    k.read = reason.toByteArray();
    if (k.read.isNull()) k.read = QByteArray("");  // told apart from a place not used yet
    k.utf8 = cp1252::decode(k.read).toUtf8();
    return k.utf8;
}

Resumo::Resumo(QStringList& out, int month, int year) : out_(out)
{
    out_ << "IMPORTANTO ARQUIVO DE RETORNO"
         << "MÊS: " + QString::number(month) + " Ano: " + QString::number(year) << "";
}

void Resumo::linha(const Linha& l, bool encontrado)
{
    ++(encontrado ? importadas_ : naoEncontradas_);
    if (importadas_ + naoEncontradas_ > kLinhasNoResumo) return;
    out_ << kVazio << (encontrado ? kImportado : kNaoEncontrado) << linhaResumo(kNome, l.nome)
         << linhaResumo(kMatricula, QByteArray::number(l.numero));
    if (!std::all_of(l.motivo.begin(), l.motivo.end(), blank))
        out_ << linhaResumo(kMotivo, l.motivo);
}

void Resumo::naoMostradas(qint64 importadas, qint64 naoEncontradas)
{
    importadas_ += importadas;
    naoEncontradas_ += naoEncontradas;
}

void Resumo::fim()
{
    if (const qint64 fora = importadas_ + naoEncontradas_ - kLinhasNoResumo; fora > 0)
        out_ << kVazio
             << QString(
                    "... e mais %1 linha(s) de associado, importadas como as acima mas não "
                    "mostradas neste resumo (ele mostra as primeiras %2). Veja o mês na "
                    "consulta de retornos.")
                    .arg(fora)
                    .arg(kLinhasNoResumo);
}

QString erroDeLeitura(const QString& fileName, const QString& why)
{
    return QString(
               "Erro ao ler o arquivo %1: %2. Nada foi importado e o arquivo manteve o "
               "nome.")
        .arg(fileName, why);
}

QString semLinhaDeAssociado(const QString& fileName)
{
    return QString(
               "O arquivo %1 não tem nenhuma linha de associado (número do associado nas "
               "posições 1 a 15): não é um arquivo de retorno. Nada foi importado e o arquivo "
               "manteve o nome; confira se escolheu o arquivo certo.")
        .arg(fileName);
}

QString detalheImportacao(const QString& fileName, const QDate& first, qint64 lidas,
                          qint64 importadas, qint64 naoEncontradas)
{
    return QString(
               "arquivo %1 para %2: %3 linha(s), %4 importada(s), %5 sem associado "
               "encontrado")
        .arg(fileName, first.toString("MM/yyyy"))
        .arg(lidas)
        .arg(importadas)
        .arg(naoEncontradas);
}

QString renomearImportado(const QString& path, int month, int year)
{
    const QFileInfo info(path);
    const QString target =
        info.dir().filePath("Retorno_" + info.fileName().left(1) + "_" + QString::number(month)
                            + "-" + QString::number(year) + ".imp");
    return !QFileInfo::exists(target) && QFile::rename(path, target) ? target : QString();
}

}  // namespace retorno

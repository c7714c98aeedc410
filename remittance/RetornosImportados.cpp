#include "remittance/RetornosImportados.h"

#include "core/Historico.h"
#include "core/engine/Connection.h"
#include "core/engine/Database.h"
#include "core/engine/EngineError.h"
#include "core/engine/Statement.h"
#include "core/store/CreateMainTable.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace retorno {

namespace {

const QString kTabela = QStringLiteral("RETORNOS_IMPORTADOS");

bool existe(db::Connection& c)
{
    return db::Statement(c, "SELECT 1 FROM main.sqlite_master WHERE type = 'table' AND "
                            "name = 'RETORNOS_IMPORTADOS'", kTabela).found();
}

// REGISTRADO and DESFEITO, added to a record made before they existed.
void colunasNovas(db::Connection& c)
{
    if (db::Statement(c, "SELECT 1 FROM pragma_table_info('RETORNOS_IMPORTADOS', 'main') "
                         "WHERE name = 'DESFEITO'", kTabela).found())
        return;
    c.exec("ALTER TABLE main.RETORNOS_IMPORTADOS ADD COLUMN REGISTRADO TEXT;"
           "ALTER TABLE main.RETORNOS_IMPORTADOS ADD COLUMN DESFEITO TEXT");
}

void criar(db::Connection& c)
{
    store::createMainTable(c, "RETORNOS_IMPORTADOS");
    colunasNovas(c);
}

// The content of the file at `path` through `algorithm`; empty when it cannot be read.
QByteArray hashOfFile(const QString& path, QCryptographicHash::Algorithm algorithm)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QCryptographicHash hash(algorithm);
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    for (;;) {
        const qint64 n = f.read(buffer.data(), buffer.size());
        if (n < 0) return {};
        if (n == 0) break;
        hash.addData(QByteArrayView(buffer.constData(), n));
    }
    return hash.result().toHex();
}

const QByteArray kPrefixo("blake2b:");

// Whether imports were recorded with the fingerprint of before (SHA-256 alone).
bool haImpressoesAntigas(db::Connection& c)
{
    if (!existe(c)) return false;
    return db::Statement(c, "SELECT 1 FROM main.RETORNOS_IMPORTADOS WHERE IMPRESSAO NOT LIKE ? "
                            "LIMIT 1", kTabela)
        .bind({QString::fromLatin1(kPrefixo + '%')})
        .found();
}

}  // namespace

QByteArray textoImpressao(const QCryptographicHash& hash)
{
    return kPrefixo + hash.result().toHex();
}

QByteArray impressaoDigital(const QString& path)
{
    const QByteArray hex = hashOfFile(path, kAlgoritmoImpressao);
    return hex.isEmpty() ? hex : kPrefixo + hex;
}

QByteArray impressaoAntiga(const QString& path)
{
    return hashOfFile(path, QCryptographicHash::Sha256);
}

std::optional<ImportacaoAnterior> importacaoAnterior(db::Connection& c, const QByteArray& impressao)
{
    if (impressao.isEmpty() || !existe(c)) return std::nullopt;
    colunasNovas(c);
    db::Statement st(c, "SELECT DATA, MES, ANO, ARQUIVO, LINHAS FROM main.RETORNOS_IMPORTADOS "
                        "WHERE IMPRESSAO = ? AND DESFEITO IS NULL ORDER BY rowid DESC LIMIT 1",
                     kTabela);
    if (!st.bind({QString::fromLatin1(impressao)}).next()) return std::nullopt;
    return ImportacaoAnterior{QDate::fromString(st.text(0), Qt::ISODate), int(st.int64(1)),
                              int(st.int64(2)), st.text(3), st.int64(4)};
}

std::optional<ImportacaoAnterior> importacaoAnterior(db::Connection& c, const QByteArray& impressao,
                                                     const QString& path)
{
    if (auto anterior = importacaoAnterior(c, impressao)) return anterior;
    if (!haImpressoesAntigas(c)) return std::nullopt;
    const QByteArray antiga = impressaoAntiga(path);
    if (antiga.isEmpty())
        throw db::EngineError(QString("Não foi possível ler o arquivo %1 para conferir se ele já "
                                      "foi importado. Verifique o arquivo e tente de novo.")
                                  .arg(path));
    return importacaoAnterior(c, antiga);
}

std::optional<ImportacaoAnterior> importacaoAnterior(const QString& path)
{
    return importacaoAnterior(db::Session::instance().connectionFor("Tolmare"),
                              impressaoDigital(path), path);
}

void registrarImportacao(db::Connection& c, const QByteArray& impressao, const QString& arquivo,
                         int mes, int ano, const QDate& data, qint64 linhas)
{
    criar(c);
    db::Statement(c, "INSERT INTO main.RETORNOS_IMPORTADOS (IMPRESSAO, ARQUIVO, MES, ANO, DATA, "
                     "LINHAS, REGISTRADO) VALUES (?, ?, ?, ?, ?, ?, ?)", kTabela)
        .bind({QString::fromLatin1(impressao), arquivo, mes, ano, data.toString(Qt::ISODate),
               linhas, QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)})
        .run();
}

int desfazerPosteriores(db::Connection& c, const QDateTime& copia, const QString& motivo)
{
    if (!existe(c)) return 0;
    colunasNovas(c);
    // An import counts as in the copy up to two seconds after its date: the date of a file in an
    // archive drops the odd second, and an import is recorded before its commit dates the table.
    const QString depois = copia.addSecs(2).toUTC().toString(Qt::ISODateWithMs);
    db::Statement st(c, "UPDATE main.RETORNOS_IMPORTADOS SET DESFEITO = ? WHERE DESFEITO IS "
                        "NULL AND (REGISTRADO >= ? OR (REGISTRADO IS NULL AND DATA > ?))",
                     kTabela);
    st.bind({motivo, depois, copia.date().toString(Qt::ISODate)}).run();
    return int(st.changes());
}

namespace {

quint64 inodeOf(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? quint64(st.st_ino) : 0;
}

}  // namespace

RetDebitoAntes antesDaRestauracao(const QString& folder)
{
    const QString path = QDir(folder).filePath("RET_DEBITO.DB");
    return {path, inodeOf(path)};
}

void registrarRestauracao(db::Connection& c, const QString& detalhe, const RetDebitoAntes& antes)
{
    const quint64 agora = inodeOf(antes.path);
    db::Transaction tx(c);
    QString linha = detalhe;
    if (agora != 0 && agora != antes.inode) {
        const QDateTime copia = QFileInfo(antes.path).lastModified();
        const int n = desfazerPosteriores(c, copia, "restauração de " + detalhe);
        linha += "; RET_DEBITO.DB voltou à cópia de " + copia.toString("dd/MM/yyyy hh:mm:ss");
        if (n > 0)
            linha += QString(": %1 importação(ões) de retorno posterior(es) deixa(m) de contar "
                             "como importada(s)").arg(n);
    }
    historico::registrar(c, "Restauração", linha);
    tx.commit();
}

QString perguntaReimportar(const ImportacaoAnterior& a)
{
    return QString("Este arquivo já foi importado em %1 para %2/%3. Importar novamente?")
        .arg(a.data.toString("dd/MM/yyyy"))
        .arg(a.mes, 2, 10, QLatin1Char('0'))
        .arg(a.ano, 4, 10, QLatin1Char('0'));
}

}  // namespace retorno

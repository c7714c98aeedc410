#include "remittance/RetornosImportados.h"

#include "core/engine/Connection.h"
#include "core/engine/Database.h"
#include "core/engine/EngineError.h"
#include "core/engine/Statement.h"

#include <QCryptographicHash>
#include <QFile>

namespace retorno {

namespace {

const QString kTabela = QStringLiteral("RETORNOS_IMPORTADOS");

void criar(db::Connection& c)
{
    c.exec("CREATE TABLE IF NOT EXISTS main.RETORNOS_IMPORTADOS ("
           " IMPRESSAO TEXT NOT NULL, ARQUIVO TEXT NOT NULL, MES INTEGER NOT NULL,"
           " ANO INTEGER NOT NULL, DATA TEXT NOT NULL, LINHAS INTEGER NOT NULL);"
           "CREATE INDEX IF NOT EXISTS main.RETORNOS_IMPORTADOS_IMPRESSAO"
           " ON RETORNOS_IMPORTADOS (IMPRESSAO)");
}

bool existe(db::Connection& c)
{
    return db::Statement(c, "SELECT 1 FROM main.sqlite_master WHERE type = 'table' AND "
                            "name = 'RETORNOS_IMPORTADOS'", kTabela).found();
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

std::optional<ImportacaoAnterior> importacaoAnterior(db::Connection& c, const QByteArray& impressao)
{
    if (impressao.isEmpty() || !existe(c)) return std::nullopt;
    db::Statement st(c, "SELECT DATA, MES, ANO, ARQUIVO, LINHAS FROM main.RETORNOS_IMPORTADOS "
                        "WHERE IMPRESSAO = ? ORDER BY rowid DESC LIMIT 1", kTabela);
    if (!st.bind({QString::fromLatin1(impressao)}).next()) return std::nullopt;
    return ImportacaoAnterior{QDate::fromString(st.text(0), Qt::ISODate), int(st.int64(1)),
                              int(st.int64(2)), st.text(3), st.int64(4)};
}

std::optional<ImportacaoAnterior> importacaoAnterior(db::Connection& c, const QByteArray& impressao,
                                                     const QString& path)
{
    if (auto anterior = importacaoAnterior(c, impressao)) return anterior;
    if (!haImpressoesAntigas(c)) return std::nullopt;
    const QByteArray antiga = hashOfFile(path, QCryptographicHash::Sha256);
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
                     "LINHAS) VALUES (?, ?, ?, ?, ?, ?)", kTabela)
        .bind({QString::fromLatin1(impressao), arquivo, mes, ano, data.toString(Qt::ISODate),
               linhas})
        .run();
}

QString perguntaReimportar(const ImportacaoAnterior& a)
{
    return QString("Este arquivo já foi importado em %1 para %2/%3. Importar novamente?")
        .arg(a.data.toString("dd/MM/yyyy"))
        .arg(a.mes, 2, 10, QLatin1Char('0'))
        .arg(a.ano, 4, 10, QLatin1Char('0'));
}

}  // namespace retorno

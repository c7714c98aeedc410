#include "remittance/server/ImportarRetornoServidor.h"

#include "core/UVariaveis.h"
#include "core/engine/EngineError.h"
#include "core/pgstore/ServerLog.h"
#include "core/pgstore/ServerSchema.h"
#include "core/pgstore/Transaction.h"
#include "remittance/ResumoRetorno.h"
#include "remittance/RetornosImportados.h"
#include "remittance/server/TabelasServidor.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>

#include <optional>
#include <string>
#include <vector>

namespace retorno {

namespace {

using servidor::isoDate;
using servidor::kImportados;
using servidor::kRet;
using servidor::orderOf;
using servidor::whole;

// A line the summary shows, its texts copied out of the file's buffer.
struct Mostrada {
    qint64 numero = 0;
    QByteArray nome, motivo;
    Linha linha() const { return Linha{numero, nome, motivo}; }
};

// A member line as a row of the temporary table tolmare_linhas: its place, the searched texts as
// their bytes, the reason as text.
void appendRow(std::string& out, qint64 pos, const Linha& l, const QByteArray& reason)
{
    const QByteArray nome = nomeDeBusca(l);
    out += std::to_string(pos);
    out += "\t\\\\x";
    out += QByteArray::number(l.numero).toHex().toStdString();
    out += '\t';
    pg::Connection::appendCopyValue(
        out, nome.isEmpty() ? pg::Param() : pg::Param("\\x" + nome.toHex().toStdString()));
    out += '\t';
    pg::Connection::appendCopyValue(
        out, reason.isEmpty() ? pg::Param() : pg::Param(reason.toStdString()));
    out += '\n';
}

// An enrolment number as the remittance sends it (MemberIndex::numeroEnviado): without
// surrounding control characters and blanks, without ".", "/" and "-", without leading zeros.
const char* const kNumeroEnviado =
    "regexp_replace(translate(regexp_replace(\"ASS_MATRICULA\", "
    "'^[\\x01-\\x20]+|[\\x01-\\x20]+$', '', 'g'), './-', ''), '^0+(?=.)', '')";

// The members in account order (pos), each searched field as its bytes.
void copyMembers(pg::Connection& c)
{
    c.exec(
        "CREATE TEMP TABLE tolmare_membros (pos bigint, id bigint, matricula bytea, conta "
        "bytea, nome bytea) ON COMMIT DROP");
    c.exec("INSERT INTO tolmare_membros SELECT row_number() OVER (" + orderOf("ASSOCIADOS.DB",
                                                                            "ID_ASSOCIADOS_CONTA")
           + "), \"ASS_ID\", convert_to(" + kNumeroEnviado
           + ", 'UTF8'), convert_to(\"ASS_CONTA_CORRENTE\", 'UTF8'), convert_to(\"ASS_NOME\", "
             "'UTF8') FROM " + pg::qualified("ASSOCIADOS"));
    c.exec("ANALYZE tolmare_membros");
}

// The first member in account order whose field `field` equals the text `texto`, else begins
// with it. The values that begin with a text lie from it to the text with its last byte raised
// (UTF-8 has no byte 0xFF to carry).
std::string firstMember(const std::string& field, const std::string& texto)
{
    const std::string above = "overlay(" + texto + " placing set_byte(substring(" + texto
                              + " from length(" + texto + ") for 1), 0, get_byte(" + texto
                              + ", length(" + texto + ") - 1) + 1) from length(" + texto
                              + ") for 1)";
    return "coalesce((SELECT m.id FROM tolmare_membros m WHERE m." + field + " = " + texto
           + " ORDER BY m.pos LIMIT 1), (SELECT m.id FROM tolmare_membros m WHERE m." + field
           + " > " + texto + " AND m." + field + " < " + above + " ORDER BY m.pos LIMIT 1))";
}

// The member of each line, into tolmare_achados (pos, motivo, membro): by enrolment number,
// else by account (both the line's number), else by name. Most lines name a member by an
// enrolment number that one equals, found for all of them at once; the searches one at a time
// (by prefix, by account, by name) are left to the rest, through indexes made for them.
void findMembers(pg::Connection& c)
{
    c.exec(
        "CREATE TEMP TABLE tolmare_numeros ON COMMIT DROP AS SELECT t.numero AS texto, f.id "
        "FROM (SELECT DISTINCT numero FROM tolmare_linhas) t LEFT JOIN (SELECT DISTINCT ON "
        "(matricula) matricula, id FROM tolmare_membros WHERE matricula IS NOT NULL ORDER BY "
        "matricula, pos) f ON f.matricula = t.numero");
    const bool missing =
        c.exec("SELECT 1 FROM tolmare_numeros WHERE id IS NULL LIMIT 1").rows() > 0;
    if (missing) {
        c.exec("CREATE INDEX ON tolmare_membros (matricula, pos)");
        c.exec("CREATE INDEX ON tolmare_membros (conta, pos)");
        c.exec("UPDATE tolmare_numeros t SET id = " + firstMember("matricula", "t.texto")
               + " WHERE id IS NULL");
        c.exec("UPDATE tolmare_numeros t SET id = " + firstMember("conta", "t.texto")
               + " WHERE id IS NULL");
    }
    c.exec("CREATE TEMP TABLE tolmare_nomes (texto bytea PRIMARY KEY, id bigint) ON COMMIT DROP");
    if (missing) {
        c.exec(
            "INSERT INTO tolmare_nomes (texto) SELECT DISTINCT l.nome FROM tolmare_linhas l "
            "JOIN tolmare_numeros n ON n.texto = l.numero WHERE n.id IS NULL AND l.nome IS "
            "NOT NULL");
        c.exec("CREATE INDEX ON tolmare_membros (nome, pos)");
        c.exec("UPDATE tolmare_nomes t SET id = " + firstMember("nome", "t.texto"));
    }
    c.exec(
        "CREATE TEMP TABLE tolmare_achados ON COMMIT DROP AS SELECT l.pos, l.motivo, "
        "coalesce(n.id, nm.id) AS membro FROM tolmare_linhas l JOIN tolmare_numeros n ON "
        "n.texto = l.numero LEFT JOIN tolmare_nomes nm ON n.id IS NULL AND nm.texto = l.nome");
}

// Each member found: on its row of the earliest date of the month the return date and the
// reason of its last line; a row on the first of the month for a member without one.
void recordOutcomes(pg::Connection& c, const QDate& first, const QDate& last, const QDate& today)
{
    const pg::Params month{isoDate(first), isoDate(last), isoDate(today),
                           std::to_string(UsuarioAtual)};
    c.exec(
        "CREATE TEMP TABLE tolmare_ultimos (membro bigint PRIMARY KEY, motivo text) ON "
        "COMMIT DROP");
    c.exec(
        "INSERT INTO tolmare_ultimos SELECT DISTINCT ON (membro) membro, motivo FROM "
        "tolmare_achados WHERE membro IS NOT NULL ORDER BY membro, pos DESC");
    c.exec("UPDATE " + kRet + " r SET \"DEB_OCORRENCIA\" = u.motivo, \"DEB_DATA_RETORNO\" = "
           "$3::date FROM (SELECT DISTINCT ON (\"DEB_ASS_ID\") rowid AS alvo, \"DEB_ASS_ID\" AS "
           "membro FROM " + kRet + " WHERE \"DEB_DATA\" BETWEEN $1::date AND $2::date AND "
           "\"DEB_ASS_ID\" IS NOT NULL ORDER BY \"DEB_ASS_ID\", \"DEB_DATA\", rowid) t JOIN "
           "tolmare_ultimos u ON u.membro = t.membro WHERE r.rowid = t.alvo",
           {month[0], month[1], month[2]});
    c.exec("INSERT INTO " + kRet + " (\"DEB_DATA\", \"DEB_DATA_RETORNO\", \"DEB_OCORRENCIA\", "
           "\"DEB_ASS_ID\", \"DEB_REMESSA\", \"DEB_DTA_CAD\", \"DEB_USR_ID\") SELECT $1::date, "
           "$3::date, u.motivo, u.membro, 0, $3::date, $4::bigint FROM tolmare_ultimos u WHERE "
           "NOT EXISTS (SELECT 1 FROM " + kRet + " r WHERE r.\"DEB_DATA\" BETWEEN $1::date AND "
           "$2::date AND r.\"DEB_ASS_ID\" = u.membro) ORDER BY u.membro",
           month);
}

std::optional<ImportacaoAnterior> anterior(pg::Connection& c, const std::string& impressao)
{
    const pg::Result r = c.exec("SELECT \"DATA\", \"MES\", \"ANO\", \"ARQUIVO\", \"LINHAS\" FROM "
                                + kImportados + " WHERE \"IMPRESSAO\" = $1 AND \"DESFEITO\" IS "
                                "NULL ORDER BY rowid DESC LIMIT 1",
                                {impressao});
    if (r.rows() == 0) return std::nullopt;
    return ImportacaoAnterior{QDate::fromString(QString::fromStdString(r.text(0, 0)), Qt::ISODate),
                              int(whole(r.text(0, 1))), int(whole(r.text(0, 2))),
                              QString::fromStdString(r.text(0, 3)), whole(r.text(0, 4))};
}

// The earlier import of the file, under its fingerprint or under the one of before.
std::optional<ImportacaoAnterior> anterior(pg::Connection& c, const std::string& impressao,
                                           const QString& path)
{
    if (auto found = anterior(c, impressao)) return found;
    const std::string older =
        "SELECT 1 FROM " + kImportados + " WHERE \"IMPRESSAO\" NOT LIKE 'blake2b:%' LIMIT 1";
    if (c.exec(older).rows() == 0) return std::nullopt;
    const QByteArray antiga = impressaoAntiga(path);
    if (antiga.isEmpty())
        throw db::EngineError(QString("Não foi possível ler o arquivo %1 para conferir se ele já "
                                      "foi importado. Verifique o arquivo e tente de novo.")
                                  .arg(path));
    return anterior(c, antiga.toStdString());
}

}  // namespace

Resultado importarNoServidor(pg::Connection& c, const QString& path, int month, int year,
                             const QDate& today, const Progress& progress, bool reimportar)
{
    const QDate first(year, month, 1);
    if (month < 1 || month > 12 || year < 1000 || year > 9999 || !first.isValid())
        throw db::EngineError(QString("Mês / Ano inválido: %1/%2. Informe o mês de 01 a 12 e o "
                                      "ano com quatro algarismos (MM/AAAA).")
                                  .arg(month)
                                  .arg(year));
    const QDate last(year, month, first.daysInMonth());
    Resultado r;
    // The import's record, kept to ask the server again after a connection lost at the commit.
    std::string digital, registrado;
    auto work = [&] {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw db::EngineError(
                QString("Não foi possível abrir o arquivo %1: %2").arg(path, file.errorString()));
        if (progress) progress(0, file.size());
        // Another import or a remittance waits for this one; the readers do not.
        servidor::lockAgainstWriters(c, "RET_DEBITO");
        // The statements over the whole file are planned without the time of compiling them,
        // and their sorts kept in memory up to a bound.
        c.exec("SET LOCAL jit = off");
        c.exec("SET LOCAL work_mem = '32MB'");
        c.exec(
            "CREATE TEMP TABLE tolmare_linhas (pos bigint, numero bytea, nome bytea, motivo "
            "text) ON COMMIT DROP");
        QCryptographicHash impressao(kAlgoritmoImpressao);
        LinhasDoRetorno linhas(file, impressao, progress);
        Motivo motivo;
        std::vector<Mostrada> mostradas;
        qint64 pos = 0;
        // The lines go in pieces of about 64 KiB, read as they are sent.
        auto nextLines = [&](std::string& data) {
            Linha l;
            while (data.size() < 65536 && linhas.next(l)) {
                const QByteArray& reason = motivo.utf8(l.motivo);
                if (reason.contains('\0'))
                    throw db::EngineError(
                        QString("A linha %1 do arquivo %2 tem um caractere nulo no motivo "
                                "(posições 61 a 90), que a tabela não guarda: corrija a linha ou "
                                "peça o arquivo de novo. Nada foi importado e o arquivo manteve "
                                "o nome.")
                            .arg(linhas.lidas())
                            .arg(path));
                appendRow(data, ++pos, l, reason);
                if (pos <= kLinhasNoResumo)
                    mostradas.push_back({l.numero, l.nome.toByteArray(), l.motivo.toByteArray()});
            }
            return !data.empty();
        };
        c.copyIn("COPY tolmare_linhas (pos, numero, nome, motivo) FROM STDIN", nextLines);
        if (linhas.error()) throw db::EngineError(erroDeLeitura(path, file.errorString()));
        if (linhas.membros() == 0) throw db::EngineError(semLinhaDeAssociado(path));
        digital = textoImpressao(impressao).toStdString();
        if (auto earlier = anterior(c, digital, path)) {
            if (!reimportar) throw JaImportado{*earlier};
            // The import of before stops counting: this one counts in its place.
            c.exec("UPDATE " + kImportados + " SET \"DESFEITO\" = $2 WHERE \"IMPRESSAO\" = $1 AND "
                   "\"DESFEITO\" IS NULL",
                   {digital, "importado de novo em "
                                 + QDateTime::currentDateTimeUtc()
                                       .toString(Qt::ISODateWithMs).toStdString()});
        }

        servidor::removeRepeated(c);
        copyMembers(c);
        findMembers(c);
        recordOutcomes(c, first, last, today);

        QStringList lines;
        Resumo resumo(lines, month, year);
        const std::string shownLines = std::to_string(kLinhasNoResumo);
        const pg::Result shown =
            c.exec("SELECT membro IS NOT NULL FROM tolmare_achados WHERE pos <= $1 ORDER BY pos",
                   {shownLines});
        for (int i = 0; i < shown.rows() && size_t(i) < mostradas.size(); ++i)
            resumo.linha(mostradas[size_t(i)].linha(), shown.text(i, 0) == "t");
        const pg::Result rest = c.exec(
            "SELECT count(membro), count(*) - count(membro) FROM tolmare_achados WHERE pos > $1",
            {shownLines});
        resumo.naoMostradas(whole(rest.text(0, 0)), whole(rest.text(0, 1)));
        resumo.fim();

        registrado = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toStdString();
        c.exec("INSERT INTO " + kImportados + " (\"IMPRESSAO\", \"ARQUIVO\", \"MES\", \"ANO\", "
               "\"DATA\", \"LINHAS\", \"REGISTRADO\") VALUES ($1, $2, $3, $4, $5, $6, $7)",
               {digital, path.toStdString(), std::to_string(month), std::to_string(year),
                isoDate(today), std::to_string(linhas.lidas()), registrado});
        pg::appendLog(c, QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toStdString(),
                      UsuarioAtual, "Retorno",
                      detalheImportacao(path, first, linhas.lidas(), resumo.importadas(),
                                        resumo.naoEncontradas())
                          .toStdString());
        r.resumo = lines;
    };
    try {
        pg::inTransaction(c, work);
    } catch (const pg::PgError& e) {
        if (e.kind() != pg::ErrorKind::ConnectionLost || registrado.empty()) throw;
        // Lost with the commit under way: the server, asked again, tells by the record.
        bool recorded = false;
        try {
            recorded = c.exec("SELECT 1 FROM " + kImportados + " WHERE \"IMPRESSAO\" = $1 AND "
                              "\"REGISTRADO\" = $2",
                              {digital, registrado})
                           .rows()
                       > 0;
        } catch (const pg::PgError&) {
            throw e;
        }
        if (!recorded)
            throw pg::PgError(pg::ErrorKind::ConnectionLost,
                              "A conexão com o servidor de dados foi perdida no meio da "
                              "importação. Nada foi importado.");
    }
    r.novoNome = renomearImportado(path, month, year);
    return r;
}

}  // namespace retorno

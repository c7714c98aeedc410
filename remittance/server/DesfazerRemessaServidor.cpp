#include "remittance/server/DesfazerRemessaServidor.h"

#include "core/UVariaveis.h"
#include "core/pgstore/ServerLog.h"
#include "core/pgstore/ServerSchema.h"
#include "core/pgstore/Transaction.h"
#include "remittance/ArquivoPendente.h"
#include "remittance/server/PendenteServidor.h"
#include "remittance/server/TabelasServidor.h"

#include <QDateTime>
#include <QFileInfo>

#include <optional>

namespace remessa {

namespace {

using servidor::kDebito;
using servidor::kDesfazer;
using servidor::kImportados;
using servidor::kLinhas;
using servidor::kParametros;
using servidor::kRet;
using servidor::whole;

using desfazer::Cabecalho;

std::optional<Cabecalho> lerCabecalho(pg::Connection& c)
{
    const pg::Result r = c.exec(
        "SELECT \"REMESSA\", \"ARQUIVO\", \"DATA_DEBITO\", "
        "\"IMPORTACOES\", \"DESFEITA\", \"DESTINO\" FROM "
        + kDesfazer + " LIMIT 1");
    if (r.rows() == 0) return std::nullopt;
    return Cabecalho{whole(r.text(0, 0)),
                     QString::fromStdString(r.text(0, 1)),
                     QDate::fromString(QString::fromStdString(r.text(0, 2)), Qt::ISODate),
                     whole(r.text(0, 3)),
                     whole(r.text(0, 4)) != 0,
                     QString::fromStdString(r.text(0, 5))};
}

struct Recusa {
    QString message;
};

// A rename an undo committed but did not carry out: done when the file lies on this computer,
// and the record of the undo dropped.
QString concluir(pg::Connection& c)
{
    const std::optional<Cabecalho> h = lerCabecalho(c);
    if (!h || !h->desfeita) return {};
    if (const QString why = desfazer::renomear(h->remessa, h->arquivo, h->destino); !why.isEmpty())
        return why;
    c.exec("DELETE FROM " + kDesfazer);
    return {};
}

// Why the remittance cannot be undone now; empty when it can. The company's row is locked.
QString recusa(pg::Connection& c, const Cabecalho& h)
{
    if (h.desfeita) return desfazer::recusa(h.remessa, true, false, false, h.dataDebito);
    const pg::Result n = c.exec("SELECT \"EMP_NR_REM_PREVI\" FROM " + kParametros
                                + servidor::orderOf("PARAMETROS.DB", "") + " LIMIT 1 FOR UPDATE");
    const bool numeroMudou =
        n.rows() == 0 || QByteArray::fromStdString(n.text(0, 0)).toDouble() != double(h.remessa);
    const pg::Params mes{std::to_string(h.remessa), std::to_string(h.dataDebito.month()),
                         std::to_string(h.dataDebito.year()), std::to_string(h.importacoes)};
    const bool voltou =
        c.exec("SELECT EXISTS (SELECT 1 FROM " + kRet + " WHERE \"DEB_REMESSA\" = $1 AND "
               "\"DEB_DATA_RETORNO\" IS NOT NULL) OR (SELECT count(*) FROM " + kImportados
               + " WHERE \"MES\" = $2 AND \"ANO\" = $3) > $4::bigint",
               mes)
            .text(0, 0)
        == "t";
    return desfazer::recusa(h.remessa, false, numeroMudou, voltou, h.dataDebito);
}

// A change of the undo; a key the table refuses is a row put back that clashes with one added
// since. Returns the rows changed.
long long repor(pg::Connection& c, const std::string& sql, const pg::Params& params,
                const QString& qual)
{
    try {
        return c.exec(sql, params).affected();
    } catch (const pg::PgError& e) {
        if (e.kind() == pg::ErrorKind::Constraint) throw Recusa{qual + desfazer::kDebitoDeNovo};
        throw;
    }
}

long long linhas(pg::Connection& c, const char* tabela, const char* op)
{
    return whole(
        c.exec("SELECT count(*) FROM " + kLinhas + " WHERE \"TABELA\" = $1 AND \"OP\" = $2",
               {std::string(tabela), std::string(op)})
            .text(0, 0));
}

// Puts back what the record kept, each value from its text: the number, the debits re-dated
// (still as the remittance left them), the debits deleted, the RET_DEBITO rows of the date.
void reporLinhas(pg::Connection& c, const Cabecalho& h, const QString& qual)
{
    const std::string date = servidor::isoDate(h.dataDebito);
    const std::string of = " FROM " + kLinhas + " l WHERE l.\"TABELA\" = ";
    repor(c, "DELETE FROM " + kRet + " WHERE \"DEB_DATA\" = $1::date", {date}, qual);
    if (repor(c,
              "UPDATE " + kParametros + " p SET \"EMP_NR_REM_PREVI\" = l.\"O1\"::float8" + of
                  + "'PARAMETROS' AND p.rowid = l.\"RID\" AND p.\"EMP_NR_REM_PREVI\" IS NOT "
                    "DISTINCT FROM l.\"N1\"::float8",
              {}, qual)
        != linhas(c, "PARAMETROS", "U"))
        throw Recusa{qual + desfazer::kNumeroMudou};
    if (repor(c,
              "UPDATE " + kDebito + " d SET \"DEB_DATA\" = l.\"O1\"::date" + of
                  + "'DEBITO' AND l.\"OP\" = 'U' AND d.rowid = l.\"RID\" AND d.\"DEB_DATA\" IS "
                    "NOT DISTINCT FROM l.\"N1\"::date AND d.\"DEB_ASS_ID\" IS NOT DISTINCT FROM "
                    "l.\"O2\"::float8 AND d.\"DEB_VALOR\" IS NOT DISTINCT FROM l.\"O3\"::numeric "
                    "AND d.\"DEB_DTA_CAD\" IS NOT DISTINCT FROM l.\"O4\"::date AND "
                    "d.\"DEB_USR_ID\" IS NOT DISTINCT FROM l.\"O5\"::float8",
              {}, qual)
        != linhas(c, "DEBITO", "U"))
        throw Recusa{qual + desfazer::kDebitoAlterado};
    repor(c, "INSERT INTO " + kDebito + " (rowid, \"DEB_DATA\", \"DEB_ASS_ID\", \"DEB_VALOR\", "
             "\"DEB_DTA_CAD\", \"DEB_USR_ID\") SELECT l.\"RID\", l.\"O1\"::date, l.\"O2\"::float8, "
             "l.\"O3\"::numeric, l.\"O4\"::date, l.\"O5\"::float8" + of + "'DEBITO' AND l.\"OP\" = "
             "'D' ORDER BY l.\"SEQ\"",
          {}, qual);
    repor(c, "INSERT INTO " + kRet + " (rowid, \"DEB_DATA\", \"DEB_DATA_RETORNO\", \"DEB_ASS_ID\", "
             "\"DEB_REMESSA\", \"DEB_VALOR\", \"DEB_OCORRENCIA\", \"DEB_DTA_CAD\", \"DEB_USR_ID\") "
             "SELECT l.\"RID\", l.\"O1\"::date, l.\"O2\"::date, l.\"O3\"::float8, l.\"O4\"::float8, "
             "l.\"O5\"::numeric, l.\"O6\", l.\"O7\"::date, l.\"O8\"::float8" + of + "'RET_DEBITO' "
             "ORDER BY l.\"SEQ\"",
          {}, qual);
}

}  // namespace

ResultadoDesfazer desfazerNoServidor(pg::Connection& c)
{
    using Kind = ResultadoDesfazer::Kind;
    const QString& nada = desfazer::kNadaAlterado;
    std::optional<Cabecalho> h;
    QString destino;
    // After the commit: the file renamed, and the summary.
    auto feito = [&] {
        const QString left = concluir(c);
        QString message = desfazer::feito(h->remessa, h->dataDebito, h->arquivo, destino);
        if (!left.isEmpty()) return ResultadoDesfazer{Kind::Failed, message + "\n" + left};
        if (!QFileInfo::exists(destino))
            message += "\nO arquivo " + h->arquivo + " não está neste computador: renomeie-o para "
                       + destino + " onde ele estiver.";
        return ResultadoDesfazer{Kind::Done, message};
    };
    try {
        const servidor::TravaDaRemessa lock(c);
        if (const QStringList left = concluirPendentes(*servidor::registroNoServidor(c));
            !left.isEmpty())
            return {Kind::Failed, left.join("\n")};
        if (const QString left = concluir(c); !left.isEmpty()) return {Kind::Failed, left};
        pg::inTransaction(c, [&] {
            lock.confirmar();
            servidor::lockAgainstWriters(c, "DEBITO");
            servidor::lockAgainstWriters(c, "RET_DEBITO");
            h = lerCabecalho(c);
            if (!h) throw Recusa{desfazer::kSemRemessa};
            if (const QString why = recusa(c, *h); !why.isEmpty()) throw Recusa{why + nada};
            const QString qual = desfazer::naoPode(h->remessa);
            try {
                reporLinhas(c, *h, qual);
            } catch (const Recusa& r) {
                throw Recusa{r.message + nada};
            }
            destino = desfazer::destinoLivre(h->arquivo);
            c.exec("UPDATE " + kDesfazer + " SET \"DESFEITA\" = 1, \"DESTINO\" = $1",
                   {destino.toStdString()});
            c.exec("DELETE FROM " + kLinhas);
            pg::appendLog(c, QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toStdString(),
                          UsuarioAtual, "Remessa",
                          desfazer::linhaDoHistorico(h->remessa, h->dataDebito, h->arquivo, destino)
                              .toStdString());
        });
        return feito();
    } catch (const Recusa& r) {
        return {Kind::Refused, r.message};
    } catch (const pg::PgError& e) {
        if (e.kind() != pg::ErrorKind::ConnectionLost)
            return {Kind::Failed, QString::fromStdString(e.what()) + nada};
        // Lost with the commit under way: the server, asked again under the lock, tells by the
        // record whether the undo was recorded.
        if (h && !destino.isEmpty()) {
            try {
                const servidor::TravaDaRemessa again(c);
                const std::optional<Cabecalho> now = lerCabecalho(c);
                if (now && now->remessa == h->remessa && now->desfeita && now->destino == destino)
                    return feito();
                if (now && now->remessa == h->remessa && !now->desfeita)
                    return {Kind::Failed,
                            "A conexão com o servidor de dados foi perdida no meio "
                            "do desfazimento."
                                + nada};
            } catch (const pg::PgError&) {
                // The server cannot tell yet: said below.
            }
        }
        return {Kind::Failed, QString::fromStdString(e.what())};
    }
}

}  // namespace remessa

#include "remittance/server/GerarRemessaServidor.h"

#include "core/Cp1252.h"
#include "core/UVariaveis.h"
#include "core/pgstore/Money.h"
#include "core/pgstore/ServerLog.h"
#include "core/pgstore/ServerSchema.h"
#include "core/pgstore/Transaction.h"
#include "remittance/ArquivoPendente.h"
#include "remittance/PlanoData.h"
#include "remittance/ProvaRemessa.h"
#include "remittance/RemessaRecords.h"
#include "remittance/TextosRemessa.h"
#include "remittance/server/PendenteServidor.h"
#include "remittance/server/TabelasServidor.h"

#include <QDateTime>

#include <cmath>
#include <limits>
#include <optional>

namespace remessa {

namespace {

using servidor::isoDate;
using servidor::kAssociados;
using servidor::kDebito;
using servidor::kDesfazer;
using servidor::kImportados;
using servidor::kLinhas;
using servidor::kParametros;
using servidor::kRet;
using servidor::orderColumns;
using servidor::whole;

const char* const kAguardando = "Aguardando Retorno";
constexpr int kFetchRows = 10000;

struct Refusal {
    QString message;
};
struct NoDebits {};

bool anyDebit(pg::Connection& c)
{
    return c.exec("SELECT 1 FROM " + kDebito + " LIMIT 1").rows() > 0;
}

// Runs `sql` through a cursor, handing each piece of rows to `each`: memory holds one piece.
void eachPiece(pg::Connection& c, const std::string& sql, const pg::Params& params,
               const std::function<void(const pg::Result&)>& each)
{
    c.exec("DECLARE tolmare_pedaco NO SCROLL CURSOR FOR " + sql, params);
    for (;;) {
        const pg::Result r = c.exec("FETCH " + std::to_string(kFetchRows) + " FROM tolmare_pedaco");
        if (r.rows() > 0) each(r);
        if (r.rows() < kFetchRows) break;
    }
    c.exec("CLOSE tolmare_pedaco");
}

struct Parametros {
    std::string rowid;
    QString codInt, codVerba;
    double number = 0;
};

// The company's row, first in key order, locked until the commit: a second generation reads
// the number only once this one has advanced it.
std::optional<Parametros> readParametros(pg::Connection& c)
{
    const pg::Result r = c.exec(
        "SELECT rowid, \"EMP_COD_INT_PREVI\", \"EMP_COD_VERBA_PREVI\", "
        "\"EMP_NR_REM_PREVI\" FROM "
        + kParametros + servidor::orderOf("PARAMETROS.DB", "") + " LIMIT 1 FOR UPDATE");
    if (r.rows() == 0) return std::nullopt;
    return Parametros{r.text(0, 0), QString::fromStdString(r.text(0, 1)),
                      QString::fromStdString(r.text(0, 2)),
                      QByteArray::fromStdString(r.text(0, 3)).toDouble()};
}

// The columns of a table, each as text ("t.X::text"), for the undo record.
std::string asText(const std::vector<const char*>& fields, const char* alias)
{
    std::string out;
    for (const char* f : fields)
        out += std::string(out.empty() ? "" : ", ") + alias + ".\"" + f + "\"::text";
    return out;
}

std::string columns(char side, size_t n)
{
    std::string out;
    for (size_t i = 1; i <= n; ++i)
        out += (i > 1 ? ", \"" : "\"") + std::string(1, side) + std::to_string(i) + '"';
    return out;
}

const std::vector<const char*> kDebitoFields{"DEB_DATA", "DEB_ASS_ID", "DEB_VALOR", "DEB_DTA_CAD",
                                             "DEB_USR_ID"};
const std::vector<const char*> kRetFields{"DEB_DATA",    "DEB_DATA_RETORNO", "DEB_ASS_ID",
                                          "DEB_REMESSA", "DEB_VALOR",        "DEB_OCORRENCIA",
                                          "DEB_DTA_CAD", "DEB_USR_ID"};

// What undoes the remittance, as the file store keeps it: the record of the remittance, the
// RET_DEBITO rows of the date and the number as they are, each value as text. It replaces the
// record of the remittance before.
void recordUndo(pg::Connection& c, qint64 numero, const QString& path, const QDate& debitDate,
                const Parametros& par)
{
    const std::string date = isoDate(debitDate);
    c.exec("DELETE FROM " + kLinhas);
    c.exec("DELETE FROM " + kDesfazer);
    c.exec("INSERT INTO " + kDesfazer + " (\"REMESSA\", \"ARQUIVO\", \"DATA_DEBITO\", "
           "\"GERADA_EM\", \"IMPORTACOES\") SELECT $1, $2, $3, $4, count(*) FROM " + kImportados
           + " WHERE \"MES\" = $5 AND \"ANO\" = $6",
           {std::to_string(numero), path.toStdString(), date,
            QDateTime::currentDateTime().toString(Qt::ISODate).toStdString(),
            std::to_string(debitDate.month()), std::to_string(debitDate.year())});
    c.exec("INSERT INTO " + kLinhas + " (\"TABELA\", \"OP\", \"RID\", "
               + columns('O', kRetFields.size()) + ") SELECT 'RET_DEBITO', 'S', r.rowid, "
               + asText(kRetFields, "r") + " FROM " + kRet
               + " r WHERE r.\"DEB_DATA\" = $1::date ORDER BY r.rowid",
           {date});
    c.exec("INSERT INTO " + kLinhas + " (\"TABELA\", \"OP\", \"RID\", \"O1\", \"N1\") SELECT "
           "'PARAMETROS', 'U', rowid, \"EMP_NR_REM_PREVI\"::text, $1 FROM " + kParametros
           + " WHERE rowid = $2",
           {std::to_string(numero), par.rowid});
}

// The date step: the debits of the members with one off the date, by member and in key
// order, planned a member at a time (planejarData), each debit deleted logged with the one
// kept; the plan goes into a temporary table, the debits it changes into the undo record, and
// two statements carry it out.
void bringToDate(pg::Connection& c, const QDate& debitDate)
{
    const std::string iso = isoDate(debitDate);
    const std::string when = QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toStdString();
    c.exec("CREATE TEMP TABLE tolmare_passo (rid bigint PRIMARY KEY, op text) ON COMMIT DROP");
    // A debit without a member counts as a member of its own, the least of all.
    const std::string membro = "coalesce(\"DEB_ASS_ID\", '-Infinity'::float8)";
    std::string plano;
    PassoPorMembro passo(
        debitDate,
        [&](qint64 rowid, const QByteArray& linha) {
            pg::appendLog(c, when, UsuarioAtual, "Remessa", linha.toStdString());
            plano += std::to_string(rowid) + "\tD\n";
        },
        [&](qint64 rowid) { plano += std::to_string(rowid) + "\tU\n"; });
    auto sendPlan = [&] {
        servidor::copyRows(c, "COPY tolmare_passo (rid, op) FROM STDIN", plano);
    };
    eachPiece(c,
              "SELECT d.rowid, d.\"DEB_DATA\", d.\"DEB_ASS_ID\", d.\"DEB_VALOR\" FROM " + kDebito
                  + " d JOIN (SELECT DISTINCT " + membro + " AS m FROM " + kDebito
                  + " WHERE \"DEB_DATA\" IS DISTINCT FROM $1::date) f ON f.m = coalesce(d."
                  "\"DEB_ASS_ID\", '-Infinity'::float8) ORDER BY d.\"DEB_ASS_ID\" NULLS FIRST, "
                  + orderColumns("DEBITO.DB", ""),
              {iso}, [&](const pg::Result& r) {
                  for (int i = 0; i < r.rows(); ++i) {
                      const std::string data = r.text(i, 1);
                      passo.add(whole(r.text(i, 0)), QByteArrayView(data.data(), data.size()),
                                r.isNull(i, 2) ? kSemMembro
                                               : QByteArray::fromStdString(r.text(i, 2)).toDouble(),
                                r.isNull(i, 3)
                                    ? std::nullopt
                                    : std::optional<double>(
                                        QByteArray::fromStdString(r.text(i, 3)).toDouble()));
                  }
                  sendPlan();
              });
    passo.finish();
    sendPlan();
    if (passo.apagados() == 0 && passo.redatados() == 0) return;
    c.exec("INSERT INTO " + kLinhas + " (\"TABELA\", \"OP\", \"RID\", \"N1\", "
           + columns('O', kDebitoFields.size()) + ") SELECT 'DEBITO', p.op, d.rowid, CASE p.op "
           "WHEN 'U' THEN $1 END, " + asText(kDebitoFields, "d") + " FROM tolmare_passo p JOIN "
           + kDebito + " d ON d.rowid = p.rid ORDER BY p.rid",
           {iso});
    const long long dropped = c.exec("DELETE FROM " + kDebito + " d USING tolmare_passo p WHERE "
                                     "d.rowid = p.rid AND p.op = 'D'").affected();
    const long long moved = c.exec("UPDATE " + kDebito + " d SET \"DEB_DATA\" = $1::date FROM "
                                   "tolmare_passo p WHERE d.rowid = p.rid AND p.op = 'U'",
                                   {iso}).affected();
    if (dropped != passo.apagados() || moved != passo.redatados())
        throw Refusal{
            "Os débitos levados à data de débito não conferem com o que foi "
            "planejado: informe o suporte."};
}

// The members sent, each with the sum of its debits, in the order sent.
class Enviados {
public:
    explicit Enviados(pg::Connection& c) : c_(c)
    {
        c_.exec(
            "CREATE TEMP TABLE tolmare_enviados (pos bigint, membro bigint, valor "
            "numeric(19,4)) ON COMMIT DROP");
    }
    void add(qint64 member, Currency amount)
    {
        if (pending_ && member == member_) {
            amount_ += amount;
            return;
        }
        flush();
        pending_ = true;
        member_ = member;
        amount_ = amount;
    }
    // Sends what was added but the member still open.
    void send()
    {
        servidor::copyRows(c_, "COPY tolmare_enviados (pos, membro, valor) FROM STDIN", rows_);
    }
    void finish()
    {
        flush();
        send();
    }

private:
    void flush()
    {
        if (!pending_) return;
        pending_ = false;
        rows_ += std::to_string(++pos_) + '\t' + std::to_string(member_) + '\t'
                 + pg::Money{amount_}.text() + '\n';
    }
    pg::Connection& c_;
    std::string rows_;
    bool pending_ = false;
    qint64 member_ = 0, pos_ = 0;
    Currency amount_ = 0;
};

// Each member sent: its row of the date (one per member once the repeated ones are gone)
// edited, or else one added, reset to "Aguardando Retorno" without a return date.
void recordSent(pg::Connection& c, const QDate& debitDate, const QDate& today, qint64 numero)
{
    const pg::Params p{std::to_string(numero), isoDate(debitDate), isoDate(today),
                       std::to_string(UsuarioAtual), std::string(kAguardando)};
    c.exec("ANALYZE tolmare_enviados");
    c.exec("UPDATE " + kRet + " r SET \"DEB_REMESSA\" = $1, \"DEB_VALOR\" = e.valor, "
           "\"DEB_OCORRENCIA\" = $3, \"DEB_DATA_RETORNO\" = NULL FROM tolmare_enviados e WHERE "
           "r.\"DEB_DATA\" = $2::date AND r.\"DEB_ASS_ID\" = e.membro",
           {p[0], p[1], p[4]});
    c.exec("INSERT INTO " + kRet + " (\"DEB_DATA\", \"DEB_ASS_ID\", \"DEB_REMESSA\", "
           "\"DEB_VALOR\", \"DEB_OCORRENCIA\", \"DEB_DTA_CAD\", \"DEB_USR_ID\") SELECT $2::date, "
           "e.membro, $1, e.valor, $5, $3::date, $4 FROM tolmare_enviados e WHERE NOT EXISTS "
           "(SELECT 1 FROM " + kRet + " r WHERE r.\"DEB_DATA\" = $2::date AND r.\"DEB_ASS_ID\" "
           "= e.membro) ORDER BY e.pos",
           p);
}

// After a lost connection, whether the transaction committed, as the record of the file at
// `temporario` says once the lock is taken again; the file is then put in place or removed.
struct Apurado {
    std::optional<bool> gravada;  // none: the server could not tell
    QStringList problemas;        // a committed file that could not be put in place
};

Apurado apurar(pg::Connection& c, std::optional<servidor::TravaDaRemessa>& lock,
               const QString& temporario)
{
    Apurado out;
    try {
        lock.reset();
        lock.emplace(c);
        std::unique_ptr<RegistroPendente> registro = servidor::registroNoServidor(c);
        for (const RegistroPendente::Pendente& p : registro->listar())
            if (p.temporario == temporario) out.gravada = p.concluido;
        if (out.gravada) out.problemas = concluirPendentes(*registro);
    } catch (const pg::PgError&) {
        out.gravada.reset();
    }
    return out;
}

}  // namespace

Outcome gerarNoServidor(pg::Connection& c, const QString& path, const QDate& debitDate,
                        const QDate& today, const Progress& progress)
{
    Outcome out;
    auto fail = [&](Outcome::Kind kind, const QString& message) {
        out.kind = kind;
        out.message = message;
        return out;
    };
    if (const auto refused = recusaDoCaminho(path)) return *refused;
    if (!debitDate.isValid())
        return fail(Outcome::Kind::Failed, "Informe uma data de débito válida (DD/MM/AAAA).");
    const QString name = namePart(path);
    // The file goes (removed, or kept for the next generation) before the lock is let go.
    std::optional<servidor::TravaDaRemessa> lock;
    std::optional<ArquivoPendente> file;
    qint64 remaining = 0, total = 0, advanced = 0;
    try {
        lock.emplace(c);
        std::unique_ptr<RegistroPendente> registro = servidor::registroNoServidor(c);
        if (const QStringList left = concluirPendentes(*registro); !left.isEmpty())
            return fail(Outcome::Kind::Failed, left.join("\n"));
        if (!anyDebit(c))
            return fail(Outcome::Kind::NoDebits, "Não existem débitos a serem gerados.");
        file.emplace(std::move(registro), path);
        if (!file->isOpen())
            return fail(Outcome::Kind::CannotCreate, "Erro ao criar arquivo: " + path);

        pg::inTransaction(c, [&] {
            lock->confirmar();
            if (!file->recomecar()) throw Refusal{falhaDeGravacao(path, file->errorString())};
            auto write = [&](const QByteArray& bytes) {
                if (!file->write(bytes)) throw Refusal{falhaDeGravacao(path, file->errorString())};
            };
            c.exec("SET LOCAL jit = off");
            c.exec("SET LOCAL work_mem = '32MB'");
            // Other remittances, imports and debit changes wait for this one; members, reading
            // and the rest go on.
            servidor::lockAgainstWriters(c, "DEBITO");
            servidor::lockAgainstWriters(c, "RET_DEBITO");
            if (!anyDebit(c)) throw NoDebits{};
            const qint64 debits =
                progress ? whole(c.exec("SELECT count(*) FROM " + kDebito).text(0, 0)) : 0;
            const std::optional<Parametros> par = readParametros(c);
            if (!par)
                throw Refusal{
                    "A tabela PARAMETROS.DB não tem os parâmetros da empresa: "
                    "cadastre-os antes de gerar a remessa."};
            if (par->codInt.trimmed().isEmpty() || par->codVerba.trimmed().isEmpty())
                throw Refusal{
                    "Os códigos PREVI da empresa (interface e verba) estão vazios em "
                    "PARAMETROS.DB: cadastre-os antes de gerar a remessa."};
            advanced = std::llround(par->number) + 1;
            servidor::removeRepeated(c);
            recordUndo(c, advanced, path, debitDate, *par);
            bringToDate(c, debitDate);

            write(cp1252::encode(headerRecord(name, today)) + "\r\n");
            const Detalhes detalhes(par->codInt, par->codVerba, debitDate);
            Enviados enviados(c);
            qint64 written = 0;
            remaining = total = 0;
            QByteArray block;
            // After the date step every debit lies on the debit date: in key order they come
            // by member, then value.
            eachPiece(c,
                      "SELECT d.\"DEB_ASS_ID\", d.\"DEB_VALOR\", a.\"ASS_ID\", a.\"ASS_MATRICULA\" "
                      "FROM " + kDebito + " d LEFT JOIN " + kAssociados + " a ON a.\"ASS_ID\" = "
                      "d.\"DEB_ASS_ID\" ORDER BY " + orderColumns("DEBITO.DB", ""),
                      {}, [&](const pg::Result& r) {
                          for (int i = 0; i < r.rows(); ++i) {
                              ++remaining;
                              if (r.isNull(i, 2)) continue;  // member missing
                              const std::string matricula = r.text(i, 3);
                              const QByteArrayView mat = Detalhes::aparada(matricula);
                              if (mat.isEmpty()) continue;  // no enrolment number: not sent
                              const std::optional<pg::Money> m =
                                  r.isNull(i, 1) ? std::nullopt : pg::Money::fromText(r.text(i, 1));
                              const double value = m ? double(m->tenThousandths) / 10000 : 0;
                              if (!m || !valorCabe(value, 13))
                                  throw Refusal{problemaDoValor(
                                      bool(m), value,
                                      QByteArray::fromStdString(r.text(i, 0)).toDouble(),
                                      debitDate)};
                              ++written;
                              total += m->tenThousandths / 100;
                              if (progress) progress(int(written), int(debits));
                              detalhes.adicionar(block, mat, m->tenThousandths);
                              enviados.add(whole(r.text(i, 2)), m->tenThousandths);
                          }
                          write(block);
                          block.clear();
                          enviados.send();
                      });
            enviados.finish();
            recordSent(c, debitDate, today, advanced);
            if (const QString tooBig = totalNaoCabe(total); !tooBig.isEmpty())
                throw Refusal{tooBig};
            write(cp1252::encode(trailerRecord(written, Currency(total) * 100)) + "\r\n");
            if (!file->finish()) throw Refusal{falhaDeGravacao(path, file->errorString())};
            // Read back from the disk, the file must hold what was counted.
            if (const QString differs =
                    provarArquivo(file->temporaryPath(), written, Currency(total) * 100);
                !differs.isEmpty())
                throw Refusal{differs};
            c.exec("UPDATE " + kParametros + " SET \"EMP_NR_REM_PREVI\" = $1 WHERE rowid = $2",
                   {std::to_string(advanced), par->rowid});
            file->markDone();
            pg::appendLog(
                c, QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toStdString(),
                UsuarioAtual, "Remessa",
                linhaDoHistorico(advanced, debitDate, path, written, total).toStdString());
        });
        out.summary = resumoDaRemessa(remaining, total, today, advanced, path);
        out.message = out.summary.join("\r");
        if (const QString why = file->install(); !why.isEmpty())
            return fail(Outcome::Kind::Failed, arquivoNaoPosto(advanced, path, why));
        return out;
    } catch (const Refusal& r) {
        return fail(Outcome::Kind::Failed, r.message + kNadaAlterado);
    } catch (const NoDebits&) {
        return fail(Outcome::Kind::NoDebits, "Não existem débitos a serem gerados.");
    } catch (const pg::PgError& e) {
        if (e.kind() == pg::ErrorKind::Busy)
            return fail(Outcome::Kind::Failed, kOcupado + kNadaAlterado);
        if (e.kind() == pg::ErrorKind::ConnectionLost && file) {
            // The file (finished already when the loss came with the commit) and its record
            // stay; the server, asked again, settles them.
            file->manter();
            const Apurado a = apurar(c, lock, file->temporaryPath());
            if (!a.problemas.isEmpty()) return fail(Outcome::Kind::Failed, a.problemas.join("\n"));
            if (a.gravada && *a.gravada) {
                out.summary = resumoDaRemessa(remaining, total, today, advanced, path);
                out.message = out.summary.join("\r");
                return out;
            }
            if (a.gravada)
                return fail(Outcome::Kind::Failed,
                            "A conexão com o servidor de dados foi perdida no meio da remessa."
                                + kNadaAlterado);
            return fail(Outcome::Kind::Failed,
                        QString::fromStdString(e.what())
                            + "\nO arquivo de remessa será posto no lugar, ou removido, na "
                              "próxima geração de remessa, conforme o que o servidor gravou.");
        }
        return fail(Outcome::Kind::Failed, QString::fromStdString(e.what()) + kNadaAlterado);
    }
}

}  // namespace remessa

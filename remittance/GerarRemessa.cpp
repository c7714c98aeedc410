#include "remittance/GerarRemessa.h"

#include "core/Cp1252.h"
#include "core/Historico.h"
#include "core/TextHelpers.h"
#include "core/UVariaveis.h"
#include "core/engine/Connection.h"
#include "core/engine/Database.h"
#include "core/engine/EngineError.h"
#include "core/engine/Statement.h"
#include "remittance/ArquivoPendente.h"
#include "remittance/DesfazerRemessa.h"
#include "remittance/OrdemChave.h"
#include "remittance/PlanoData.h"
#include "remittance/ProvaRemessa.h"
#include "remittance/RemessaRecords.h"
#include "remittance/TextosRemessa.h"

#include <QDir>
#include <QLockFile>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>

namespace remessa {

namespace {

using db::EngineError;
using Kind = db::Statement::Kind;

const QString kAguardando = "Aguardando Retorno";
const QString kDebito = "DEBITO.DB";
const QString kRetDebito = "RET_DEBITO.DB";

db::Connection& tables()
{
    db::Connection& c = db::Session::instance().connectionFor("Tolmare");
    for (const char* f : {"PARAMETROS.DB", "DEBITO.DB", "ASSOCIADOS.DB", "RET_DEBITO.DB"})
        c.attach(QString::fromLatin1(f));
    return c;
}

struct Parametros {
    qint64 rowid = -1;
    QString codInt, codVerba;
    double number = 0;
};

Parametros readParametros(db::Connection& c)
{
    db::Statement st(c, "SELECT rowid, EMP_COD_INT_PREVI, EMP_COD_VERBA_PREVI, EMP_NR_REM_PREVI "
                        "FROM PARAMETROS.PARAMETROS ORDER BY " + ordemDaChave("PARAMETROS.DB")
                            + " LIMIT 1", "PARAMETROS.DB");
    Parametros p;
    if (st.next()) {
        p.rowid = st.int64(0);
        p.codInt = st.value(1).toString();
        p.codVerba = st.value(2).toString();
        p.number = st.real(3);
    }
    return p;
}

qint64 countDebits(db::Connection& c)
{
    db::Statement st(c, "SELECT COUNT(*) FROM DEBITO.DEBITO", kDebito);
    return st.next() ? st.int64(0) : 0;
}

// Whether DEBITO holds a row, without counting them (a count reads the whole key).
bool anyDebit(db::Connection& c)
{
    return db::Statement(c, "SELECT 1 FROM DEBITO.DEBITO LIMIT 1", kDebito).found();
}

// A generation that stops: every table change is rolled back and no file is left.
struct Refusal {
    QString message;
};

constexpr int kWaitForOther = 3000;  // ms

// The statements of a change written many rows to a statement: the one for a full batch is
// kept, one for fewer rows (the last batch) made when asked for.
class PorVez {
public:
    static constexpr int kRows = 64;
    using Make = std::function<std::unique_ptr<db::Statement>(qsizetype rows)>;
    explicit PorVez(Make make) : make_(std::move(make)) {}
    // The statement for `rows` rows, reset, the values all rows share bound.
    db::Statement& para(qsizetype rows)
    {
        std::unique_ptr<db::Statement>& st = rows == kRows ? full_ : rest_;
        if (!st || rows != kRows) st = make_(rows);
        return st->reset();
    }

private:
    Make make_;
    std::unique_ptr<db::Statement> full_, rest_;
};

// Records the debits sent: per member, the RET_DEBITO row of the debit date first in the
// order of Si_Data_Associado, edited or else added, and reset to "Aguardando Retorno" without
// a return date; several debits of one member add up on that row. After the date step every
// debit lies on the debit date and they come by member, so a member's row is written once.
// Rows of the date are looked for only when the table held some before. A row whose change
// would repeat a key is left as it was; a failure of the table stops all.
class RetDebitoWriter {
public:
    RetDebitoWriter(db::Connection& c, const QDate& debitDate, const QDate& today, double remessa)
        : c_(c), date_(debitDate.toString(Qt::ISODate).toUtf8()),
          today_(today.toString(Qt::ISODate).toUtf8()), remessa_(remessa),
          find_(c, "SELECT rowid FROM RET_DEBITO.RET_DEBITO WHERE DEB_DATA = ? AND "
                   "DEB_ASS_ID = ? ORDER BY " + ordemDaChave("RET_DEBITO.DB", "Si_Data_Associado")
                       + " LIMIT 2", kRetDebito),
          clash_(c, "SELECT 1 FROM RET_DEBITO.RET_DEBITO WHERE DEB_DATA = ? AND "
                    "DEB_DATA_RETORNO IS NULL AND DEB_ASS_ID = ? AND DEB_REMESSA IS ? AND "
                    "DEB_VALOR IS ? AND rowid IS NOT ? LIMIT 1", kRetDebito),
          update_(c, "UPDATE RET_DEBITO.RET_DEBITO SET DEB_REMESSA = ?, DEB_VALOR = ?, "
                     "DEB_OCORRENCIA = ?, DEB_DATA_RETORNO = NULL WHERE rowid = ?", kRetDebito),
          insert_(c, "INSERT INTO RET_DEBITO.RET_DEBITO (DEB_DATA, DEB_ASS_ID, DEB_REMESSA, "
                     "DEB_VALOR, DEB_OCORRENCIA, DEB_DTA_CAD, DEB_USR_ID) "
                     "VALUES (?, ?, ?, ?, ?, ?, ?)", kRetDebito)
    {
        const QByteArray aguardando = kAguardando.toUtf8();
        find_.bindText(1, date_);
        clash_.bindText(1, date_).bindReal(3, remessa_);
        update_.bindReal(1, remessa_).bindText(3, aguardando);
        insert_.bindText(1, date_).bindReal(3, remessa_).bindText(5, aguardando)
            .bindText(6, today.toString(Qt::ISODate).toUtf8()).bindInt(7, UsuarioAtual);
        db::Statement any(c, "SELECT 1 FROM RET_DEBITO.RET_DEBITO WHERE DEB_DATA = ? LIMIT 1",
                          kRetDebito);
        rowsOnDate_ = any.bind({debitDate.toString(Qt::ISODate)}).found();
    }

    void add(qint64 member, double value)
    {
        if (pending_ && pending_->member == member) {
            pending_->amount += value;
            return;
        }
        flush();
        pending_ = Pending{member, value};
    }

    // Writes the row of the last member added. With no row of the date before this remittance
    // every member's row is new: those are added many to a statement.
    void flush()
    {
        if (!pending_) return;
        const Pending p = *pending_;
        pending_.reset();
        if (rowsOnDate_) {
            write(p);
            return;
        }
        batch_.append(p);
        if (batch_.size() == PorVez::kRows) insertBatch();
    }

    // Writes everything added.
    void finish()
    {
        flush();
        insertBatch();
    }

private:
    struct Pending {
        qint64 member;
        double amount;
    };
    void write(const Pending& p)
    {
        std::optional<qint64> rowid;
        if (rowsOnDate_ && find_.reset().bindInt(2, p.member).next()) {
            rowid = find_.int64(0);
            // Other rows of the date and member, whose key could clash.
            if (find_.next()
                && clash_.reset().bindInt(2, p.member).bindReal(4, p.amount)
                       .bindInt(5, *rowid).found())
                return;
        }
        try {
            if (rowid) update_.reset().bindReal(2, p.amount).bindInt(4, *rowid).run();
            else insert_.reset().bindInt(2, p.member).bindReal(4, p.amount).run();
        } catch (const EngineError& e) {
            // A key the table itself refuses leaves the row as it was; anything else stops.
            if (e.fault() != db::EngineFault::KeyViolation) throw;
        }
    }

    void insertBatch()
    {
        if (batch_.isEmpty()) return;
        db::Statement& st = batches_.para(batch_.size());
        for (int i = 0; i < batch_.size(); ++i)
            st.bindInt(6 + 2 * i, batch_[i].member).bindReal(7 + 2 * i, batch_[i].amount);
        try {
            st.run();
        } catch (const EngineError& e) {
            // The statement changed nothing: row by row, a refused key left as it was.
            if (e.fault() != db::EngineFault::KeyViolation) throw;
            for (const Pending& p : batch_) write(p);
        }
        batch_.clear();
    }

    // "INSERT ... VALUES (?1, ?6, ?2, ?7, ?3, ?4, ?5), (?1, ?8, ?2, ?9, ...)" for `n` rows, the
    // values all rows share bound.
    std::unique_ptr<db::Statement> batchStatement(qsizetype n) const
    {
        QString sql = "INSERT INTO RET_DEBITO.RET_DEBITO (DEB_DATA, DEB_ASS_ID, DEB_REMESSA, "
                      "DEB_VALOR, DEB_OCORRENCIA, DEB_DTA_CAD, DEB_USR_ID) VALUES ";
        for (qsizetype i = 0; i < n; ++i)
            sql += QString(i ? ", " : "") + "(?1, ?" + QString::number(6 + 2 * i) + ", ?2, ?"
                   + QString::number(7 + 2 * i) + ", ?3, ?4, ?5)";
        auto st = std::make_unique<db::Statement>(c_, sql, kRetDebito);
        st->bindText(1, date_).bindReal(2, remessa_).bindText(3, kAguardando.toUtf8())
            .bindText(4, today_).bindInt(5, UsuarioAtual);
        return st;
    }

    db::Connection& c_;
    QByteArray date_, today_;
    double remessa_;
    db::Statement find_, clash_, update_, insert_;
    bool rowsOnDate_ = false;
    std::optional<Pending> pending_;
    QVector<Pending> batch_;
    PorVez batches_{[this](qsizetype n) { return batchStatement(n); }};
};

// The rows of the plan put in GravacaoDesfazer::kPasso many to a statement.
class PassoGravado {
public:
    explicit PassoGravado(db::Connection& c)
        : batches_([&c](qsizetype n) {
              QString sql =
                  QString("INSERT INTO %1 (RID, OP) VALUES ").arg(GravacaoDesfazer::kPasso);
              for (qsizetype i = 0; i < n; ++i) sql += i ? ", (?, ?)" : "(?, ?)";
              return std::make_unique<db::Statement>(c, sql);
          })
    {
    }
    void add(qint64 rowid, char op)
    {
        rows_.append({rowid, op});
        if (rows_.size() == PorVez::kRows) gravar();
    }
    void gravar()
    {
        if (rows_.isEmpty()) return;
        db::Statement& st = batches_.para(rows_.size());
        for (int i = 0; i < rows_.size(); ++i)
            st.bindInt(2 * i + 1, rows_[i].first)
                .bindText(2 * i + 2, QByteArrayView(&rows_[i].second, 1));
        rows_.clear();
        st.run();
    }

private:
    PorVez batches_;
    QVector<std::pair<qint64, char>> rows_;
};

// Plans the date step member by member over the debits it changes, logs each debit it deletes
// with the one kept, and puts the plan in GravacaoDesfazer::kPasso: memory holds one member's
// debits at a time. Returns the numbers of debits deleted and re-dated.
std::pair<qint64, qint64> planejarPasso(db::Connection& c, const QDate& debitDate)
{
    c.exec(QString("CREATE TEMP TABLE IF NOT EXISTS %1 (RID INTEGER PRIMARY KEY, OP TEXT NOT "
                   "NULL); DELETE FROM %1").arg(GravacaoDesfazer::kPasso));
    // Those off the date are read through ranges of the key, those of their members on the
    // date by a seek per member (each range a part of its own: an OR would make SQLite scan
    // the whole key), so the work follows the debits off the date, not the table. They come
    // by member, then in key order (the member's column said once).
    const QString cols = "SELECT rowid, DEB_DATA, DEB_ASS_ID, DEB_VALOR FROM DEBITO.DEBITO WHERE ";
    const QString off = "(DEB_DATA IS NULL OR DEB_DATA < ?1 OR DEB_DATA > ?1)";
    const QString membersOff = "SELECT DEB_ASS_ID FROM DEBITO.DEBITO WHERE DEB_DATA IS NULL "
                               "UNION ALL SELECT DEB_ASS_ID FROM DEBITO.DEBITO WHERE DEB_DATA < ?1 "
                               "UNION ALL SELECT DEB_ASS_ID FROM DEBITO.DEBITO WHERE DEB_DATA > ?1";
    QStringList order = ordemDaChave("DEBITO.DB").split(", ");
    order.removeAll("DEB_ASS_ID");
    order.prepend("DEB_ASS_ID");
    db::Statement st(c, cols + "DEB_DATA IS NULL UNION ALL " + cols + "DEB_DATA < ?1 UNION ALL "
                            + cols + "DEB_DATA > ?1 UNION ALL " + cols + "DEB_DATA = ?1 AND "
                            "DEB_ASS_ID IN (" + membersOff + ") UNION ALL " + cols
                            + "DEB_DATA = ?1 AND DEB_ASS_ID IS NULL AND EXISTS (SELECT 1 FROM "
                            "DEBITO.DEBITO WHERE DEB_ASS_ID IS NULL AND " + off + ") ORDER BY "
                            + order.join(", "),
                     kDebito);
    const QByteArray iso = debitDate.toString(Qt::ISODate).toUtf8();
    st.bindText(1, iso);
    PassoGravado put(c);
    historico::Lote log(c, "Remessa");
    PassoPorMembro passo(
        debitDate,
        [&](qint64 rowid, const QByteArray& linha) {
            log.registrarUtf8(linha);
            put.add(rowid, 'D');
        },
        [&](qint64 rowid) { put.add(rowid, 'U'); });
    while (st.next()) {
        const Kind membro = st.kind(2);
        const bool numero = st.kind(3) == Kind::Real || st.kind(3) == Kind::Integer;
        passo.add(st.int64(0), st.bytes(1),
                  membro == Kind::Null   ? kSemMembro
                  : membro == Kind::Text ? st.value(2).toDouble()
                                         : st.real(2),
                  numero ? std::optional<double>(st.real(3)) : std::nullopt);
    }
    passo.finish();
    put.gravar();
    log.gravar();
    return {passo.apagados(), passo.redatados()};
}

// The date step: plans it, lets `desfazer` keep the debits it changes as they are, then
// deletes and re-dates them in two statements. Returns the number of debits deleted.
qint64 levarParaData(db::Connection& c, const QDate& debitDate, GravacaoDesfazer* desfazer)
{
    const auto [planned, redated] = planejarPasso(c, debitDate);
    if (planned == 0 && redated == 0) return 0;
    if (desfazer) desfazer->guardarDebitos();
    const QString of = QString("rowid IN (SELECT RID FROM %1 WHERE OP = ?)")
                           .arg(GravacaoDesfazer::kPasso);
    db::Statement drop(c, "DELETE FROM DEBITO.DEBITO WHERE " + of, kDebito);
    db::Statement redate(c, "UPDATE DEBITO.DEBITO SET DEB_DATA = ? WHERE " + of, kDebito);
    drop.bindText(1, "D").run();
    const qint64 dropped = drop.changes();
    redate.bindText(1, debitDate.toString(Qt::ISODate).toUtf8()).bindText(2, "U").run();
    if (dropped != planned || redate.changes() != redated)
        throw EngineError("Os débitos levados à data de débito não conferem com o que foi "
                          "planejado: informe o suporte.");
    c.exec(QString("DELETE FROM %1").arg(GravacaoDesfazer::kPasso));
    return dropped;
}

}  // namespace

void levarDebitosParaData(const QDate& debitDate)
{
    levarParaData(tables(), debitDate, nullptr);
}

std::optional<Outcome> recusaDoCaminho(const QString& path)
{
    const QString name = namePart(path);
    if (path.trimmed().isEmpty() || name.trimmed().isEmpty())
        return Outcome{Outcome::Kind::Failed,
                       "Informe o caminho e o nome do arquivo de remessa.", {}};
    if (name.size() > 20)
        return Outcome{Outcome::Kind::NameTooLong,
                       "Nome do arquivo está fora do padrão. Verifique padrão no Layout. Deve "
                       "conter no máximo 20 caracteres", {}};
    return std::nullopt;
}

Outcome GerarArquivo(const QString& path, const QDate& debitDate, const QDate& today,
                     const Progress& progress)
{
    Outcome out;
    auto fail = [&](Outcome::Kind kind, const QString& message) {
        out.kind = kind;
        out.message = message;
        return out;
    };
    if (const auto refused = recusaDoCaminho(path)) return *refused;
    const QString name = namePart(path);
    if (!debitDate.isValid())
        return fail(Outcome::Kind::Failed, "Informe uma data de débito válida (DD/MM/AAAA).");
    db::Connection* conn = nullptr;
    try {
        db::Connection& c = tables();
        conn = &c;
        // One generation at a time on a data folder, from reading the number to putting the
        // file in place; a lock left by a stopped program is taken over.
        QLockFile lock(QDir(c.folder()).filePath(".tolmare-remessa.lock"));
        lock.setStaleLockTime(0);
        if (!lock.tryLock(kWaitForOther)) {
            if (lock.error() == QLockFile::LockFailedError)
                return fail(Outcome::Kind::Failed, kOcupado + kNadaAlterado);
            return fail(Outcome::Kind::Failed,
                        "Não foi possível gravar na pasta de dados " + c.folder()
                            + ": verifique se ela permite gravação." + kNadaAlterado);
        }
        if (const QStringList left = concluirPendentes(c); !left.isEmpty())
            return fail(Outcome::Kind::Failed, left.join("\n"));
        if (!anyDebit(c))
            return fail(Outcome::Kind::NoDebits, "Não existem débitos a serem gerados.");

        // Written under a temporary name beside the target, put in place once the tables
        // have committed (see ArquivoPendente).
        ArquivoPendente file(c, path);
        if (!file.isOpen()) return fail(Outcome::Kind::CannotCreate, "Erro ao criar arquivo: " + path);
        auto writeLine = [&](const QString& record) {
            if (!file.write(cp1252::encode(record) + "\r\n"))
                throw Refusal(falhaDeGravacao(path, file.errorString()));
        };

        // Everything below is read and changed in one write transaction: two generations
        // never read the same number, and a failure or a stop leaves every table as it was.
        db::Transaction tx(c);
        if (!anyDebit(c))
            return fail(Outcome::Kind::NoDebits, "Não existem débitos a serem gerados.");
        // Counted only for a progress display: a count reads the whole key of DEBITO.
        const qint64 debits = progress ? countDebits(c) : 0;
        const Parametros par = readParametros(c);
        if (par.rowid < 0)
            throw Refusal("A tabela PARAMETROS.DB não tem os parâmetros da empresa: cadastre-os "
                          "antes de gerar a remessa.");
        if (par.codInt.trimmed().isEmpty() || par.codVerba.trimmed().isEmpty())
            throw Refusal("Os códigos PREVI da empresa (interface e verba) estão vazios em "
                          "PARAMETROS.DB: cadastre-os antes de gerar a remessa.");

        // What the remittance changes is kept, so that it can be undone.
        GravacaoDesfazer desfazer(c, std::llround(par.number) + 1, path, debitDate);
        levarParaData(c, debitDate, &desfazer);

        writeLine(headerRecord(name, today));
        qint64 written = 0;
        // The total is the sum of the amounts as the detail records carry them, in hundredths:
        // the trailer agrees with the records whatever their number.
        qint64 total = 0;
        RetDebitoWriter ret(c, debitDate, today, par.number + 1);
        // After the date step every debit lies on the debit date: in key order they come by
        // member, then value.
        db::Statement pass(c, "SELECT d.DEB_ASS_ID, d.DEB_VALOR, a.ASS_ID, a.ASS_MATRICULA "
                              "FROM DEBITO.DEBITO d LEFT JOIN ASSOCIADOS.ASSOCIADOS a "
                              "ON a.ASS_ID = d.DEB_ASS_ID ORDER BY "
                                  + ordemDaChave("DEBITO.DB", "", "d."), kDebito);
        const Detalhes detalhes(par.codInt, par.codVerba, debitDate);
        // Records are gathered in blocks and written a block at a time.
        constexpr qsizetype kBlock = 64 * 1024;
        QByteArray block;
        block.reserve(kBlock + 256);
        qint64 remaining = 0;  // the debits left after the date step: one row each here
        QByteArray number;
        while (pass.next()) {
            ++remaining;
            if (pass.isNull(2)) continue;  // member missing
            // An enrolment number stored as a number is sent as its text.
            if (pass.kind(3) != Kind::Text) number = pass.value(3).toString().toUtf8();
            const QByteArrayView mat =
                Detalhes::aparada(pass.kind(3) == Kind::Text ? pass.bytes(3) : number);
            if (mat.isEmpty()) continue;  // a member without an enrolment number is not sent
            const Kind valueKind = pass.kind(1);
            const double value = pass.real(1);
            const bool hasValue = valueKind == Kind::Real || valueKind == Kind::Integer;
            if (!hasValue || !valorCabe(value, 13))
                throw Refusal(problemaDoValor(hasValue, value, pass.real(0), debitDate));
            const Currency amount = toCurrency(value);
            ++written;
            total += amount / 100;
            if (progress) progress(int(written), int(debits));
            detalhes.adicionar(block, mat, amount);
            if (block.size() >= kBlock) {
                if (!file.write(block)) throw Refusal(falhaDeGravacao(path, file.errorString()));
                block.resize(0);
            }
            ret.add(pass.int64(2), value);
        }
        if (!block.isEmpty() && !file.write(block))
            throw Refusal(falhaDeGravacao(path, file.errorString()));
        ret.finish();
        if (const QString tooBig = totalNaoCabe(total); !tooBig.isEmpty()) throw Refusal(tooBig);
        writeLine(trailerRecord(written, Currency(total) * 100));
        if (!file.finish()) throw Refusal(falhaDeGravacao(path, file.errorString()));
        // The file proves itself before anything is committed: read back from the disk, it
        // must hold what was counted.
        if (const QString differs =
                provarArquivo(file.temporaryPath(), written, Currency(total) * 100);
            !differs.isEmpty())
            throw Refusal(differs);

        const qint64 advanced = std::llround(par.number) + 1;
        db::Statement(c, "UPDATE PARAMETROS.PARAMETROS SET EMP_NR_REM_PREVI = ? WHERE rowid = ?",
                      "PARAMETROS.DB")
            .bind({double(advanced), par.rowid})
            .run();
        file.markDone();
        historico::registrar(c, "Remessa",
                             linhaDoHistorico(advanced, debitDate, path, written, total));
        tx.commit();

        out.summary = resumoDaRemessa(remaining, total, today, advanced, path);
        out.message = out.summary.join("\r");
        if (const QString why = file.install(); !why.isEmpty())
            return fail(Outcome::Kind::Failed, arquivoNaoPosto(advanced, path, why));
        return out;
    } catch (const Refusal& r) {
        if (conn) conn->bump();
        return fail(Outcome::Kind::Failed, r.message + kNadaAlterado);
    } catch (const db::EngineError& e) {
        if (conn) conn->bump();
        if (e.fault() == db::EngineFault::Busy)
            return fail(Outcome::Kind::Failed, kOcupado + kNadaAlterado);
        return fail(Outcome::Kind::Failed, e.message() + kNadaAlterado);
    }
}

}  // namespace remessa

#include "remittance/GerarRemessa.h"

#include "core/Historico.h"
#include "core/TextHelpers.h"
#include "core/UVariaveis.h"
#include "core/engine/Connection.h"
#include "core/engine/Database.h"
#include "core/engine/EngineError.h"
#include "core/engine/SqlValue.h"
#include "core/Cp1252.h"
#include "remittance/ArquivoPendente.h"
#include "remittance/DesfazerRemessa.h"
#include "remittance/PlanoData.h"
#include "remittance/ProvaRemessa.h"
#include "remittance/RemessaRecords.h"

#include <QDir>
#include <QHash>
#include <QLockFile>
#include <QSet>

#include <sqlite3.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_map>

namespace remessa {

namespace {

using db::EngineError;
using db::StmtGuard;

const QString kAguardando = "Aguardando Retorno";

// A prepared statement reused row after row.
class Stmt {
public:
    Stmt(db::Connection& c, const QString& sql) : c_(c), g_(db::prepare(c.handle(), sql)) {}
    Stmt& bind(const QVector<QVariant>& params)
    {
        sqlite3_reset(g_.get());
        sqlite3_clear_bindings(g_.get());
        db::bindAll(g_.get(), params);
        return *this;
    }
    // Starts the statement again for values bound one by one below.
    Stmt& again()
    {
        sqlite3_reset(g_.get());
        return *this;
    }
    Stmt& integer(int i, qint64 v)
    {
        sqlite3_bind_int64(g_.get(), i, v);
        return *this;
    }
    Stmt& real(int i, double v)
    {
        sqlite3_bind_double(g_.get(), i, v);
        return *this;
    }
    // Text that outlives the statement's step.
    Stmt& text(int i, const QByteArray& utf8)
    {
        sqlite3_bind_text(g_.get(), i, utf8.constData(), int(utf8.size()), SQLITE_STATIC);
        return *this;
    }
    Stmt& value(int i, const QVariant& v)
    {
        db::bindAll(g_.get(), {v}, i);
        return *this;
    }
    bool row()
    {
        const int rc = sqlite3_step(g_.get());
        if (rc == SQLITE_ROW) return true;
        if (rc != SQLITE_DONE) db::throwSqlite(c_.handle());
        return false;
    }
    void run()
    {
        while (row()) {
        }
    }
    sqlite3_stmt* get() const { return g_.get(); }

private:
    db::Connection& c_;
    StmtGuard g_;
};

QVariant columnValue(sqlite3_stmt* st, int col)
{
    switch (sqlite3_column_type(st, col)) {
    case SQLITE_NULL: return {};
    case SQLITE_INTEGER: return qint64(sqlite3_column_int64(st, col));
    case SQLITE_FLOAT: return sqlite3_column_double(st, col);
    default: return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, col)));
    }
}

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
    Stmt st(c, "SELECT rowid, EMP_COD_INT_PREVI, EMP_COD_VERBA_PREVI, EMP_NR_REM_PREVI "
               "FROM PARAMETROS.PARAMETROS ORDER BY EMP_NOME, rowid LIMIT 1");
    Parametros p;
    if (st.row()) {
        p.rowid = sqlite3_column_int64(st.get(), 0);
        p.codInt = columnValue(st.get(), 1).toString();
        p.codVerba = columnValue(st.get(), 2).toString();
        p.number = sqlite3_column_double(st.get(), 3);
    }
    return p;
}

qint64 countDebits(db::Connection& c)
{
    Stmt st(c, "SELECT COUNT(*) FROM DEBITO.DEBITO");
    st.row();
    return sqlite3_column_int64(st.get(), 0);
}

// The first debit that would go into the file without a value it can carry: an empty or
// non-numeric value, or one too large for the 13 positions of the detail record. Only the
// debits of members with an enrolment number count, as only they are written. Empty when
// every such debit is fine.
QString valueProblem(db::Connection& c)
{
    Stmt st(c, "SELECT d.DEB_DATA, d.DEB_ASS_ID, d.DEB_VALOR, a.ASS_MATRICULA "
               "FROM DEBITO.DEBITO d JOIN ASSOCIADOS.ASSOCIADOS a ON a.ASS_ID = d.DEB_ASS_ID "
               "WHERE typeof(d.DEB_VALOR) NOT IN ('real', 'integer') "
               "OR abs(d.DEB_VALOR) >= 1e10 "
               "ORDER BY d.DEB_DATA, d.DEB_ASS_ID, d.DEB_VALOR, d.rowid");
    while (st.row()) {
        sqlite3_stmt* r = st.get();
        if (matriculaAparada(columnValue(r, 3).toString()).isEmpty()) continue;
        const QString when =
            QDate::fromString(columnValue(r, 0).toString(), Qt::ISODate).toString("dd/MM/yyyy");
        const QString who = QString::number(sqlite3_column_double(r, 1), 'f', 0);
        const int type = sqlite3_column_type(r, 2);
        if (type != SQLITE_FLOAT && type != SQLITE_INTEGER)
            return "O débito do associado " + who + " de " + when + " está sem valor em "
                   "DEBITO.DB: informe o valor antes de gerar a remessa.";
        const double v = sqlite3_column_double(r, 2);
        if (!valorCabe(v, 13))
            return "O valor " + QString::number(v, 'f', 2) + " do débito do associado " + who
                   + " de " + when + " (DEBITO.DB) não cabe nas 13 posições do valor na "
                   "remessa: corrija-o antes de gerar a remessa.";
    }
    return {};
}

// A generation that stops: every table change is rolled back and no file is left.
struct Refusal {
    QString message;
};

const QString kNothingChanged =
    "\nA remessa não foi gerada: nenhuma tabela foi alterada e nenhum arquivo foi gravado.";

const QString kBusy = "As tabelas estão em uso por outro programa (outra remessa ou importação "
                      "em andamento). Tente de novo quando ele terminar.";
constexpr int kWaitForOther = 3000;  // ms

// The error of a file that could not be written to the end.
QString writeFailure(const QString& path, const QString& why)
{
    return "Erro ao gravar o arquivo " + path + " (" + why + "; o disco pode estar cheio): "
           "libere espaço ou escolha outra pasta.";
}

bool isBusy(db::Connection& c)
{
    const int code = sqlite3_extended_errcode(c.handle()) & 0xff;
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

// Hundredths as the program shows money ("1234,50").
QString money(qint64 cents)
{
    const qint64 a = cents < 0 ? -cents : cents;
    return (cents < 0 ? "-" : "") + QString::number(a / 100) + ','
           + QString::number(a % 100).rightJustified(2, '0');
}

// Records the debits sent: per date and member, the RET_DEBITO row found in the order of
// Si_Data_Associado, edited or else added, and reset to "Aguardando Retorno" without a return
// date; several debits of one member and date add up on that row. Debits come in key order,
// so those of one date and member follow one another and their row is written once. A row
// whose change would repeat a key is left as it was; a failure of the table stops all.
class RetDebitoWriter {
public:
    RetDebitoWriter(db::Connection& c, const QDate& debitDate, const QDate& today, double remessa)
        : c_(c), today_(today), debitDate_(debitDate.toString(Qt::ISODate)), remessa_(remessa),
          find_(c, "SELECT rowid FROM RET_DEBITO.RET_DEBITO "
                   "WHERE DEB_DATA IS ? AND DEB_ASS_ID IS ? ORDER BY DEB_DATA, DEB_ASS_ID, "
                   "DEB_DATA_RETORNO, DEB_REMESSA, DEB_VALOR, rowid LIMIT 2"),
          clash_(c, "SELECT 1 FROM RET_DEBITO.RET_DEBITO WHERE DEB_DATA IS ? AND "
                    "DEB_DATA_RETORNO IS NULL AND DEB_ASS_ID IS ? AND DEB_REMESSA IS ? AND "
                    "DEB_VALOR IS ? AND rowid IS NOT ? LIMIT 1"),
          update_(c, "UPDATE RET_DEBITO.RET_DEBITO SET DEB_REMESSA = ?, DEB_VALOR = ?, "
                     "DEB_OCORRENCIA = ?, DEB_DATA_RETORNO = NULL WHERE rowid = ?"),
          insert_(c, "INSERT INTO RET_DEBITO.RET_DEBITO (DEB_DATA, DEB_ASS_ID, DEB_REMESSA, "
                     "DEB_VALOR, DEB_OCORRENCIA, DEB_DTA_CAD, DEB_USR_ID) "
                     "VALUES (?, ?, ?, ?, ?, ?, ?)")
    {
        // The rows of the debit date, where the date step has brought every debit, read once:
        // each member's first in the order of Si_Data_Associado, and whether it has others.
        Stmt onDate(c, "SELECT DEB_ASS_ID, rowid FROM RET_DEBITO.RET_DEBITO WHERE DEB_DATA = ? "
                       "ORDER BY DEB_ASS_ID, DEB_DATA_RETORNO, DEB_REMESSA, DEB_VALOR, rowid");
        onDate.bind({debitDate_});
        while (onDate.row()) {
            if (sqlite3_column_type(onDate.get(), 0) == SQLITE_NULL) continue;
            auto [it, added] = firstOnDate_.try_emplace(sqlite3_column_double(onDate.get(), 0),
                                                        First{sqlite3_column_int64(onDate.get(), 1)});
            if (!added) it->second.others = true;
        }
    }

    void add(const QVariant& date, const QVariant& member, double value)
    {
        if (pending_ && pending_->date == date && pending_->member == member) {
            pending_->amount += value;
            return;
        }
        flush();
        pending_ = Pending{date, member, value};
    }

    // Writes the row of the last date and member added.
    void flush()
    {
        if (!pending_) return;
        const Pending p = *pending_;
        pending_.reset();
        QVariant rowid;
        bool others = false;  // other rows of the date and member, whose key could clash
        if (p.date.toString() == debitDate_ && p.member.isValid()) {
            const auto first = firstOnDate_.find(p.member.toDouble());
            if (first != firstOnDate_.end()) {
                rowid = first->second.rowid;
                others = first->second.others;
            }
        } else if (find_.bind({p.date, p.member}).row()) {
            rowid = qint64(sqlite3_column_int64(find_.get(), 0));
            others = find_.row();
        }
        if (others && clash_.bind({p.date, p.member, remessa_, p.amount, rowid}).row()) return;
        try {
            if (rowid.isValid())
                update_.again().real(1, remessa_).real(2, p.amount).text(3, aguardando_)
                    .integer(4, rowid.toLongLong()).run();
            else insert_.again().value(1, p.date).value(2, p.member).real(3, remessa_)
                     .real(4, p.amount).text(5, aguardando_).text(6, todayText_)
                     .integer(7, qint64(UsuarioAtual)).run();
        } catch (const EngineError&) {
            // A key the table itself refuses leaves the row as it was; anything else stops.
            if ((sqlite3_extended_errcode(c_.handle()) & 0xff) != SQLITE_CONSTRAINT) throw;
        }
    }

private:
    struct First {
        qint64 rowid;
        bool others = false;
    };
    struct Pending {
        QVariant date, member;
        double amount;
    };
    db::Connection& c_;
    QDate today_;
    QByteArray todayText_ = today_.toString(Qt::ISODate).toUtf8();
    const QByteArray aguardando_ = kAguardando.toUtf8();
    QString debitDate_;
    double remessa_;
    Stmt find_, clash_, update_, insert_;
    std::unordered_map<double, First> firstOnDate_;  // RET_DEBITO rows of the debit date
    std::optional<Pending> pending_;
};

// One line of the operation log for every debit the date step deletes, with the one kept.
void registrarApagados(db::Connection& c, const PlanoData& plano, const QDate& debitDate)
{
    if (plano.apagar.isEmpty()) return;
    const QSet<qint64> redatados(plano.redatar.cbegin(), plano.redatar.cend());
    Stmt one(c, "SELECT DEB_DATA, DEB_VALOR, DEB_ASS_ID FROM DEBITO.DEBITO WHERE rowid = ?");
    auto read = [&](qint64 rowid) {
        one.again().integer(1, rowid);
        QVector<QVariant> r(3);
        if (one.row())
            for (int i = 0; i < 3; ++i) r[i] = columnValue(one.get(), i);
        return r;
    };
    for (int i = 0; i < plano.apagar.size(); ++i) {
        const QVector<QVariant> d = read(plano.apagar[i]);
        const QVector<QVariant> fica = read(plano.mantido[i]);
        const QString membro = d[2].isValid() ? QString::number(d[2].toDouble(), 'f', 0)
                                              : QString("(sem associado)");
        historico::registrar(c, "Remessa",
                             "associado " + membro + ": "
                                 + textoApagado({d[0], d[1], fica[0], fica[1],
                                                 redatados.contains(plano.mantido[i])},
                                                debitDate, false));
    }
}

}  // namespace

void levarDebitosParaData(const QDate& debitDate)
{
    db::Connection& c = tables();
    QVector<DebitoNaOrdem> debitos;
    {
        Stmt all(c, "SELECT rowid, DEB_DATA, DEB_ASS_ID FROM DEBITO.DEBITO "
                    "ORDER BY DEB_DATA, DEB_ASS_ID, DEB_VALOR, rowid");
        const QByteArray wanted = debitDate.toString(Qt::ISODate).toLatin1();
        while (all.row()) {
            const auto* date = reinterpret_cast<const char*>(sqlite3_column_text(all.get(), 1));
            debitos.append({sqlite3_column_int64(all.get(), 0),
                            sqlite3_column_type(all.get(), 2) == SQLITE_NULL
                                ? kSemMembro
                                : sqlite3_column_double(all.get(), 2),
                            date && wanted == QLatin1StringView(date)});
        }
    }
    const PlanoData plano = planejarData(debitos);
    registrarApagados(c, plano, debitDate);
    Stmt drop(c, "DELETE FROM DEBITO.DEBITO WHERE rowid = ?");
    Stmt redate(c, "UPDATE DEBITO.DEBITO SET DEB_DATA = ? WHERE rowid = ?");
    const QByteArray date = debitDate.toString(Qt::ISODate).toUtf8();
    for (const qint64 rowid : plano.apagar) drop.again().integer(1, rowid).run();
    for (const qint64 rowid : plano.redatar) redate.again().text(1, date).integer(2, rowid).run();
    c.bump();
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
                return fail(Outcome::Kind::Failed, kBusy + kNothingChanged);
            return fail(Outcome::Kind::Failed,
                        "Não foi possível gravar na pasta de dados " + c.folder()
                            + ": verifique se ela permite gravação." + kNothingChanged);
        }
        if (const QStringList left = concluirPendentes(c); !left.isEmpty())
            return fail(Outcome::Kind::Failed, left.join("\n"));
        if (countDebits(c) == 0)
            return fail(Outcome::Kind::NoDebits, "Não existem débitos a serem gerados.");

        // Written under a temporary name beside the target, put in place once the tables
        // have committed (see ArquivoPendente).
        ArquivoPendente file(c, path);
        if (!file.isOpen()) return fail(Outcome::Kind::CannotCreate, "Erro ao criar arquivo: " + path);
        auto writeLine = [&](const QString& record) {
            if (!file.write(cp1252::encode(record) + "\r\n"))
                throw Refusal(writeFailure(path, file.errorString()));
        };

        // Everything below is read and changed in one write transaction: two generations
        // never read the same number, and a failure or a stop leaves every table as it was.
        db::Transaction tx(c);
        const qint64 debits = countDebits(c);
        if (debits == 0)
            return fail(Outcome::Kind::NoDebits, "Não existem débitos a serem gerados.");
        const Parametros par = readParametros(c);
        if (par.rowid < 0)
            throw Refusal("A tabela PARAMETROS.DB não tem os parâmetros da empresa: cadastre-os "
                          "antes de gerar a remessa.");
        if (par.codInt.trimmed().isEmpty() || par.codVerba.trimmed().isEmpty())
            throw Refusal("Os códigos PREVI da empresa (interface e verba) estão vazios em "
                          "PARAMETROS.DB: cadastre-os antes de gerar a remessa.");

        // What the remittance changes is kept, so that it can be undone.
        GravacaoDesfazer desfazer(c, std::llround(par.number) + 1, path, debitDate);
        levarDebitosParaData(debitDate);
        desfazer.conferir();
        if (const QString bad = valueProblem(c); !bad.isEmpty()) throw Refusal(bad);

        writeLine(headerRecord(name, today));
        qint64 written = 0;
        // The total is the sum of the amounts as the detail records carry them, in hundredths:
        // the trailer agrees with the records whatever their number.
        qint64 total = 0;
        double valores = 0;  // the values as the debits hold them, for the summary
        const double remessa = par.number + 1;
        RetDebitoWriter ret(c, debitDate, today, remessa);
        Stmt pass(c, "SELECT d.DEB_DATA, d.DEB_ASS_ID, d.DEB_VALOR, a.ASS_ID, a.ASS_MATRICULA "
                     "FROM DEBITO.DEBITO d LEFT JOIN ASSOCIADOS.ASSOCIADOS a "
                     "ON a.ASS_ID = d.DEB_ASS_ID "
                     "ORDER BY d.DEB_DATA, d.DEB_ASS_ID, d.DEB_VALOR, d.rowid");
        // The parts of a detail record that stay the same while the date does, encoded once.
        const QByteArray lead = cp1252::encode("1" + Padlzero(par.codInt, 2));
        QByteArray middle, tail;
        QVariant lastDate, rowDate;
        QDate middleDate;  // the date of `middle` and `tail`
        QByteArray lastDateText;  // lastDate's text as read, when it was read as text
        bool lastDateIsText = false;
        QDate d;
        QByteArray line;
        line.reserve(64);
        while (pass.row()) {
            sqlite3_stmt* st = pass.get();
            if (sqlite3_column_type(st, 3) == SQLITE_NULL) continue;  // member missing
            // The enrolment number without the blanks around it; a member without one is not sent.
            const char* mat = nullptr;
            qsizetype matSize = 0;
            QString matricula;
            if (sqlite3_column_type(st, 4) == SQLITE_TEXT) {
                mat = reinterpret_cast<const char*>(sqlite3_column_text(st, 4));
                if (!mat) db::throwSqlite(c.handle(), "ASSOCIADOS.DB");  // out of memory
                matSize = qsizetype(sqlite3_column_bytes(st, 4));
                while (matSize > 0 && static_cast<unsigned char>(*mat) <= 32) ++mat, --matSize;
                while (matSize > 0 && static_cast<unsigned char>(mat[matSize - 1]) <= 32) --matSize;
                if (matSize == 0) continue;
            } else {
                matricula = matriculaAparada(columnValue(st, 4).toString());
                if (matricula.isEmpty()) continue;
            }
            // After the date step, every debit has the same date: it is read as a value once.
            const bool dateIsText = sqlite3_column_type(st, 0) == SQLITE_TEXT;
            const char* dateText =
                dateIsText ? reinterpret_cast<const char*>(sqlite3_column_text(st, 0)) : nullptr;
            if (!dateIsText || !lastDateIsText || lastDateText != dateText) {
                rowDate = columnValue(st, 0);
                lastDateIsText = dateIsText;
                lastDateText = dateIsText ? QByteArray(dateText) : QByteArray();
                if (rowDate != lastDate) {
                    lastDate = rowDate;
                    d = QDate::fromString(rowDate.toString(), Qt::ISODate);
                }
                if (middle.isNull() || d != middleDate) {
                    middleDate = d;
                    const QString month = d.toString("MM"), year = d.toString("yyyy");
                    middle = cp1252::encode(month + year + Padlzero(par.codVerba, 4));
                    tail = cp1252::encode(year + month + "0+");
                }
            }
            const double value = sqlite3_column_double(st, 2);
            const Currency amount = toCurrency(value);
            ++written;
            total += amount / 100;
            valores += value;
            if (progress) progress(int(written), int(debits));
            line.resize(0);
            if (!mat || !appendDetailBytes(line, lead, mat, matSize, middle, amount, tail)) {
                if (mat) matricula = QString::fromUtf8(mat, matSize);
                line = cp1252::encode(detailRecord(par.codInt, matricula, d, par.codVerba,
                                                   amount));
            }
            line.append("\r\n", 2);
            if (!file.write(line)) throw Refusal(writeFailure(path, file.errorString()));
            ret.add(rowDate, columnValue(st, 3), value);
        }
        ret.flush();
        if (QString::number(total).size() > 15)
            throw Refusal("O total " + money(total) + " não cabe nas 15 "
                          "posições do total no trailer: reduza os débitos da remessa.");
        writeLine(trailerRecord(written, Currency(total) * 100));
        if (!file.finish()) throw Refusal(writeFailure(path, file.errorString()));
        // The file proves itself before anything is committed: read back from the disk, it
        // must hold what was counted.
        if (const QString differs =
                provarArquivo(file.temporaryPath(), written, Currency(total) * 100);
            !differs.isEmpty())
            throw Refusal(differs);

        const qint64 advanced = std::llround(par.number) + 1;
        Stmt advance(c, "UPDATE PARAMETROS.PARAMETROS SET EMP_NR_REM_PREVI = ? WHERE rowid = ?");
        advance.bind({double(advanced), par.rowid}).run();
        const qint64 remaining = countDebits(c);
        file.markDone();
        historico::registrar(c, "Remessa",
                             QString("remessa %1 para %2: arquivo %3, %4 registro(s), total %5")
                                 .arg(advanced).arg(debitDate.toString("dd/MM/yyyy"), path)
                                 .arg(written).arg(money(total)));
        tx.commit();

        out.summary << "Nr Total de Registros.....: " + QString::number(remaining)
                    << "Valor total dos créditos..: "
                           + QString::number(valores, 'f', 2).replace('.', ',')
                    << "Mes / Ano da Remessa......:" + today.toString("MM/yyyy")
                    << "Número da Remessa.........:" + QString::number(advanced)
                    << "Arquivo de Remessa........:" + path;
        out.message = out.summary.join("\r");
        if (const QString why = file.install(); !why.isEmpty())
            return fail(Outcome::Kind::Failed,
                        "A remessa " + QString::number(advanced) + " foi registrada, mas o "
                        "arquivo não pôde ser posto em " + path + " (" + why + "). Ele será "
                        "posto no lugar na próxima geração de remessa; verifique a pasta.");
        return out;
    } catch (const Refusal& r) {
        if (conn) conn->bump();
        return fail(Outcome::Kind::Failed, r.message + kNothingChanged);
    } catch (const db::EngineError& e) {
        if (conn) conn->bump();
        if (conn && isBusy(*conn)) return fail(Outcome::Kind::Failed, kBusy + kNothingChanged);
        return fail(Outcome::Kind::Failed, e.message() + kNothingChanged);
    }
}

}  // namespace remessa

#include "remittance/GerarRemessa.h"

#include "core/TextHelpers.h"
#include "core/UVariaveis.h"
#include "core/engine/Connection.h"
#include "core/engine/Database.h"
#include "core/engine/EngineError.h"
#include "core/engine/SqlValue.h"
#include "core/Cp1252.h"
#include "remittance/RemessaRecords.h"

#include <QHash>
#include <QSaveFile>

#include <sqlite3.h>

#include <cerrno>
#include <cmath>
#include <cstring>

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

// Trims spaces and control characters from both ends.
QString trimControls(const QString& s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s.at(b).unicode() <= 32) ++b;
    while (e > b && s.at(e - 1).unicode() <= 32) --e;
    return s.mid(b, e - b);
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
        if (trimControls(columnValue(r, 3).toString()).isEmpty()) continue;
        const QString when =
            QDate::fromString(columnValue(r, 0).toString(), Qt::ISODate).toString("dd/MM/yyyy");
        const QString who = QString::number(sqlite3_column_double(r, 1), 'f', 0);
        const int type = sqlite3_column_type(r, 2);
        if (type != SQLITE_FLOAT && type != SQLITE_INTEGER)
            return "O débito do associado " + who + " de " + when + " está sem valor em "
                   "DEBITO.DB: informe o valor antes de gerar a remessa.";
        const double v = sqlite3_column_double(r, 2);
        if (!std::isfinite(v) || std::fabs(v) >= 9e14
            || FormataValor(toCurrency(v)).size() > 13)
            return "O valor " + QString::number(v, 'f', 2) + " do débito do associado " + who
                   + " de " + when + " (DEBITO.DB) não cabe nas 13 posições do valor na "
                   "remessa: corrija-o antes de gerar a remessa.";
    }
    return {};
}

// The error of a file that could not be written to the end; it is not left at its path.
QString writeFailure(const QString& path, const QSaveFile& file)
{
    const int err = errno;
    QString why = file.errorString();
    if (why.isEmpty() || why == "Unknown error") why = QString::fromLocal8Bit(std::strerror(err));
    return "Erro ao gravar o arquivo " + path + " (" + why + "; o disco pode estar cheio). "
           "A remessa não foi gravada.";
}

QString money(double v)
{
    return QString::number(v, 'f', 2).replace('.', ',');
}

// Records one debit sent: the RET_DEBITO row of its date and member, found in the order of
// Si_Data_Associado, edited or else added. A failure cancels this row's change only.
class RetDebitoWriter {
public:
    RetDebitoWriter(db::Connection& c, const QDate& today)
        : c_(c), today_(today),
          find_(c, "SELECT rowid, DEB_DATA_RETORNO FROM RET_DEBITO.RET_DEBITO "
                   "WHERE DEB_DATA IS ? AND DEB_ASS_ID IS ? ORDER BY DEB_DATA, DEB_ASS_ID, "
                   "DEB_DATA_RETORNO, DEB_REMESSA, DEB_VALOR, rowid LIMIT 1"),
          clash_(c, "SELECT 1 FROM RET_DEBITO.RET_DEBITO WHERE DEB_DATA IS ? AND "
                    "DEB_DATA_RETORNO IS ? AND DEB_ASS_ID IS ? AND DEB_REMESSA IS ? AND "
                    "DEB_VALOR IS ? AND rowid IS NOT ? LIMIT 1"),
          update_(c, "UPDATE RET_DEBITO.RET_DEBITO SET DEB_REMESSA = ?, DEB_VALOR = ?, "
                     "DEB_OCORRENCIA = ? WHERE rowid = ?"),
          insert_(c, "INSERT INTO RET_DEBITO.RET_DEBITO (DEB_DATA, DEB_ASS_ID, DEB_REMESSA, "
                     "DEB_VALOR, DEB_OCORRENCIA, DEB_DTA_CAD, DEB_USR_ID) "
                     "VALUES (?, ?, ?, ?, ?, ?, ?)"),
          save_(c, "SAVEPOINT ret_debito"), release_(c, "RELEASE ret_debito"),
          undo_(c, "ROLLBACK TO ret_debito")
    {
    }

    void record(const QVariant& date, const QVariant& member, double remessa,
                const QVariant& value)
    {
        save_.bind({}).run();
        try {
            QVariant rowid, returned;
            if (find_.bind({date, member}).row()) {
                rowid = qint64(sqlite3_column_int64(find_.get(), 0));
                returned = columnValue(find_.get(), 1);
            }
            if (clash_.bind({date, returned, member, remessa, value, rowid}).row())
                throw EngineError("Key violation.\nTable: RET_DEBITO.DB");
            if (rowid.isValid()) update_.bind({remessa, value, kAguardando, rowid}).run();
            else insert_.bind({date, member, remessa, value, kAguardando, today_,
                               qint64(UsuarioAtual)}).run();
            release_.bind({}).run();
        } catch (const EngineError&) {
            undo_.bind({}).run();
            release_.bind({}).run();
        }
    }

private:
    db::Connection& c_;
    QDate today_;
    Stmt find_, clash_, update_, insert_, save_, release_, undo_;
};

}  // namespace

void levarDebitosParaData(const QDate& debitDate)
{
    db::Connection& c = tables();
    // The debits of each member in key order (date, then value), members in order of first
    // appearance; an empty member number is a member of its own.
    struct Row { qint64 rowid; bool onDate; };
    QHash<QString, int> groupOf;
    QVector<QVector<Row>> groups;
    {
        Stmt all(c, "SELECT rowid, DEB_DATA, DEB_ASS_ID FROM DEBITO.DEBITO "
                    "ORDER BY DEB_DATA, DEB_ASS_ID, DEB_VALOR, rowid");
        const QString wanted = debitDate.toString(Qt::ISODate);
        while (all.row()) {
            const QVariant member = columnValue(all.get(), 2);
            const QString key = member.isValid() ? QString::number(member.toDouble(), 'g', 17)
                                                 : QString();
            auto it = groupOf.constFind(key);
            int g = 0;
            if (it == groupOf.constEnd()) {
                g = int(groups.size());
                groupOf.insert(key, g);
                groups.append(QVector<Row>());
            } else {
                g = it.value();
            }
            groups[g].append({sqlite3_column_int64(all.get(), 0),
                              columnValue(all.get(), 1).toString() == wanted});
        }
    }
    // Taking a member's rows from the first while one of them lies on another date and more
    // than one is left, then re-dating the last one if it still lies on another date: the
    // same rows the row-by-row procedure that restarts from the first debit leaves.
    Stmt drop(c, "DELETE FROM DEBITO.DEBITO WHERE rowid = ?");
    Stmt redate(c, "UPDATE DEBITO.DEBITO SET DEB_DATA = ? WHERE rowid = ?");
    for (const QVector<Row>& rows : groups) {
        int lastOff = -1;
        for (int i = 0; i < rows.size(); ++i)
            if (!rows[i].onDate) lastOff = i;
        if (lastOff < 0) continue;
        const int dropCount = std::min(lastOff + 1, int(rows.size()) - 1);
        for (int i = 0; i < dropCount; ++i) drop.bind({rows[i].rowid}).run();
        if (dropCount == int(rows.size()) - 1 && !rows.last().onDate)
            redate.bind({debitDate, rows.last().rowid}).run();
    }
    c.bump();
}

Outcome GerarArquivo(const QString& path, const QDate& debitDate, const QDate& today,
                     const Progress& progress)
{
    Outcome out;
    const QString name = namePart(path);
    if (name.size() > 20) {
        out.kind = Outcome::Kind::NameTooLong;
        out.message = "Nome do arquivo está fora do padrão. Verifique padrão no Layout. Deve "
                      "conter no máximo 20 caracteres";
        return out;
    }
    try {
        db::Connection& c = tables();
        const qint64 debits = countDebits(c);
        if (debits == 0) {
            out.kind = Outcome::Kind::NoDebits;
            out.message = "Não existem débitos a serem gerados.";
            return out;
        }
        const Parametros par = readParametros(c);
        if (par.rowid < 0) {
            out.kind = Outcome::Kind::Failed;
            out.message = "A tabela PARAMETROS.DB não tem os parâmetros da empresa: cadastre-os "
                          "antes de gerar a remessa.";
            return out;
        }
        if (par.codInt.trimmed().isEmpty() || par.codVerba.trimmed().isEmpty()) {
            out.kind = Outcome::Kind::Failed;
            out.message = "Os códigos PREVI da empresa (interface e verba) estão vazios em "
                          "PARAMETROS.DB: cadastre-os antes de gerar a remessa.";
            return out;
        }

        const QString badValue = valueProblem(c);
        if (!badValue.isEmpty()) {
            out.kind = Outcome::Kind::Failed;
            out.message = badValue;
            return out;
        }

        // Written under a temporary name beside the target and renamed when complete.
        QSaveFile file(path);
        file.setDirectWriteFallback(false);
        if (!file.open(QIODevice::WriteOnly)) {
            out.kind = Outcome::Kind::CannotCreate;
            out.message = "Erro ao criar arquivo: " + path;
            return out;
        }
        auto writeLine = [&](const QString& record) {
            const QByteArray bytes = cp1252::encode(record) + "\r\n";
            if (file.write(bytes) != bytes.size())
                throw EngineError(writeFailure(path, file));
        };

        db::Transaction tx(c);
        qint64 written = 0;
        double total = 0;
        try {
            writeLine(headerRecord(name, today));
            levarDebitosParaData(debitDate);

            const double remessa = par.number + 1;
            RetDebitoWriter ret(c, today);
            Stmt pass(c, "SELECT d.DEB_DATA, d.DEB_ASS_ID, d.DEB_VALOR, a.ASS_ID, a.ASS_MATRICULA "
                         "FROM DEBITO.DEBITO d LEFT JOIN ASSOCIADOS.ASSOCIADOS a "
                         "ON a.ASS_ID = d.DEB_ASS_ID "
                         "ORDER BY d.DEB_DATA, d.DEB_ASS_ID, d.DEB_VALOR, d.rowid");
            while (pass.row()) {
                sqlite3_stmt* st = pass.get();
                if (sqlite3_column_type(st, 3) == SQLITE_NULL) continue;  // member missing
                const QString matricula = trimControls(columnValue(st, 4).toString());
                if (matricula.isEmpty()) continue;
                const QVariant date = columnValue(st, 0);
                const QDate d = QDate::fromString(date.toString(), Qt::ISODate);
                const QVariant value = columnValue(st, 2);
                ++written;
                total += value.toDouble();
                if (progress) progress(int(written), int(debits));
                writeLine(detailRecord(par.codInt, matricula, d, par.codVerba,
                                       toCurrency(value.toDouble())));
                ret.record(date, columnValue(st, 3), remessa, value);
            }
            if (!std::isfinite(total) || std::fabs(total) >= 9e14
                || FormataValor(toCurrency(total)).size() > 15)
                throw EngineError("O total " + QString::number(total, 'f', 2) + " não cabe nas 15 "
                                  "posições do total no trailer; o arquivo " + path
                                  + " não foi gravado.");
            writeLine(trailerRecord(written, toCurrency(total)));
            if (!file.commit())
                throw EngineError(writeFailure(path, file));

            const qint64 advanced = std::llround(par.number) + 1;
            Stmt advance(c, "UPDATE PARAMETROS.PARAMETROS SET EMP_NR_REM_PREVI = ? "
                            "WHERE rowid = ?");
            advance.bind({double(advanced), par.rowid}).run();
            const qint64 remaining = countDebits(c);
            tx.commit();
            c.bump();  // open datasets re-read the rows changed here

            out.summary << "Nr Total de Registros.....: " + QString::number(remaining)
                        << "Valor total dos créditos..: " + money(total)
                        << "Mes / Ano da Remessa......:" + today.toString("MM/yyyy")
                        << "Número da Remessa.........:" + QString::number(advanced)
                        << "Arquivo de Remessa........:" + path;
            out.message = out.summary.join("\r");
            return out;
        } catch (...) {
            // What was changed in the tables stays; the file never appears half written.
            file.cancelWriting();
            c.bump();
            tx.commit();
            throw;
        }
    } catch (const EngineError& e) {
        out.kind = Outcome::Kind::Failed;
        out.message = e.message();
        return out;
    }
}

}  // namespace remessa

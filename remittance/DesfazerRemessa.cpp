#include "remittance/DesfazerRemessa.h"

#include "core/Historico.h"
#include "core/TableDefs.h"
#include "core/engine/Connection.h"
#include "core/engine/Database.h"
#include "core/engine/EngineError.h"
#include "core/engine/SqlValue.h"
#include "remittance/ArquivoPendente.h"
#include "remittance/PlanoData.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLockFile>

#include <sqlite3.h>

namespace remessa {

namespace {

using db::StmtGuard;

// The record: one header (the last remittance) and the rows it keeps, as they were before it
// (O columns) with, where it is checked, what the remittance makes of them (N columns). The
// value columns have no type, so every value is kept exactly as the table held it.
void criar(db::Connection& c)
{
    QString linhas = "CREATE TABLE IF NOT EXISTS main.REMESSA_DESFAZER_LINHAS ("
                     " SEQ INTEGER PRIMARY KEY, TABELA TEXT NOT NULL, OP TEXT NOT NULL,"
                     " RID INTEGER NOT NULL";
    for (int i = 1; i <= 8; ++i) linhas += QString(", O%1, N%1").arg(i);
    c.exec("CREATE TABLE IF NOT EXISTS main.REMESSA_DESFAZER ("
           " REMESSA INTEGER NOT NULL, ARQUIVO TEXT NOT NULL, DATA_DEBITO TEXT NOT NULL,"
           " GERADA_EM TEXT NOT NULL, IMPORTACOES INTEGER NOT NULL,"
           " DESFEITA INTEGER NOT NULL DEFAULT 0, DESTINO TEXT);"
           + linhas + ")");
}

bool existe(db::Connection& c, const char* table)
{
    StmtGuard st(db::prepare(c.handle(), "SELECT 1 FROM main.sqlite_master WHERE type = 'table' "
                                         "AND name = ?"));
    db::bindAll(st.get(), {QString::fromLatin1(table)});
    return sqlite3_step(st.get()) == SQLITE_ROW;
}

// The fields of a table as the one table definition names them.
QStringList campos(const char* fileName)
{
    QStringList out;
    for (const store::FieldSpec& f : tables::find(fileName)->fields)
        out << QString::fromStdString(f.name);
    return out;
}

// Imports recorded for a month so far (the record of imported files may not exist yet).
qint64 importacoes(db::Connection& c, const QDate& mes)
{
    if (!existe(c, "RETORNOS_IMPORTADOS")) return 0;
    StmtGuard st(db::prepare(c.handle(), "SELECT count(*) FROM main.RETORNOS_IMPORTADOS "
                                         "WHERE MES = ? AND ANO = ?"));
    db::bindAll(st.get(), {mes.month(), mes.year()});
    if (sqlite3_step(st.get()) != SQLITE_ROW) db::throwSqlite(c.handle());
    return sqlite3_column_int64(st.get(), 0);
}

struct Cabecalho {
    qint64 remessa = 0;
    QString arquivo;
    QDate dataDebito;
    qint64 importacoes = 0;
    bool desfeita = false;
    QString destino;
};

std::optional<Cabecalho> lerCabecalho(db::Connection& c)
{
    if (!existe(c, "REMESSA_DESFAZER")) return std::nullopt;
    StmtGuard st(db::prepare(c.handle(), "SELECT REMESSA, ARQUIVO, DATA_DEBITO, IMPORTACOES, "
                                         "DESFEITA, DESTINO FROM main.REMESSA_DESFAZER LIMIT 1"));
    const int rc = sqlite3_step(st.get());
    if (rc == SQLITE_DONE) return std::nullopt;
    if (rc != SQLITE_ROW) db::throwSqlite(c.handle());
    auto text = [&](int col) {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), col)));
    };
    return Cabecalho{sqlite3_column_int64(st.get(), 0), text(1),
                     QDate::fromString(text(2), Qt::ISODate), sqlite3_column_int64(st.get(), 3),
                     sqlite3_column_int(st.get(), 4) != 0, text(5)};
}

// The name the undone file gets: ".desfeita" appended, or, when an earlier undo took that
// name, ".desfeita.2", ".desfeita.3"...
QString destinoLivre(const QString& arquivo)
{
    QString destino = arquivo + ".desfeita";
    for (int n = 2; QFileInfo::exists(destino) || QFileInfo(destino).isSymLink(); ++n)
        destino = arquivo + ".desfeita." + QString::number(n);
    return destino;
}

db::Connection& tabelas()
{
    db::Connection& c = db::Session::instance().connectionFor("Tolmare");
    for (const char* f : {"PARAMETROS.DB", "DEBITO.DB", "RET_DEBITO.DB"})
        c.attach(QString::fromLatin1(f));
    return c;
}

double numeroAtual(db::Connection& c)
{
    StmtGuard st(db::prepare(c.handle(), "SELECT EMP_NR_REM_PREVI FROM PARAMETROS.PARAMETROS "
                                         "ORDER BY EMP_NOME, rowid LIMIT 1", "PARAMETROS.DB"));
    return sqlite3_step(st.get()) == SQLITE_ROW ? sqlite3_column_double(st.get(), 0) : -1;
}

// Why the remittance of `h` cannot be undone now; empty when it can.
QString recusa(db::Connection& c, const Cabecalho& h)
{
    const QString qual = "A remessa " + QString::number(h.remessa) + " não pode ser desfeita: ";
    if (h.desfeita) return "A remessa " + QString::number(h.remessa) + " já foi desfeita.";
    if (numeroAtual(c) != double(h.remessa))
        return qual + "o número da remessa nos parâmetros da empresa mudou depois dela.";
    StmtGuard st(db::prepare(c.handle(), "SELECT 1 FROM RET_DEBITO.RET_DEBITO WHERE "
                                         "DEB_REMESSA = ? AND DEB_DATA_RETORNO IS NOT NULL "
                                         "LIMIT 1", "RET_DEBITO.DB"));
    db::bindAll(st.get(), {double(h.remessa)});
    if (sqlite3_step(st.get()) == SQLITE_ROW || importacoes(c, h.dataDebito) > h.importacoes)
        return qual + "já foi importado um retorno para ela (" + h.dataDebito.toString("MM/yyyy")
               + ").";
    return {};
}

struct Recusa {
    QString message;
};

// Runs a statement to its end (a row of a SELECT answers true); a key the table refuses is a
// row put back that clashes with one added since.
class Passo {
public:
    Passo(db::Connection& c, const QString& sql, const QString& qual)
        : c_(c), st_(db::prepare(c.handle(), sql)), qual_(qual)
    {
    }
    sqlite3_stmt* get() const { return st_.get(); }
    Passo& again()
    {
        sqlite3_reset(st_.get());
        sqlite3_clear_bindings(st_.get());
        return *this;
    }
    bool run()
    {
        const int rc = sqlite3_step(st_.get());
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        if ((sqlite3_extended_errcode(c_.handle()) & 0xff) == SQLITE_CONSTRAINT)
            throw Recusa{qual_ + "um débito excluído por ela foi cadastrado de novo depois."};
        db::throwSqlite(c_.handle());
    }

private:
    db::Connection& c_;
    StmtGuard st_;
    QString qual_;
};

QString marcas(qsizetype n) { return QStringList(n, "?").join(", "); }

// The columns O1..On (or N1..Nn) of the record.
QString colunas(char prefix, qsizetype n)
{
    QStringList out;
    for (int i = 1; i <= n; ++i) out << QString("%1%2").arg(prefix).arg(i);
    return out.join(", ");
}

// Puts back what the record kept: the remittance number, each debit re-dated (still as the
// remittance left it) and each debit deleted, and the RET_DEBITO rows of the debit date as
// they were.
void reporLinhas(db::Connection& c, const Cabecalho& h, const QString& qual)
{
    const QStringList deb = campos("DEBITO.DB"), ret = campos("RET_DEBITO.DB");
    const QString date = h.dataDebito.toString(Qt::ISODate);
    // Columns of the record: SEQ, TABELA, OP, RID, O1, N1, O2, N2, ...
    auto oldCol = [](int i) { return 4 + 2 * i; };
    StmtGuard log(db::prepare(c.handle(), "SELECT * FROM main.REMESSA_DESFAZER_LINHAS "
                                          "ORDER BY SEQ"));
    Passo numero(c, "UPDATE PARAMETROS.PARAMETROS SET EMP_NR_REM_PREVI = ? WHERE rowid = ? "
                    "AND EMP_NR_REM_PREVI IS ?", qual);
    QStringList same;
    for (int i = 1; i < deb.size(); ++i) same << deb[i] + " IS ?";
    Passo redatado(c, "UPDATE DEBITO.DEBITO SET DEB_DATA = ? WHERE rowid = ? AND DEB_DATA IS ? "
                      "AND " + same.join(" AND "), qual);
    Passo apagado(c, "INSERT INTO DEBITO.DEBITO (rowid, " + deb.join(", ") + ") VALUES ("
                         + marcas(deb.size() + 1) + ")", qual);
    Passo limpar(c, "DELETE FROM RET_DEBITO.RET_DEBITO WHERE DEB_DATA = ?", qual);
    Passo retorno(c, "INSERT INTO RET_DEBITO.RET_DEBITO (rowid, " + ret.join(", ") + ") VALUES ("
                         + marcas(ret.size() + 1) + ")", qual);
    sqlite3_bind_text(limpar.get(), 1, date.toUtf8().constData(), -1, SQLITE_TRANSIENT);
    limpar.run();
    int rc;
    while ((rc = sqlite3_step(log.get())) == SQLITE_ROW) {
        sqlite3_stmt* l = log.get();
        const QByteArray table(reinterpret_cast<const char*>(sqlite3_column_text(l, 1)));
        const char op = *reinterpret_cast<const char*>(sqlite3_column_text(l, 2));
        const qint64 rid = sqlite3_column_int64(l, 3);
        auto value = [&](int col) { return sqlite3_column_value(l, col); };
        if (table == "PARAMETROS") {
            numero.again();
            sqlite3_bind_value(numero.get(), 1, value(oldCol(0)));
            sqlite3_bind_int64(numero.get(), 2, rid);
            sqlite3_bind_value(numero.get(), 3, value(oldCol(0) + 1));
            numero.run();
            if (sqlite3_changes(c.handle()) != 1)
                throw Recusa{qual + "o número da remessa mudou depois dela."};
        } else if (table == "DEBITO" && op == 'U') {
            redatado.again();
            sqlite3_bind_value(redatado.get(), 1, value(oldCol(0)));
            sqlite3_bind_int64(redatado.get(), 2, rid);
            sqlite3_bind_value(redatado.get(), 3, value(oldCol(0) + 1));
            for (int i = 1; i < deb.size(); ++i)
                sqlite3_bind_value(redatado.get(), i + 3, value(oldCol(i)));
            redatado.run();
            if (sqlite3_changes(c.handle()) != 1)
                throw Recusa{qual + "um débito que ela levou à data de débito foi alterado ou "
                                    "excluído depois."};
        } else if (table == "DEBITO") {
            apagado.again();
            sqlite3_bind_int64(apagado.get(), 1, rid);
            for (int i = 0; i < deb.size(); ++i)
                sqlite3_bind_value(apagado.get(), i + 2, value(oldCol(i)));
            apagado.run();
        } else {
            retorno.again();
            sqlite3_bind_int64(retorno.get(), 1, rid);
            for (int i = 0; i < ret.size(); ++i)
                sqlite3_bind_value(retorno.get(), i + 2, value(oldCol(i)));
            retorno.run();
        }
    }
    if (rc != SQLITE_DONE) db::throwSqlite(c.handle());
}

constexpr int kWaitForOther = 3000;  // ms

}  // namespace

GravacaoDesfazer::GravacaoDesfazer(db::Connection& c, qint64 remessa, const QString& arquivo,
                                   const QDate& debitDate)
    : c_(c), data_(debitDate.toString(Qt::ISODate))
{
    if (const QString left = concluirDesfazimento(c); !left.isEmpty())
        throw db::EngineError(left);
    criar(c);
    c.exec("DELETE FROM main.REMESSA_DESFAZER_LINHAS; DELETE FROM main.REMESSA_DESFAZER");
    StmtGuard st(db::prepare(c.handle(), "INSERT INTO main.REMESSA_DESFAZER (REMESSA, ARQUIVO, "
                                         "DATA_DEBITO, GERADA_EM, IMPORTACOES) "
                                         "VALUES (?, ?, ?, ?, ?)"));
    db::bindAll(st.get(), {remessa, arquivo, data_,
                           QDateTime::currentDateTime().toString(Qt::ISODate),
                           importacoes(c, debitDate)});
    if (sqlite3_step(st.get()) != SQLITE_DONE) db::throwSqlite(c.handle());

    // The debits the date step will delete or re-date, planned as it plans them.
    QVector<DebitoNaOrdem> ordem;
    {
        StmtGuard all(db::prepare(c.handle(), "SELECT rowid, DEB_DATA, DEB_ASS_ID FROM "
                                              "DEBITO.DEBITO ORDER BY DEB_DATA, DEB_ASS_ID, "
                                              "DEB_VALOR, rowid", "DEBITO.DB"));
        int rc;
        while ((rc = sqlite3_step(all.get())) == SQLITE_ROW) {
            auto col = [&](int i) {
                switch (sqlite3_column_type(all.get(), i)) {
                case SQLITE_NULL: return QVariant();
                case SQLITE_TEXT:
                    return QVariant(QString::fromUtf8(
                        reinterpret_cast<const char*>(sqlite3_column_text(all.get(), i))));
                default: return QVariant(sqlite3_column_double(all.get(), i));
                }
            };
            ordem.append(debitoNaOrdem(sqlite3_column_int64(all.get(), 0), col(1), col(2),
                                       debitDate));
        }
        if (rc != SQLITE_DONE) db::throwSqlite(c.handle(), "DEBITO.DB");
        debitosAntes_ = ordem.size();
    }
    const PlanoData plano = planejarData(ordem);
    apagados_ = plano.apagar.size();
    redatados_ = plano.redatar.size();
    const QStringList deb = campos("DEBITO.DB"), ret = campos("RET_DEBITO.DB");
    StmtGuard keep(db::prepare(c.handle(),
        "INSERT INTO main.REMESSA_DESFAZER_LINHAS (TABELA, OP, RID, N1, " + colunas('O', deb.size())
            + ") SELECT 'DEBITO', ?, rowid, ?, " + deb.join(", ")
            + " FROM DEBITO.DEBITO WHERE rowid = ?"));
    const QByteArray date = data_.toUtf8();
    for (const auto& [op, rowids] : {std::pair{"D", &plano.apagar}, std::pair{"U", &plano.redatar}})
        for (const qint64 rowid : *rowids) {
            sqlite3_reset(keep.get());
            sqlite3_bind_text(keep.get(), 1, op, -1, SQLITE_STATIC);
            if (*op == 'U') sqlite3_bind_text(keep.get(), 2, date.constData(), -1, SQLITE_STATIC);
            else sqlite3_bind_null(keep.get(), 2);
            sqlite3_bind_int64(keep.get(), 3, rowid);
            if (sqlite3_step(keep.get()) != SQLITE_DONE) db::throwSqlite(c.handle());
        }
    // The RET_DEBITO rows of the debit date, where every row the remittance writes lies, and
    // the remittance number with the one it becomes.
    StmtGuard rows(db::prepare(c.handle(),
        "INSERT INTO main.REMESSA_DESFAZER_LINHAS (TABELA, OP, RID, " + colunas('O', ret.size())
            + ") SELECT 'RET_DEBITO', 'S', rowid, " + ret.join(", ")
            + " FROM RET_DEBITO.RET_DEBITO WHERE DEB_DATA = ?"));
    db::bindAll(rows.get(), {data_});
    if (sqlite3_step(rows.get()) != SQLITE_DONE) db::throwSqlite(c.handle());
    StmtGuard number(db::prepare(c.handle(),
        "INSERT INTO main.REMESSA_DESFAZER_LINHAS (TABELA, OP, RID, O1, N1) SELECT "
        "'PARAMETROS', 'U', rowid, EMP_NR_REM_PREVI, ? FROM PARAMETROS.PARAMETROS "
        "ORDER BY EMP_NOME, rowid LIMIT 1"));
    db::bindAll(number.get(), {double(remessa)});
    if (sqlite3_step(number.get()) != SQLITE_DONE) db::throwSqlite(c.handle());
}

void GravacaoDesfazer::conferir()
{
    // The date step did what was planned: the deleted debits are gone, the re-dated ones lie
    // on the date. Otherwise the record could not undo it, and the generation stops.
    StmtGuard st(db::prepare(c_.handle(),
        "SELECT (SELECT count(*) FROM DEBITO.DEBITO), (SELECT count(*) FROM "
        "main.REMESSA_DESFAZER_LINHAS l JOIN DEBITO.DEBITO d ON d.rowid = l.RID WHERE "
        "l.TABELA = 'DEBITO' AND l.OP = 'U' AND d.DEB_DATA IS l.N1)"));
    if (sqlite3_step(st.get()) != SQLITE_ROW) db::throwSqlite(c_.handle());
    if (sqlite3_column_int64(st.get(), 0) != debitosAntes_ - apagados_
        || sqlite3_column_int64(st.get(), 1) != redatados_)
        throw db::EngineError("Os débitos levados à data de débito não conferem com o que foi "
                              "registrado para desfazer a remessa: informe o suporte.");
}

QString concluirDesfazimento(db::Connection& c)
{
    const std::optional<Cabecalho> h = lerCabecalho(c);
    if (!h || !h->desfeita) return {};
    if (QFileInfo::exists(h->arquivo) && !QFileInfo::exists(h->destino)
        && !QFile::rename(h->arquivo, h->destino))
        return "A remessa " + QString::number(h->remessa) + " foi desfeita, mas o arquivo "
               + h->arquivo + " não pôde ser renomeado para " + h->destino + ": verifique a pasta.";
    c.exec("DELETE FROM main.REMESSA_DESFAZER");
    return {};
}

std::optional<UltimaRemessa> ultimaRemessa()
{
    db::Connection& c = tabelas();
    const std::optional<Cabecalho> h = lerCabecalho(c);
    if (!h || h->desfeita) return std::nullopt;
    return UltimaRemessa{h->remessa, h->arquivo, h->dataDebito, recusa(c, *h)};
}

ResultadoDesfazer desfazerUltimaRemessa()
{
    using Kind = ResultadoDesfazer::Kind;
    const QString nada = "\nNada foi alterado.";
    db::Connection* conn = nullptr;
    try {
        db::Connection& c = tabelas();
        conn = &c;
        QLockFile lock(QDir(c.folder()).filePath(".tolmare-remessa.lock"));
        lock.setStaleLockTime(0);
        if (!lock.tryLock(kWaitForOther))
            return {Kind::Failed, "As tabelas estão em uso por outro programa (uma remessa em "
                                  "andamento). Tente de novo quando ele terminar." + nada};
        if (const QStringList left = concluirPendentes(c); !left.isEmpty())
            return {Kind::Failed, left.join("\n")};
        if (const QString left = concluirDesfazimento(c); !left.isEmpty())
            return {Kind::Failed, left};

        db::Transaction tx(c);
        const std::optional<Cabecalho> h = lerCabecalho(c);
        if (!h) return {Kind::Refused, "Não há remessa a desfazer: a última remessa gerada não "
                                       "foi registrada para ser desfeita."};
        if (const QString why = recusa(c, *h); !why.isEmpty()) return {Kind::Refused, why + nada};
        const QString qual = "A remessa " + QString::number(h->remessa) + " não pode ser "
                             "desfeita: ";
        reporLinhas(c, *h, qual);
        const QString destino = destinoLivre(h->arquivo);
        StmtGuard mark(db::prepare(c.handle(), "UPDATE main.REMESSA_DESFAZER SET DESFEITA = 1, "
                                               "DESTINO = ?"));
        db::bindAll(mark.get(), {destino});
        if (sqlite3_step(mark.get()) != SQLITE_DONE) db::throwSqlite(c.handle());
        c.exec("DELETE FROM main.REMESSA_DESFAZER_LINHAS");
        historico::registrar(c, "Remessa", QString("remessa %1 de %2 desfeita: arquivo %3 "
                                                   "renomeado para %4")
                                               .arg(h->remessa)
                                               .arg(h->dataDebito.toString("dd/MM/yyyy"),
                                                    h->arquivo, destino));
        tx.commit();
        c.bump();
        QString message = "A remessa " + QString::number(h->remessa) + " de "
                          + h->dataDebito.toString("dd/MM/yyyy") + " foi desfeita: os débitos, "
                          "os retornos e o número da remessa voltaram ao que eram antes dela.";
        if (const QString left = concluirDesfazimento(c); !left.isEmpty())
            return {Kind::Failed, message + "\n" + left};
        if (QFileInfo::exists(destino))
            message += "\nO arquivo " + h->arquivo + " foi renomeado para " + destino + ".";
        return {Kind::Done, message};
    } catch (const Recusa& r) {
        if (conn) conn->bump();
        return {Kind::Refused, r.message + nada};
    } catch (const db::EngineError& e) {
        if (conn) conn->bump();
        return {Kind::Failed, e.message() + nada};
    }
}

}  // namespace remessa

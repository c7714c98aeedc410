#include "remittance/DesfazerRemessa.h"

#include "core/Historico.h"
#include "core/TableDefs.h"
#include "core/engine/Connection.h"
#include "core/engine/Database.h"
#include "core/engine/EngineError.h"
#include "core/engine/SqlValue.h"
#include "remittance/ArquivoPendente.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLockFile>

#include <sqlite3.h>

namespace remessa {

namespace {

using db::StmtGuard;

// The record: one header (the last remittance) and its changes in the order they were made.
// The value columns have no type, so every value is kept exactly as the table held it.
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

struct Tabela {
    const char* arquivo;  // "DEBITO.DB"
    const char* nome;     // "DEBITO"
};
const Tabela kTabelas[] = {{"DEBITO.DB", "DEBITO"}, {"RET_DEBITO.DB", "RET_DEBITO"}};

const char* const kTriggers[] = {"tolmare_desfazer_DEBITO_i", "tolmare_desfazer_DEBITO_u",
                                 "tolmare_desfazer_DEBITO_d", "tolmare_desfazer_RET_DEBITO_i",
                                 "tolmare_desfazer_RET_DEBITO_u", "tolmare_desfazer_RET_DEBITO_d",
                                 "tolmare_desfazer_PARAMETROS_u"};

void dropTriggers(db::Connection& c)
{
    for (const char* t : kTriggers) c.exec(QString("DROP TRIGGER IF EXISTS temp.%1").arg(t));
}

// Temporary triggers of this connection alone: they see the generation's own changes and
// nothing another program does.
void createTriggers(db::Connection& c)
{
    for (const Tabela& t : kTabelas) {
        const QStringList f = campos(t.arquivo);
        QStringList cols, olds, news;
        for (int i = 0; i < f.size(); ++i) {
            cols << QString("O%1").arg(i + 1);
            olds << "OLD." + f[i];
            news << "NEW." + f[i];
        }
        QStringList ncols;
        for (int i = 0; i < f.size(); ++i) ncols << QString("N%1").arg(i + 1);
        auto trigger = [&](const char* op, const char* when, const QString& rid,
                           const QStringList& into, const QStringList& values) {
            c.exec(QString("CREATE TEMP TRIGGER tolmare_desfazer_%1_%2 AFTER %3 ON %1.%1 BEGIN "
                           "INSERT INTO REMESSA_DESFAZER_LINHAS (TABELA, OP, RID, %4) "
                           "VALUES ('%1', '%5', %6, %7); END")
                       .arg(t.nome, QString(op).toLower(), when, into.join(", "), op, rid,
                            values.join(", ")));
        };
        trigger("I", "INSERT", "NEW.rowid", ncols, news);
        trigger("U", "UPDATE", "OLD.rowid", cols + ncols, olds + news);
        trigger("D", "DELETE", "OLD.rowid", cols, olds);
    }
    c.exec("CREATE TEMP TRIGGER tolmare_desfazer_PARAMETROS_u AFTER UPDATE OF EMP_NR_REM_PREVI "
           "ON PARAMETROS.PARAMETROS BEGIN INSERT INTO REMESSA_DESFAZER_LINHAS "
           "(TABELA, OP, RID, O1, N1) VALUES ('PARAMETROS', 'U', OLD.rowid, "
           "OLD.EMP_NR_REM_PREVI, NEW.EMP_NR_REM_PREVI); END");
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

// Puts back the changes kept, the last first: each row must still be as the remittance left
// it, and gets back what it was.
void reporLinhas(db::Connection& c, const QString& qual)
{
    StmtGuard log(db::prepare(c.handle(), "SELECT * FROM main.REMESSA_DESFAZER_LINHAS "
                                          "ORDER BY SEQ DESC"));
    QHash<QString, QStringList> fields;
    for (const Tabela& t : kTabelas) fields.insert(t.nome, campos(t.arquivo));
    fields.insert("PARAMETROS", {"EMP_NR_REM_PREVI"});
    // Columns of the log: SEQ, TABELA, OP, RID, O1, N1, O2, N2, ...
    auto oldCol = [](int i) { return 4 + 2 * i; };
    auto newCol = [](int i) { return 5 + 2 * i; };
    QHash<QString, std::shared_ptr<StmtGuard>> cache;
    auto stmt = [&](const QString& sql) {
        auto& s = cache[sql];
        if (!s) s = std::make_shared<StmtGuard>(db::prepare(c.handle(), sql));
        sqlite3_reset(s->get());
        sqlite3_clear_bindings(s->get());
        return s->get();
    };
    auto step = [&](sqlite3_stmt* st) {
        const int rc = sqlite3_step(st);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        if ((sqlite3_extended_errcode(c.handle()) & 0xff) == SQLITE_CONSTRAINT)
            throw Recusa{qual + "um débito excluído por ela foi cadastrado de novo depois."};
        db::throwSqlite(c.handle());
    };
    int rc;
    while ((rc = sqlite3_step(log.get())) == SQLITE_ROW) {
        sqlite3_stmt* l = log.get();
        const QString table = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(l, 1)));
        const char op = *reinterpret_cast<const char*>(sqlite3_column_text(l, 2));
        const qint64 rid = sqlite3_column_int64(l, 3);
        const QStringList& f = fields[table];
        const QString name = table + "." + table;
        if (op == 'U' || op == 'I') {
            // Still as the remittance left it?
            QStringList same;
            for (const QString& x : f) same << x + " IS ?";
            sqlite3_stmt* check = stmt("SELECT 1 FROM " + name + " WHERE rowid = ? AND "
                                       + same.join(" AND "));
            sqlite3_bind_int64(check, 1, rid);
            for (int i = 0; i < f.size(); ++i)
                sqlite3_bind_value(check, i + 2, sqlite3_column_value(l, newCol(i)));
            if (!step(check))
                throw Recusa{qual + (table == "DEBITO" ? QString("um débito que ela alterou foi "
                                                                 "alterado ou excluído depois.")
                                                       : table == "RET_DEBITO"
                                                           ? "uma linha de retorno dela foi "
                                                             "alterada depois."
                                                           : "o número da remessa mudou.")};
        }
        if (op == 'U') {
            QStringList set;
            for (const QString& x : f) set << x + " = ?";
            sqlite3_stmt* up = stmt("UPDATE " + name + " SET " + set.join(", ") + " WHERE rowid = ?");
            for (int i = 0; i < f.size(); ++i)
                sqlite3_bind_value(up, i + 1, sqlite3_column_value(l, oldCol(i)));
            sqlite3_bind_int64(up, int(f.size()) + 1, rid);
            step(up);
        } else if (op == 'I') {
            sqlite3_stmt* del = stmt("DELETE FROM " + name + " WHERE rowid = ?");
            sqlite3_bind_int64(del, 1, rid);
            step(del);
        } else {
            QStringList marks(f.size() + 1, "?");
            sqlite3_stmt* ins = stmt("INSERT INTO " + name + " (rowid, " + f.join(", ")
                                     + ") VALUES (" + marks.join(", ") + ")");
            sqlite3_bind_int64(ins, 1, rid);
            for (int i = 0; i < f.size(); ++i)
                sqlite3_bind_value(ins, i + 2, sqlite3_column_value(l, oldCol(i)));
            step(ins);
        }
    }
    if (rc != SQLITE_DONE) db::throwSqlite(c.handle());
}

constexpr int kWaitForOther = 3000;  // ms

}  // namespace

GravacaoDesfazer::GravacaoDesfazer(db::Connection& c, qint64 remessa, const QString& arquivo,
                                   const QDate& debitDate)
    : c_(c)
{
    if (const QString left = concluirDesfazimento(c); !left.isEmpty())
        throw db::EngineError(left);
    criar(c);
    c.exec("DELETE FROM main.REMESSA_DESFAZER_LINHAS; DELETE FROM main.REMESSA_DESFAZER");
    StmtGuard st(db::prepare(c.handle(), "INSERT INTO main.REMESSA_DESFAZER (REMESSA, ARQUIVO, "
                                         "DATA_DEBITO, GERADA_EM, IMPORTACOES) "
                                         "VALUES (?, ?, ?, ?, ?)"));
    db::bindAll(st.get(), {remessa, arquivo, debitDate.toString(Qt::ISODate),
                           QDateTime::currentDateTime().toString(Qt::ISODate),
                           importacoes(c, debitDate)});
    if (sqlite3_step(st.get()) != SQLITE_DONE) db::throwSqlite(c.handle());
    dropTriggers(c);
    createTriggers(c);
    ativa_ = true;
}

GravacaoDesfazer::~GravacaoDesfazer()
{
    try {
        terminar();
    } catch (...) {
    }
}

void GravacaoDesfazer::terminar()
{
    if (!ativa_) return;
    ativa_ = false;
    dropTriggers(c_);
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
        reporLinhas(c, qual);
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

#include "core/Historico.h"

#include "core/UVariaveis.h"
#include "core/engine/Connection.h"
#include "core/engine/Database.h"
#include "core/engine/EngineError.h"
#include "core/engine/SqlValue.h"

#include <sqlite3.h>

namespace historico {

namespace {

// Created on first use; the triggers keep the log append-only against any program.
const char* const kEsquema =
    "CREATE TABLE IF NOT EXISTS main.HISTORICO ("
    " ID INTEGER PRIMARY KEY AUTOINCREMENT, QUANDO TEXT NOT NULL, USUARIO INTEGER NOT NULL,"
    " OPERACAO TEXT NOT NULL, DETALHE TEXT NOT NULL);"
    "CREATE TRIGGER IF NOT EXISTS main.HISTORICO_SEM_ALTERACAO BEFORE UPDATE ON HISTORICO"
    " BEGIN SELECT RAISE(ABORT, 'O histórico de operações não pode ser alterado.'); END;"
    "CREATE TRIGGER IF NOT EXISTS main.HISTORICO_SEM_EXCLUSAO BEFORE DELETE ON HISTORICO"
    " BEGIN SELECT RAISE(ABORT, 'O histórico de operações não pode ser apagado.'); END;";

void criar(db::Connection& c)
{
    c.exec(QString::fromLatin1(kEsquema));
}

bool existe(db::Connection& c)
{
    db::StmtGuard st(db::prepare(c.handle(), "SELECT 1 FROM main.sqlite_master WHERE "
                                             "type = 'table' AND name = 'HISTORICO'"));
    const int rc = sqlite3_step(st.get());
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) db::throwSqlite(c.handle(), "HISTORICO");
    return rc == SQLITE_ROW;
}

}  // namespace

void registrar(db::Connection& c, const QString& operacao, const QString& detalhe)
{
    const bool proprio = !c.inTransaction();
    if (proprio) c.begin();
    try {
        criar(c);
        db::StmtGuard st(db::prepare(c.handle(),
            "INSERT INTO main.HISTORICO (QUANDO, USUARIO, OPERACAO, DETALHE) VALUES (?, ?, ?, ?)",
            "HISTORICO"));
        db::bindAll(st.get(), {QDateTime::currentDateTime().toString(Qt::ISODateWithMs),
                               qint64(UsuarioAtual), operacao, detalhe});
        if (sqlite3_step(st.get()) != SQLITE_DONE) db::throwSqlite(c.handle(), "HISTORICO");
        if (proprio) c.commit();
    } catch (...) {
        if (proprio && c.inTransaction()) {
            try {
                c.rollback();
            } catch (...) {
            }
        }
        throw;
    }
}

void registrar(const QString& operacao, const QString& detalhe)
{
    registrar(db::Session::instance().connectionFor("Tolmare"), operacao, detalhe);
}

QList<Linha> ler(db::Connection& c, const QDate& desde)
{
    QList<Linha> out;
    if (!existe(c)) return out;
    db::StmtGuard st(db::prepare(c.handle(),
        "SELECT QUANDO, USUARIO, OPERACAO, DETALHE FROM main.HISTORICO "
        "WHERE QUANDO >= ? ORDER BY ID", "HISTORICO"));
    db::bindAll(st.get(), {desde.isValid() ? desde.toString(Qt::ISODate) : QString()});
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
        auto text = [&](int col) {
            return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), col)));
        };
        out.append({QDateTime::fromString(text(0), Qt::ISODateWithMs),
                    sqlite3_column_int(st.get(), 1), text(2), text(3)});
    }
    if (rc != SQLITE_DONE) db::throwSqlite(c.handle(), "HISTORICO");
    return out;
}

QString formatar(const Linha& l)
{
    return QString("%1  usuário %2  %3: %4")
        .arg(l.quando.toString("dd/MM/yyyy hh:mm:ss"))
        .arg(l.usuario)
        .arg(l.operacao, l.detalhe);
}

}  // namespace historico

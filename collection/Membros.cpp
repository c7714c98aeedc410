#include "collection/Membros.h"

#include "core/engine/Connection.h"
#include "core/engine/SqlValue.h"

#include <sqlite3.h>

namespace cobranca {

namespace {

const char* const kSelect =
    "SELECT a.ASS_ID, a.ASS_NOME, a.ASS_MATRICULA, a.ASS_GRP_ID, g.GRP_DESCRICAO "
    "FROM ASSOCIADOS.ASSOCIADOS a LEFT JOIN GRUPO.GRUPO g ON g.GRP_ID = a.ASS_GRP_ID";

QString texto(sqlite3_stmt* st, int col)
{
    if (sqlite3_column_type(st, col) == SQLITE_NULL) return {};
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, col)),
                             sqlite3_column_bytes(st, col));
}

Membro membro(sqlite3_stmt* st)
{
    Membro m{texto(st, 1), texto(st, 2), texto(st, 4), std::nullopt};
    if (sqlite3_column_type(st, 3) != SQLITE_NULL) m.grupoId = sqlite3_column_double(st, 3);
    return m;
}

}  // namespace

QHash<double, Membro> lerMembros(db::Connection& c, const QSet<double>& quais)
{
    QHash<double, Membro> out;
    db::StmtGuard st(db::prepare(c.handle(), kSelect, "ASSOCIADOS.DB"));
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW)
        if (const double id = sqlite3_column_double(st.get(), 0); quais.contains(id))
            out.insert(id, membro(st.get()));
    if (rc != SQLITE_DONE) db::throwSqlite(c.handle(), "ASSOCIADOS.DB");
    return out;
}

std::optional<Membro> lerMembro(db::Connection& c, double assId)
{
    db::StmtGuard st(db::prepare(c.handle(), QString(kSelect) + " WHERE a.ASS_ID = ?",
                                 "ASSOCIADOS.DB"));
    db::bindAll(st.get(), {assId});
    const int rc = sqlite3_step(st.get());
    if (rc == SQLITE_ROW) return membro(st.get());
    if (rc != SQLITE_DONE) db::throwSqlite(c.handle(), "ASSOCIADOS.DB");
    return std::nullopt;
}

}  // namespace cobranca

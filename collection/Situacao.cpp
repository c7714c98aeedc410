#include "collection/Situacao.h"

#include "core/engine/Connection.h"
#include "core/engine/Database.h"
#include "core/engine/SqlValue.h"

#include <sqlite3.h>

namespace cobranca {

namespace {

QByteArrayView texto(sqlite3_stmt* st, int col)
{
    if (sqlite3_column_type(st, col) == SQLITE_NULL) return {};
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
    return QByteArrayView(p, sqlite3_column_bytes(st, col));
}

bool digitos(QByteArrayView s, int from, int n)
{
    for (int i = from; i < from + n; ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

}  // namespace

QString nomeSituacao(Situacao s)
{
    switch (s) {
    case Situacao::Aguardando: return "Aguardando";
    case Situacao::Recebido: return "Recebido";
    case Situacao::Devolvido: return "Devolvido";
    }
    return {};
}

bool motivoEmBranco(QByteArrayView motivo)
{
    for (const char ch : motivo)
        if (static_cast<unsigned char>(ch) > 32) return false;
    return true;
}

int mesDe(QByteArrayView d)
{
    if (d.size() < 7 || d[4] != '-' || !digitos(d, 0, 4) || !digitos(d, 5, 2)) return -1;
    const int year = (d[0] - '0') * 1000 + (d[1] - '0') * 100 + (d[2] - '0') * 10 + (d[3] - '0');
    const int month = (d[5] - '0') * 10 + (d[6] - '0');
    if (month < 1 || month > 12) return -1;
    return year * 12 + month - 1;
}

int mesDe(const QDate& d) { return d.isValid() ? d.year() * 12 + d.month() - 1 : -1; }

QDate primeiroDia(int mes) { return mes < 0 ? QDate() : QDate(mes / 12, mes % 12 + 1, 1); }

void percorrerRetornos(db::Connection& c, const FiltroRetornos& filtro,
                       const std::function<void(const LinhaRetorno&)>& each)
{
    QString sql = "SELECT rowid, DEB_ASS_ID, DEB_DATA, DEB_DATA_RETORNO, DEB_REMESSA, DEB_VALOR, "
                  "DEB_OCORRENCIA FROM RET_DEBITO.RET_DEBITO WHERE 1";
    QVector<QVariant> params;
    if (filtro.desde.isValid()) {
        sql += " AND DEB_DATA >= ?";
        params << filtro.desde.toString(Qt::ISODate);
    }
    if (filtro.ate.isValid()) {
        sql += " AND DEB_DATA < ?";
        params << filtro.ate.toString(Qt::ISODate);
    }
    if (filtro.associado) {
        sql += " AND DEB_ASS_ID = ?";
        params << *filtro.associado;
    }
    db::StmtGuard st(db::prepare(c.handle(), sql, "RET_DEBITO.DB"));
    db::bindAll(st.get(), params);
    LinhaRetorno r;
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
        sqlite3_stmt* s = st.get();
        r.rowid = sqlite3_column_int64(s, 0);
        r.temAssociado = sqlite3_column_type(s, 1) != SQLITE_NULL;
        r.associado = sqlite3_column_double(s, 1);
        r.data = texto(s, 2);
        r.mes = mesDe(r.data);
        r.dataRetorno = texto(s, 3);
        r.remessa = sqlite3_column_double(s, 4);
        const int tipoValor = sqlite3_column_type(s, 5);
        r.temValor = tipoValor == SQLITE_FLOAT || tipoValor == SQLITE_INTEGER;
        r.valor = r.temValor ? sqlite3_column_double(s, 5) : 0;
        r.motivo = texto(s, 6);
        r.situacao = r.dataRetorno.isEmpty() ? Situacao::Aguardando
                     : motivoEmBranco(r.motivo) ? Situacao::Recebido
                                                : Situacao::Devolvido;
        each(r);
    }
    if (rc != SQLITE_DONE) db::throwSqlite(c.handle(), "RET_DEBITO.DB");
}

Leitura::Leitura(db::Connection& c) : c_(c)
{
    if (!c_.inTransaction()) {
        c_.exec("BEGIN");
        began_ = true;
    }
}

Leitura::~Leitura()
{
    if (!began_) return;
    try {
        c_.exec("COMMIT");
    } catch (...) {
    }
}

db::Connection& conexao()
{
    db::Connection& c = db::Session::instance().connectionFor("Tolmare");
    for (const char* f : {"GRUPO.DB", "ASSOCIADOS.DB", "RET_DEBITO.DB"})
        c.attach(QString::fromLatin1(f));
    return c;
}

}  // namespace cobranca

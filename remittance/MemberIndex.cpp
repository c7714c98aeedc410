#include "remittance/MemberIndex.h"

#include "core/engine/Connection.h"
#include "core/engine/EngineError.h"
#include "core/engine/Statement.h"
#include "remittance/OrdemChave.h"

#include <sqlite3.h>

namespace retorno {

namespace {

const QString kTabela = "ASSOCIADOS.DB";
const char* const kColunas[] = {"matricula", "conta", "nome"};

// numeroEnviado as an SQL function, for the copy of the members.
void numeroEnviadoSql(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    if (!t) return sqlite3_result_error_nomem(ctx);
    const std::string n = MemberIndex::numeroEnviado(
        std::string_view(t, size_t(sqlite3_value_bytes(argv[0]))));
    sqlite3_result_text(ctx, n.data(), int(n.size()), SQLITE_TRANSIENT);
}

QString indexName(int f) { return QString("tolmare_retorno_%1").arg(kColunas[f]); }

}  // namespace

// Per field: the equal search, the prefix search (its range), and the remembered prefixes.
struct MemberIndex::Searches {
    explicit Searches(db::Connection& c)
        : remembered(c, "SELECT id FROM temp.tolmare_retorno_prefixos WHERE campo = ? AND "
                        "texto = ?", kTabela),
          remember(c, "INSERT INTO temp.tolmare_retorno_prefixos (campo, texto, id) VALUES "
                      "(?, ?, ?)", kTabela)
    {
        for (int f = 0; f < 3; ++f) {
            const QString col = kColunas[f];
            equal[f] = std::make_unique<db::Statement>(
                c, "SELECT id FROM temp.tolmare_retorno_membros INDEXED BY " + indexName(f)
                       + " WHERE " + col + " = ? ORDER BY pos LIMIT 1", kTabela);
            prefixed[f] = std::make_unique<db::Statement>(
                c, "SELECT min(pos), id, count(*) FROM temp.tolmare_retorno_membros INDEXED BY "
                       + indexName(f) + " WHERE " + col + " >= ?1 AND " + col + " < coalesce(?2, X'')",
                kTabela);
        }
    }
    std::unique_ptr<db::Statement> equal[3], prefixed[3];
    db::Statement remembered, remember;
};

MemberIndex::MemberIndex(db::Connection& c) : c_(c)
{
    c.attach(kTabela);
    if (sqlite3_create_function(c.handle(), "tolmare_numero_enviado", 1,
                                SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, numeroEnviadoSql,
                                nullptr, nullptr) != SQLITE_OK)
        db::throwSqlite(c.handle(), kTabela);
    c.exec("DROP TABLE IF EXISTS temp.tolmare_retorno_membros");
    c.exec("DROP TABLE IF EXISTS temp.tolmare_retorno_prefixos");
    // The values as their bytes: a blob's bytes are taken as text, and comparisons are binary.
    c.exec("CREATE TEMP TABLE tolmare_retorno_membros (pos INTEGER PRIMARY KEY, id INTEGER, "
           "matricula TEXT, conta TEXT, nome TEXT)");
    c.exec("INSERT INTO temp.tolmare_retorno_membros (id, matricula, conta, nome) SELECT ASS_ID, "
           "tolmare_numero_enviado(CAST(ASS_MATRICULA AS TEXT)), CAST(ASS_CONTA_CORRENTE AS "
           "TEXT), CAST(ASS_NOME AS TEXT) FROM ASSOCIADOS.ASSOCIADOS ORDER BY "
           + remessa::ordemDaChave("ASSOCIADOS.DB", "ID_ASSOCIADOS_CONTA"));
    for (int f = 0; f < 3; ++f)
        c.exec("CREATE INDEX temp." + indexName(f) + " ON tolmare_retorno_membros ("
               + kColunas[f] + ", pos, id)");
    c.exec("CREATE TEMP TABLE tolmare_retorno_prefixos (campo INTEGER, texto TEXT, id INTEGER, "
           "PRIMARY KEY (campo, texto)) WITHOUT ROWID");
    s_ = std::make_unique<Searches>(c);
}

MemberIndex::~MemberIndex()
{
    s_.reset();  // no statement reads the tables any longer
    try {
        c_.exec("DROP TABLE IF EXISTS temp.tolmare_retorno_prefixos");
        c_.exec("DROP TABLE IF EXISTS temp.tolmare_retorno_membros");
    } catch (const db::EngineError&) {
        // left to the connection's end, or to the next import, which drops them first
    }
}

qint64 MemberIndex::find(Field field, std::string_view text)
{
    if (text.empty()) return -1;
    const QByteArrayView t(text.data(), qsizetype(text.size()));
    db::Statement& equal = *s_->equal[field];
    equal.reset().bindText(1, t);
    if (equal.next()) {
        const qint64 id = equal.int64(0);
        equal.reset();
        return id;
    }
    return findPrefixed(field, text);
}

qint64 MemberIndex::findPrefixed(Field field, std::string_view text)
{
    const QByteArrayView t(text.data(), qsizetype(text.size()));
    if (remembered_) {
        db::Statement& r = s_->remembered;
        r.reset().bindInt(1, field).bindText(2, t);
        if (r.next()) {
            const qint64 id = r.int64(0);
            r.reset();
            return id;
        }
    }
    // The values that begin with the text lie from it to the text with its last byte raised
    // (bytes 0xFF carried over). A text of such bytes alone is only below values that begin
    // with it: its range ends with the texts (an empty blob, which orders after every text).
    std::string end(text);
    while (!end.empty() && uint8_t(end.back()) == 0xFF) end.pop_back();
    if (!end.empty()) ++end.back();
    db::Statement& p = *s_->prefixed[field];
    p.reset().bindText(1, t);
    if (end.empty()) p.bindNull(2);
    else p.bindText(2, QByteArrayView(end.data(), qsizetype(end.size())));
    p.next();  // an aggregate gives one row
    const qint64 id = p.isNull(0) ? -1 : p.int64(1);
    const qint64 read = p.int64(2);
    p.reset();
    if (read > 32) {
        s_->remember.reset().bindInt(1, field).bindText(2, t).bindInt(3, id);
        s_->remember.run();
        remembered_ = true;
    }
    return id;
}

std::string MemberIndex::numeroEnviado(std::string_view matricula)
{
    size_t b = 0, e = matricula.size();
    while (b < e && uint8_t(matricula[b]) <= 32) ++b;
    while (e > b && uint8_t(matricula[e - 1]) <= 32) --e;
    std::string n;
    n.reserve(e - b);
    for (size_t i = b; i < e; ++i)
        if (matricula[i] != '.' && matricula[i] != '/' && matricula[i] != '-') n += matricula[i];
    size_t zeros = 0;
    while (zeros + 1 < n.size() && n[zeros] == '0') ++zeros;
    return n.substr(zeros);
}

}  // namespace retorno

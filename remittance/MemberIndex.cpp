#include "remittance/MemberIndex.h"

#include "core/engine/Connection.h"
#include "core/engine/EngineError.h"
#include "core/engine/Statement.h"
#include "core/store/StoreSchema.h"
#include "remittance/OrdemChave.h"

#include <sqlite3.h>

#include <algorithm>

namespace retorno {

namespace {

const QString kTabela = "ASSOCIADOS.DB";

// A field's copy: the temporary table, and the column of ASSOCIADOS it is made of.
QString copyName(int f)
{
    static const char* const names[] = {"matricula", "conta", "nome"};
    return QString("tolmare_retorno_%1").arg(names[f]);
}
const char* const kColunas[] = {"tolmare_numero_enviado(CAST(ASS_MATRICULA AS TEXT))",
                                "CAST(ASS_CONTA_CORRENTE AS TEXT)", "CAST(ASS_NOME AS TEXT)"};

// numeroEnviado as an SQL function, for the copy of the enrolment numbers.
void numeroEnviadoSql(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    if (!t) return sqlite3_result_error_nomem(ctx);
    const std::string n = MemberIndex::numeroEnviado(
        std::string_view(t, size_t(sqlite3_value_bytes(argv[0]))));
    sqlite3_result_text(ctx, n.data(), int(n.size()), SQLITE_TRANSIENT);
}

bool digitsOnly(std::string_view t)
{
    return std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The first value of a statement's row, or -1 when it gives none; the statement is reset.
qint64 firstId(db::Statement& st)
{
    const qint64 id = st.next() ? st.int64(0) : -1;
    st.reset();
    return id;
}

}  // namespace

// The searches that go to ASSOCIADOS itself, and those of the copies (made on first use).
struct MemberIndex::Searches {
    explicit Searches(db::Connection& c)
        : account(c, "SELECT ASS_ID FROM ASSOCIADOS.ASSOCIADOS INDEXED BY ID_ASSOCIADOS_CONTA "
                     "WHERE ASS_CONTA_CORRENTE = ? ORDER BY " + order(), kTabela),
          accountFrom(c, "SELECT ASS_ID, ASS_CONTA_CORRENTE FROM ASSOCIADOS.ASSOCIADOS INDEXED BY "
                         "ID_ASSOCIADOS_CONTA WHERE ASS_CONTA_CORRENTE >= ? ORDER BY " + order(),
                      kTabela),
          name(c, "SELECT ASS_ID FROM ASSOCIADOS.ASSOCIADOS INDEXED BY ID_ASSOCIADOS_NOME WHERE "
                  "ASS_NOME = ? ORDER BY " + order(), kTabela)
    {
    }
    static QString order()
    {
        return remessa::ordemDaChave("ASSOCIADOS.DB", "ID_ASSOCIADOS_CONTA");
    }

    db::Statement account, accountFrom, name;
    std::unique_ptr<db::Statement> equal[3], prefixed[3], remembered, remember;
};

MemberIndex::MemberIndex(db::Connection& c) : c_(c)
{
    c.attach(kTabela);
    s_ = std::make_unique<Searches>(c);
}

MemberIndex::~MemberIndex()
{
    s_.reset();  // no statement reads the copies any longer
    try {
        for (int f = 0; f < 3; ++f)
            if (copied_[f]) c_.exec("DROP TABLE IF EXISTS temp." + copyName(f));
        if (copied_[0] || copied_[1] || copied_[2])
            c_.exec("DROP TABLE IF EXISTS temp.tolmare_retorno_prefixos");
    } catch (const db::EngineError&) {
        // left to the connection's end, or to the next import, which drops them first
    }
}

void MemberIndex::copy(Field f)
{
    db::Connection& c = c_;
    if (!copied_[0] && !copied_[1] && !copied_[2]) {
        if (sqlite3_create_function(c.handle(), "tolmare_numero_enviado", 1,
                                    SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, numeroEnviadoSql,
                                    nullptr, nullptr) != SQLITE_OK)
            db::throwSqlite(c.handle(), kTabela);
        // The copies are private to the connection and their file is deleted with it: freed
        // pages need not be overwritten, which makes dropping them cheap.
        c.exec("PRAGMA temp.secure_delete = 0");
        c.exec("DROP TABLE IF EXISTS temp.tolmare_retorno_prefixos");
        c.exec("CREATE TEMP TABLE tolmare_retorno_prefixos (campo INTEGER, texto TEXT, id "
               "INTEGER, PRIMARY KEY (campo, texto)) WITHOUT ROWID");
        s_->remembered = std::make_unique<db::Statement>(
            c, "SELECT id FROM temp.tolmare_retorno_prefixos WHERE campo = ? AND texto = ?",
            kTabela);
        s_->remember = std::make_unique<db::Statement>(
            c, "INSERT INTO temp.tolmare_retorno_prefixos (campo, texto, id) VALUES (?, ?, ?)",
            kTabela);
    }
    const QString t = copyName(f);
    c.exec("DROP TABLE IF EXISTS temp." + t);
    // The values as their bytes (a blob's bytes taken as text), compared as bytes; pos is the
    // member's place in account order.
    c.exec("CREATE TEMP TABLE " + t + " (pos INTEGER PRIMARY KEY, id INTEGER, valor TEXT)");
    c.exec("INSERT INTO temp." + t + " (id, valor) SELECT ASS_ID, " + kColunas[f]
           + " FROM ASSOCIADOS.ASSOCIADOS ORDER BY " + Searches::order());
    c.exec("CREATE INDEX temp." + t + "_valor ON " + t + " (valor, pos, id)");
    s_->equal[f] = std::make_unique<db::Statement>(
        c, "SELECT id FROM temp." + t + " INDEXED BY " + t + "_valor WHERE valor = ? ORDER BY "
               "pos LIMIT 1", kTabela);
    s_->prefixed[f] = std::make_unique<db::Statement>(
        c, "SELECT min(pos), id, count(*) FROM temp." + t + " INDEXED BY " + t + "_valor WHERE "
               "valor >= ?1 AND valor < coalesce(?2, X'')", kTabela);
    copied_[f] = true;
}

qint64 MemberIndex::find(Field field, std::string_view text)
{
    if (text.empty()) return -1;
    const QByteArrayView t(text.data(), qsizetype(text.size()));
    qint64 id = -1;
    // The account and name indexes order by the international collation, under which two
    // texts are equal only when their bytes are: an equal value is found there directly.
    if (field == Conta) id = firstId(s_->account.reset().bindText(1, t));
    else if (field == Nome) id = firstId(s_->name.reset().bindText(1, t));
    else {
        if (!copied_[field]) copy(field);
        id = firstId(s_->equal[field]->reset().bindText(1, t));
    }
    if (id >= 0) return id;
    // The accounts whose folded form begins with a text of digits lie together in the account
    // index from the text on, and those whose bytes begin with it are among them: the first of
    // these in the index is the first in account order. Only a malformed text folds to a
    // digit it does not hold, so that is mostly the first value read.
    if (field == Conta && digitsOnly(text)) {
        db::Statement& from = s_->accountFrom;
        from.reset().bindText(1, t);
        while (from.next()) {
            const QByteArrayView v = from.bytes(1);
            if (v.startsWith(t)) {
                id = from.int64(0);
                break;
            }
            const std::string folded =
                store::intlSortKey(std::string(v.data() ? v.data() : "", size_t(v.size())));
            if (!QByteArrayView(folded.data(), qsizetype(folded.size())).startsWith(t)) break;
        }
        from.reset();
        return id;
    }
    return findPrefixed(field, text);
}

qint64 MemberIndex::findPrefixed(Field field, std::string_view text)
{
    if (!copied_[field]) copy(field);
    const QByteArrayView t(text.data(), qsizetype(text.size()));
    if (remembered_) {
        db::Statement& r = *s_->remembered;
        r.reset().bindInt(1, field).bindText(2, t);
        if (r.next()) {
            const qint64 id = r.int64(0);
            r.reset();
            return id;
        }
        r.reset();
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
    // A search that read many values is remembered, so that the file repeating its text
    // does not read them again.
    if (read > 32) {
        s_->remember->reset().bindInt(1, field).bindText(2, t).bindInt(3, id);
        s_->remember->run();
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

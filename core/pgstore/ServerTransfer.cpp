#include "core/pgstore/ServerTransfer.h"

#include "core/pgstore/Money.h"
#include "core/pgstore/ServerSchema.h"
#include "core/pgstore/Transaction.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

namespace pg {

namespace {

using store::FieldType;
using store::quoted;

const char* const kRowid = "rowid";
const char* const kCursor = "tolmare_exportacao";
constexpr int kFetchRows = 2000;
constexpr size_t kMaxParams = 30000;  // per INSERT; the server takes 65535

// The columns a transfer carries: the fields, then the row number of a table whose key is not
// one (SQLite's rowid, the server's `rowid` column).
struct Columns {
    std::vector<std::string> names;
    std::vector<const store::FieldSpec*> fields;  // nullptr for the row number
    std::string number;                           // the column the rows are numbered by
};

Columns columnsOf(const store::TableSpec& t)
{
    Columns c;
    for (const store::FieldSpec& f : t.fields) {
        c.names.push_back(f.name);
        c.fields.push_back(&f);
    }
    if (t.rowidKey()) {
        c.number = t.fields[size_t(t.primaryKey()->fields[0] - 1)].name;
    } else {
        c.names.push_back(kRowid);
        c.fields.push_back(nullptr);
        c.number = kRowid;
    }
    return c;
}

std::string joined(const std::vector<std::string>& names)
{
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : ", ") + quoted(n);
    return out;
}

// ---- the table files ----

struct Lite {
    sqlite3* db = nullptr;
    std::string path;
    ~Lite() { sqlite3_close_v2(db); }
    std::string error() const { return db ? sqlite3_errmsg(db) : "sem memória"; }
    [[noreturn]] void fail(const std::string& what) const
    {
        throw FileError(what + " " + path + " (" + error() + ").");
    }
    void exec(const std::string& sql, const char* what)
    {
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) fail(what);
    }
};

struct LiteStatement {
    sqlite3_stmt* s = nullptr;
    LiteStatement(Lite& db, const std::string& sql, const char* what)
    {
        if (sqlite3_prepare_v2(db.db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) db.fail(what);
    }
    ~LiteStatement() { sqlite3_finalize(s); }
    LiteStatement(const LiteStatement&) = delete;
    LiteStatement& operator=(const LiteStatement&) = delete;
};

void open(Lite& db, const std::string& path, int flags)
{
    db.path = path;
    if (sqlite3_open_v2(path.c_str(), &db.db, flags | SQLITE_OPEN_NOFOLLOW, nullptr) != SQLITE_OK)
        db.fail("Não foi possível abrir a tabela");
    sqlite3_busy_timeout(db.db, 5000);
    store::registerCollation(db.db);
}

// A new table file at `path`, private to its owner, holding the empty table.
void createTableFile(Lite& db, const std::string& path, const store::TableSpec& t)
{
    ::unlink(path.c_str());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        throw FileError("Não foi possível criar a tabela " + path + " (" + std::strerror(errno)
                        + "): confira o espaço livre e as permissões da pasta temporária.");
    ::close(fd);
    open(db, path, SQLITE_OPEN_READWRITE);
    // A copy on its way into an archive: the archive is read back, not this file.
    db.exec("PRAGMA synchronous=OFF", "Falha ao gravar a tabela");
    db.exec("BEGIN", "Falha ao gravar a tabela");
    for (const std::string& sql : store::createStatements(t, "main"))
        db.exec(sql, "Falha ao gravar a tabela");
}

double number(const std::string& text)
{
    double v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

long long integer(const std::string& text)
{
    long long v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

// Binds the server's text of a value as the file store keeps it.
void bindValue(sqlite3_stmt* s, int i, const store::FieldSpec* f, const Result& r, int row, int col)
{
    if (r.isNull(row, col)) {
        sqlite3_bind_null(s, i);
        return;
    }
    const std::string v = r.text(row, col);
    switch (f ? f->type : FieldType::Autoincrement) {
        case FieldType::Alpha:
        case FieldType::Date:
            sqlite3_bind_text(s, i, v.data(), int(v.size()), SQLITE_TRANSIENT);
            break;
        case FieldType::Number:
        case FieldType::Money:
            sqlite3_bind_double(s, i, number(v));
            break;
        case FieldType::Autoincrement:
            sqlite3_bind_int64(s, i, integer(v));
            break;
    }
}

long long exportTable(Connection& c, const store::TableSpec& t, const std::string& folder)
{
    Lite out;
    createTableFile(out, folder + "/" + t.fileName, t);
    const Columns cols = columnsOf(t);
    std::string marks;
    for (size_t i = 0; i < cols.names.size(); ++i) marks += i ? ", ?" : "?";
    const std::string table = quoted(t.tableName());
    LiteStatement insert(
        out, "INSERT INTO main." + table + " (" + joined(cols.names) + ") VALUES (" + marks + ")",
        "Falha ao gravar a tabela");
    c.exec(std::string("DECLARE ") + kCursor + " NO SCROLL CURSOR FOR SELECT " + joined(cols.names)
           + " FROM " + qualified(t.tableName()) + " ORDER BY " + quoted(cols.number));
    long long rows = 0;
    for (;;) {
        const Result r = c.exec("FETCH " + std::to_string(kFetchRows) + " FROM " + kCursor);
        for (int row = 0; row < r.rows(); ++row) {
            for (int col = 0; col < r.columns(); ++col)
                bindValue(insert.s, col + 1, cols.fields[size_t(col)], r, row, col);
            if (sqlite3_step(insert.s) != SQLITE_DONE) out.fail("Falha ao gravar a tabela");
            sqlite3_reset(insert.s);
        }
        rows += r.rows();
        if (r.rows() < kFetchRows) break;
    }
    c.exec(std::string("CLOSE ") + kCursor);
    // The counter goes with the table: a number given once is not given again after a restore.
    if (t.rowidKey()) {
        const Result k =
            c.exec("SELECT pg_sequence_last_value(pg_get_serial_sequence($1, $2)::regclass)",
                   {qualified(t.tableName()), cols.number});
        if (!k.isNull(0, 0)) {
            const long long seq = integer(k.text(0, 0));
            LiteStatement put(out,
                              "UPDATE main.sqlite_sequence SET seq = max(seq, ?1) WHERE "
                              "name = ?2",
                              "Falha ao gravar a tabela");
            LiteStatement add(out,
                              "INSERT INTO main.sqlite_sequence (name, seq) SELECT ?2, ?1 "
                              "WHERE NOT EXISTS (SELECT 1 FROM main.sqlite_sequence "
                              "WHERE name = ?2)",
                              "Falha ao gravar a tabela");
            for (sqlite3_stmt* s : {put.s, add.s}) {
                sqlite3_bind_int64(s, 1, seq);
                sqlite3_bind_text(s, 2, t.tableName().c_str(), -1, SQLITE_TRANSIENT);
                if (sqlite3_step(s) != SQLITE_DONE) out.fail("Falha ao gravar a tabela");
            }
        }
    }
    out.exec("COMMIT", "Falha ao gravar a tabela");
    return rows;
}

// ---- loading ----

std::string where(const store::TableSpec& t, long long number, const std::string& field)
{
    return "O campo " + field + " do registro de número " + std::to_string(number) + " de "
           + t.fileName;
}

size_t characters(const unsigned char* p, int bytes)
{
    size_t n = 0;
    for (int i = 0; i < bytes; ++i) n += (p[i] & 0xC0) != 0x80;
    return n;
}

// A value of the file as the server takes it, checked against the field's definition.
Param valueOf(sqlite3_stmt* s, int i, const store::FieldSpec* f, const store::TableSpec& t,
              long long number)
{
    const int kind = sqlite3_column_type(s, i);
    if (!f) return std::to_string(sqlite3_column_int64(s, i));
    const std::string here = where(t, number, f->name);
    if (kind == SQLITE_NULL) {
        if (f->required)
            throw FileError(here + " está vazio, mas é obrigatório: preencha-o (ou exclua o "
                                   "registro) e repita.");
        return std::nullopt;
    }
    if (kind == SQLITE_BLOB) throw FileError(here + " guarda dados binários: corrija-o e repita.");
    const unsigned char* text = sqlite3_column_text(s, i);
    const int bytes = sqlite3_column_bytes(s, i);
    const std::string value(reinterpret_cast<const char*>(text), size_t(bytes));
    switch (f->type) {
        case FieldType::Alpha:
            if (f->width > 0 && characters(text, bytes) > size_t(f->width))
                throw FileError(here + " tem mais que os " + std::to_string(f->width)
                                + " caracteres da definição: encurte-o e repita.");
            return value;
        case FieldType::Date:
            if (kind != SQLITE_TEXT || value.size() != 10 || value[4] != '-' || value[7] != '-')
                throw FileError(here + " não é uma data (\"" + value + "\"): corrija-o e repita.");
            return value;
        case FieldType::Number:
        case FieldType::Money:
            if (kind == SQLITE_TEXT)
                throw FileError(here + " não é um número (\"" + value + "\"): corrija-o e repita.");
            break;
        case FieldType::Autoincrement:
            return std::to_string(sqlite3_column_int64(s, i));
    }
    const double v = sqlite3_column_double(s, i);
    char buf[64];
    if (f->type == FieldType::Number) {
        const auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
        return std::string(buf, end);
    }
    // Money: the amount as the program shows it (15 digits), which is a count of
    // ten-thousandths or is refused.
    const auto end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15).ptr;
    const std::optional<Money> m = Money::fromText(std::string(buf, end));
    if (!m)
        throw FileError(here + " (" + std::string(buf, end)
                        + ") não é um valor em dinheiro de até 4 casas decimais: corrija-o e "
                          "repita.");
    return m->text();
}

void checkDefinition(Lite& db, const store::TableSpec& t)
{
    store::TableSpec found;
    std::string error;
    std::vector<std::string> foreign;
    if (!store::readSpec(db.db, "main", t.fileName, found, error, &foreign)
        || found.fields != t.fields || found.indexes != t.indexes)
        throw FileError("A tabela " + db.path
                        + " não tem a estrutura desta versão do Tolmare: verifique a pasta com o "
                          "Tolmare (ou tolmare-cli verificar), que a atualiza, e repita.");
}

std::string insertSql(const std::string& table, const std::string& cols, size_t columns,
                      size_t rows)
{
    std::string sql = "INSERT INTO " + table + " (" + cols + ") VALUES ";
    size_t n = 0;
    for (size_t r = 0; r < rows; ++r) {
        sql += r ? ", (" : "(";
        for (size_t c = 0; c < columns; ++c) sql += (c ? ", $" : "$") + std::to_string(++n);
        sql += ")";
    }
    return sql;
}

// The file's rows into the emptied table; returns the file's counter (-1 when it has none).
long long loadTable(Connection& c, const store::TableSpec& t, const std::string& folder,
                    long long& rows)
{
    Lite in;
    open(in, folder + "/" + t.fileName, SQLITE_OPEN_READONLY);
    checkDefinition(in, t);
    const Columns cols = columnsOf(t);
    const std::string names = joined(cols.names);
    in.exec("BEGIN", "Falha ao ler a tabela");  // one state of the file throughout
    LiteStatement read(
        in, "SELECT " + names + " FROM main." + quoted(t.tableName()) + " ORDER BY rowid",
        "Falha ao ler a tabela");
    const size_t width = cols.names.size();
    const size_t batch = kMaxParams / width;
    const std::string table = qualified(t.tableName());
    const std::string full = insertSql(table, names, width, batch);
    Params params;
    rows = 0;
    const auto send = [&] {
        if (params.size() == batch * width)
            c.execPrepared("carga_" + t.tableName(), full, params);
        else if (!params.empty())
            c.exec(insertSql(table, names, width, params.size() / width), params);
        params.clear();
    };
    const int numberAt = t.rowidKey() ? t.primaryKey()->fields[0] - 1 : int(width) - 1;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(read.s)) == SQLITE_ROW) {
        const long long id = sqlite3_column_int64(read.s, numberAt);
        for (size_t i = 0; i < width; ++i)
            params.push_back(valueOf(read.s, int(i), cols.fields[i], t, id));
        ++rows;
        if (params.size() == batch * width) send();
    }
    if (rc != SQLITE_DONE) in.fail("Falha ao ler a tabela");
    send();
    long long counter = -1;
    if (t.rowidKey()) {
        LiteStatement seq(in, "SELECT seq FROM main.sqlite_sequence WHERE name = ?",
                          "Falha ao ler a tabela");
        sqlite3_bind_text(seq.s, 1, t.tableName().c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(seq.s) == SQLITE_ROW) counter = sqlite3_column_int64(seq.s, 0);
    }
    return counter;
}

// The counter of `column` past the file's counter, the server's own and every number the table
// holds.
void setCounter(Connection& c, const store::TableSpec& t, const std::string& column,
                long long fileCounter)
{
    const std::string table = qualified(t.tableName());
    c.exec(
        "SELECT setval(pg_get_serial_sequence($1, $2), v) FROM (SELECT greatest("
        "pg_sequence_last_value(pg_get_serial_sequence($1, $2)::regclass), $3::bigint, "
        "(SELECT max("
            + quoted(column) + ") FROM " + table + ")) AS v) s WHERE v > 0",
        {table, column, fileCounter < 0 ? Param() : Param(std::to_string(fileCounter))});
}

}  // namespace

std::vector<TableRows> exportSnapshot(Connection& c, const std::vector<store::TableSpec>& tables,
                                      const std::string& folder)
{
    std::vector<TableRows> out;
    inTransaction(
        c,
        [&] {
            out.clear();
            // Numbers as the shortest text that reads back to the same value.
            c.exec("SELECT set_config('extra_float_digits', '3', true)");
            for (const store::TableSpec& t : tables)
                out.push_back({t.fileName, exportTable(c, t, folder)});
        },
        Isolation::Snapshot);
    return out;
}

std::vector<TableRows> serverRows(Connection& c, const std::vector<store::TableSpec>& tables)
{
    std::vector<TableRows> out;
    for (const store::TableSpec& t : tables) {
        const std::string table = qualified(t.tableName());
        long long n = 0;
        if (c.exec("SELECT to_regclass($1) IS NOT NULL", {table}).text(0, 0) == "t")
            n = integer(c.exec("SELECT count(*) FROM " + table).text(0, 0));
        out.push_back({t.fileName, n});
    }
    return out;
}

std::vector<TableRows> loadTables(Connection& c, const std::string& folder,
                                  const std::vector<store::TableSpec>& load,
                                  const std::vector<store::TableSpec>& schema,
                                  const std::vector<store::MainTableSpec>& mainTables,
                                  const LoadSteps& steps)
{
    std::vector<TableRows> loaded;
    inTransaction(c, [&] {
        loaded.clear();
        checkSchema(c, schema, mainTables);
        std::vector<std::string> names;
        for (const store::TableSpec& t : load) names.push_back(qualified(t.tableName()));
        std::string list;
        for (const std::string& n : names) list += (list.empty() ? "" : ", ") + n;
        // Readers go on seeing the rows before until the commit; writers wait for it.
        if (!list.empty()) c.exec("LOCK TABLE " + list + " IN EXCLUSIVE MODE");
        if (steps.check) steps.check(serverRows(c, load));
        for (const std::string& n : names) c.exec("DELETE FROM " + n);
        for (const store::TableSpec& t : load) {
            try {
                long long rows = 0;
                const long long counter = loadTable(c, t, folder, rows);
                const Columns cols = columnsOf(t);
                setCounter(c, t, cols.number, counter);
                loaded.push_back({t.fileName, rows});
            } catch (const PgError& e) {
                const std::string fix =
                    e.kind() == ErrorKind::Constraint
                        ? " Corrija esses registros de " + t.fileName + " e repita."
                        : "";
                throw PgError(e.kind(),
                              "Ao carregar " + t.fileName + " no servidor: " + e.what() + fix,
                              e.sqlState());
            }
        }
        if (steps.alsoCommit) steps.alsoCommit(loaded);
    });
    return loaded;
}

}  // namespace pg

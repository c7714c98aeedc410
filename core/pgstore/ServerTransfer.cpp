#include "core/pgstore/ServerTransfer.h"

#include "core/engine/Connection.h"
#include "core/engine/EngineError.h"
#include "core/engine/Statement.h"
#include "core/pgstore/Money.h"
#include "core/pgstore/ServerSchema.h"
#include "core/pgstore/Transaction.h"

#include <QDir>
#include <QFile>

#include <charconv>

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

QString qs(const std::string& s) { return QString::fromStdString(s); }

// A schema's table: "GRUPO"."GRUPO".
std::string inSchema(const QString& schema, const store::TableSpec& t)
{
    return quoted(schema.toStdString()) + "." + quoted(t.tableName());
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
void bindValue(db::Statement& s, int i, const store::FieldSpec* f, const Result& r, int row,
               int col)
{
    if (r.isNull(row, col)) {
        s.bindNull(i);
        return;
    }
    const std::string v = r.text(row, col);
    switch (f ? f->type : FieldType::Autoincrement) {
        case FieldType::Alpha:
        case FieldType::Date:
            s.bindText(i, QByteArrayView(v));
            break;
        case FieldType::Number:
        case FieldType::Money:
            s.bindReal(i, number(v));
            break;
        case FieldType::Autoincrement:
            s.bindInt(i, integer(v));
            break;
    }
}

// Writes `t` as the server holds it into a new table file of `out`'s folder, in one
// transaction.
long long exportTable(Connection& c, db::Connection& out, const store::TableSpec& t)
{
    const QString file = qs(t.fileName);
    // A file of the name is replaced (a link by a file, its target untouched).
    const QString path = QDir(out.folder()).filePath(file);
    for (const QString& p : {path, path + "-journal"}) QFile::remove(p);
    const QString schema = out.createTable(t);
    // A copy on its way into an archive: the archive is read back, not this file.
    out.exec("PRAGMA " + qs(quoted(schema.toStdString())) + ".synchronous=OFF", file);
    db::Transaction writing(out);
    const Columns cols = columnsOf(t);
    std::string marks;
    for (size_t i = 0; i < cols.names.size(); ++i) marks += i ? ", ?" : "?";
    db::Statement insert(out,
                         qs("INSERT INTO " + inSchema(schema, t) + " (" + joined(cols.names)
                            + ") VALUES (" + marks + ")"),
                         file);
    c.exec(std::string("DECLARE ") + kCursor + " NO SCROLL CURSOR FOR SELECT " + joined(cols.names)
           + " FROM " + qualified(t.tableName()) + " ORDER BY " + quoted(cols.number));
    long long rows = 0;
    for (;;) {
        const Result r = c.exec("FETCH " + std::to_string(kFetchRows) + " FROM " + kCursor);
        for (int row = 0; row < r.rows(); ++row) {
            insert.reset();
            for (int col = 0; col < r.columns(); ++col)
                bindValue(insert, col + 1, cols.fields[size_t(col)], r, row, col);
            insert.run();
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
            const std::string sequence = quoted(schema.toStdString()) + ".sqlite_sequence";
            for (const std::string& sql :
                 {"UPDATE " + sequence + " SET seq = max(seq, ?1) WHERE name = ?2",
                  "INSERT INTO " + sequence + " (name, seq) SELECT ?2, ?1 WHERE NOT EXISTS "
                      "(SELECT 1 FROM " + sequence + " WHERE name = ?2)"})
                db::Statement(out, qs(sql), file)
                    .bindInt(1, integer(k.text(0, 0)))
                    .bindText(2, QByteArrayView(t.tableName()))
                    .run();
        }
    }
    writing.commit(file);
    return rows;
}

// ---- loading ----

std::string where(const store::TableSpec& t, long long number, const std::string& field)
{
    return "O campo " + field + " do registro de número " + std::to_string(number) + " de "
           + t.fileName;
}

size_t characters(QByteArrayView text)
{
    size_t n = 0;
    for (const char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// A value of the file as the server takes it, checked against the field's definition.
Param valueOf(const db::Statement& s, int i, const store::FieldSpec* f, const store::TableSpec& t,
              long long number)
{
    using Kind = db::Statement::Kind;
    const Kind kind = s.kind(i);
    if (!f) return std::to_string(s.int64(i));
    const std::string here = where(t, number, f->name);
    if (kind == Kind::Null) {
        if (f->required)
            throw db::EngineError(qs(here + " está vazio, mas é obrigatório: preencha-o (ou "
                                            "exclua o registro) e repita."));
        return std::nullopt;
    }
    if (kind == Kind::Blob)
        throw db::EngineError(qs(here + " guarda dados binários: corrija-o e repita."));
    const QByteArrayView text = s.bytes(i);
    const std::string value(text.data(), size_t(text.size()));
    switch (f->type) {
        case FieldType::Alpha:
            if (f->width > 0 && characters(text) > size_t(f->width))
                throw db::EngineError(qs(here + " tem mais que os " + std::to_string(f->width)
                                         + " caracteres da definição: encurte-o e repita."));
            return value;
        case FieldType::Date:
            if (kind != Kind::Text || value.size() != 10 || value[4] != '-' || value[7] != '-')
                throw db::EngineError(
                    qs(here + " não é uma data (\"" + value + "\"): corrija-o e repita."));
            return value;
        case FieldType::Number:
        case FieldType::Money:
            if (kind == Kind::Text)
                throw db::EngineError(
                    qs(here + " não é um número (\"" + value + "\"): corrija-o e repita."));
            break;
        case FieldType::Autoincrement:
            return std::to_string(s.int64(i));
    }
    const double v = s.real(i);
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
        throw db::EngineError(qs(here + " (" + std::string(buf, end)
                                 + ") não é um valor em dinheiro de até 4 casas decimais: "
                                   "corrija-o e repita."));
    return m->text();
}

// Attaches the table files of `load` to `files`, each checked against its definition.
void attachFiles(db::Connection& files, const std::vector<store::TableSpec>& load)
{
    for (const store::TableSpec& t : load) {
        const store::TableSpec& found = files.spec(files.attach(qs(t.fileName)));
        if (found.fields != t.fields || found.indexes != t.indexes)
            throw db::EngineError(
                "A tabela " + QDir::toNativeSeparators(QDir(files.folder()).filePath(qs(t.fileName)))
                + " não tem a estrutura desta versão do Tolmare: verifique a pasta com o Tolmare "
                  "(ou tolmare-cli verificar), que a atualiza, e repita.");
    }
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
long long loadTable(Connection& c, db::Connection& files, const store::TableSpec& t,
                    long long& rows)
{
    const QString file = qs(t.fileName);
    const QString schema = files.attach(file);
    const Columns cols = columnsOf(t);
    const std::string names = joined(cols.names);
    db::Statement read(files, qs("SELECT " + names + " FROM " + inSchema(schema, t)
                                 + " ORDER BY rowid"),
                       file);
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
    while (read.next()) {
        const long long id = read.int64(numberAt);
        for (size_t i = 0; i < width; ++i)
            params.push_back(valueOf(read, int(i), cols.fields[i], t, id));
        ++rows;
        if (params.size() == batch * width) send();
    }
    send();
    long long counter = -1;
    if (t.rowidKey()) {
        db::Statement seq(files,
                          qs("SELECT seq FROM " + quoted(schema.toStdString())
                             + ".sqlite_sequence WHERE name = ?"),
                          file);
        seq.bindText(1, QByteArrayView(t.tableName()));
        if (seq.next()) counter = seq.int64(0);
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
            db::Connection files(qs(folder));
            for (const store::TableSpec& t : tables)
                out.push_back({t.fileName, exportTable(c, files, t)});
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
        db::Connection files(qs(folder));
        attachFiles(files, load);
        // One state of each file throughout: its shared lock is taken at its first read and
        // kept to the end.
        db::ReadTransaction reading(files);
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
                const long long counter = loadTable(c, files, t, rows);
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

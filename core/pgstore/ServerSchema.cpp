#include "core/pgstore/ServerSchema.h"

#include "core/pgstore/Transaction.h"

#include <algorithm>
#include <cstdio>

namespace pg {

namespace {

using store::FieldType;
using store::quoted;

const char* const kSchema = "tolmare";
const char* const kRowid = "rowid";
const char* const kRefuse = "tolmare.recusar_alteracao";
// Taken by every schema check, so that two computers starting at once do the work once.
const char* const kSchemaLock = "7401";

// The table as the server holds it.
struct Column {
    std::string name;
    std::string type;  // as format_type() names it
    bool notNull = false;
    bool identity = false;
    std::string generated;  // the expression of a computed column
    std::string comment;
    std::string defaultValue;
};
struct Index {
    std::string name;
    bool unique = false;
    std::vector<std::string> columns;
    std::string where;  // a partial index's rows
    bool nullsFirst = false;  // empty values first in every column, as the file store orders
};
struct Table {
    std::string name;
    std::vector<Column> columns;
    std::vector<Index> indexes;
    std::string refuseUpdate, refuseDelete;
};

bool isText(const std::string& type)
{
    return type == "text" || type.rfind("character", 0) == 0;
}

std::string literal(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

// The folding as translate() lists: every code point the folding changes, and what it becomes.
struct FoldMap {
    std::string from, to, fingerprint;
};

const FoldMap& foldMap()
{
    static const FoldMap map = [] {
        FoldMap m;
        for (unsigned c = 1; c <= 0x10FFFF; ++c)
            if ((c < 0xD800 || c > 0xDFFF) && store::intlFold(c) != c) store::appendUtf8(m.from, c);
        m.to = store::intlSortKey(m.from);
        // Kept as the key column's comment: a folding changed since gives another one, and the
        // keys are computed again.
        unsigned long long h = 1469598103934665603ULL;
        for (char ch : m.from + '\x1f' + m.to) h = (h ^ (unsigned char)ch) * 1099511628211ULL;
        char hex[17];
        std::snprintf(hex, sizeof hex, "%016llx", h);
        m.fingerprint = std::string("intl ") + hex;
        return m;
    }();
    return map;
}

Column column(const std::string& name, const std::string& type, bool notNull,
              const std::string& defaultValue = {})
{
    Column c;
    c.name = name;
    c.type = type;
    c.notNull = notNull;
    c.defaultValue = defaultValue;
    return c;
}

Column identityColumn(const std::string& name)
{
    Column c = column(name, "bigint", true);
    c.identity = true;
    return c;
}

// The sort key of an Alpha field, computed by the server from the field.
Column sortKey(const std::string& field)
{
    Column c = column(sortKeyColumn(field), "text", false);
    c.generated = "translate(" + quoted(field) + ", " + literal(foldMap().from) + ", "
                  + literal(foldMap().to) + ")";
    c.comment = foldMap().fingerprint;
    return c;
}

// The stored columns of an index: an Alpha field as its sort key, then its exact text.
std::vector<std::string> indexColumns(const store::TableSpec& t, const store::IndexSpec& idx)
{
    std::vector<std::string> cols;
    for (int n : store::storedIndexFields(t, idx)) {
        const store::FieldSpec& f = t.fields[size_t(n - 1)];
        if (f.type == FieldType::Alpha) cols.push_back(sortKeyColumn(f.name));
        cols.push_back(f.name);
    }
    return cols;
}

Table fromSpec(const store::TableSpec& t)
{
    Table out{t.tableName(), {}, {}, {}, {}};
    for (const store::FieldSpec& f : t.fields) {
        switch (f.type) {
            case FieldType::Alpha:
                out.columns.push_back(column(
                    f.name, "character varying(" + std::to_string(f.width) + ")", f.required));
                out.columns.push_back(sortKey(f.name));
                break;
            case FieldType::Number:
                out.columns.push_back(column(f.name, "double precision", f.required));
                break;
            case FieldType::Money:
                out.columns.push_back(column(f.name, "numeric(19,4)", f.required));
                break;
            case FieldType::Date:
                out.columns.push_back(column(f.name, "date", f.required));
                break;
            case FieldType::Autoincrement:
                out.columns.push_back(identityColumn(f.name));
                break;
        }
    }
    if (!t.rowidKey()) out.columns.push_back(identityColumn(kRowid));
    for (const store::IndexSpec& idx : t.indexes) {
        // Empty values first, as the file store orders them: the engine walks the index so.
        out.indexes.push_back(Index{idx.name.empty() ? store::primaryIndexName(t) : idx.name,
                                    idx.name.empty(),
                                    indexColumns(t, idx),
                                    {},
                                    true});
    }
    if (!t.rowidKey()) out.indexes.push_back(Index{"rowid_" + out.name, true, {kRowid}, {}});
    return out;
}

Table fromMain(const store::MainTableSpec& m)
{
    Table out{m.name, {}, {}, m.refuseUpdate, m.refuseDelete};
    std::string key;
    for (const store::ColumnSpec& col : m.columns) {
        switch (col.type) {
            case store::ColumnType::Key:
            case store::ColumnType::RowNumber:
                out.columns.push_back(identityColumn(col.name));
                key = col.name;
                break;
            case store::ColumnType::Integer:
                out.columns.push_back(column(col.name, "bigint", col.required, col.defaultValue));
                break;
            case store::ColumnType::Text:
            case store::ColumnType::Value:
                out.columns.push_back(column(col.name, "text", col.required, col.defaultValue));
                break;
        }
    }
    if (key.empty()) {
        key = kRowid;
        out.columns.push_back(identityColumn(kRowid));
    }
    out.indexes.push_back(Index{"pk_" + m.name, true, {key}, {}});
    for (const store::IndexSpec& idx : m.indexes) {
        Index i{idx.name, false, {}, {}};
        for (int n : idx.fields) i.columns.push_back(m.columns[size_t(n - 1)].name);
        out.indexes.push_back(i);
    }
    for (const store::UniqueSpec& u : m.serverUnique) {
        Index i{u.name, true, {}, u.where};
        for (int n : u.fields) i.columns.push_back(m.columns[size_t(n - 1)].name);
        out.indexes.push_back(i);
    }
    return out;
}

std::string join(const std::vector<std::string>& parts, const char* after = "")
{
    std::string out;
    for (const std::string& p : parts) out += (out.empty() ? "" : ", ") + quoted(p) + after;
    return out;
}

// An index's column list as the server creates and describes it.
std::string columnList(const Index& i)
{
    return join(i.columns, i.nullsFirst ? " NULLS FIRST" : "");
}

// The triggers that keep an append-only table so: name, event, the refusal's text.
struct Trigger {
    std::string name, event, message;
};

std::vector<Trigger> triggers(const Table& t)
{
    std::vector<Trigger> out;
    if (!t.refuseUpdate.empty())
        out.push_back({t.name + "_sem_alteracao", "UPDATE", t.refuseUpdate});
    if (!t.refuseDelete.empty()) {
        out.push_back({t.name + "_sem_esvaziar", "TRUNCATE", t.refuseDelete});
        out.push_back({t.name + "_sem_exclusao", "DELETE", t.refuseDelete});
    }
    return out;  // by name
}

std::vector<std::string> createStatements(const Table& t)
{
    const std::string table = qualified(t.name);
    std::string sql = "CREATE TABLE " + table + " (";
    for (size_t i = 0; i < t.columns.size(); ++i) {
        const Column& col = t.columns[i];
        sql += (i ? ", " : "") + quoted(col.name) + " " + col.type;
        if (isText(col.type)) sql += " COLLATE \"C\"";
        if (col.identity) sql += " GENERATED BY DEFAULT AS IDENTITY";
        if (!col.generated.empty()) sql += " GENERATED ALWAYS AS (" + col.generated + ") STORED";
        if (col.notNull) sql += " NOT NULL";
        if (!col.defaultValue.empty()) sql += " DEFAULT " + col.defaultValue;
    }
    std::vector<std::string> out{sql + ")"};
    for (const Column& col : t.columns)
        if (!col.comment.empty())
            out.push_back("COMMENT ON COLUMN " + table + "." + quoted(col.name) + " IS "
                          + literal(col.comment));
    for (const Index& idx : t.indexes)
        out.push_back(std::string(idx.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ")
                      + quoted(idx.name) + " ON " + table + " (" + columnList(idx) + ")"
                      + (idx.unique ? " NULLS NOT DISTINCT" : "")
                      + (idx.where.empty() ? "" : " WHERE " + idx.where));
    for (const Trigger& trg : triggers(t))
        out.push_back("CREATE TRIGGER " + quoted(trg.name) + " BEFORE " + trg.event + " ON " + table
                      + (trg.event == "TRUNCATE" ? " FOR EACH STATEMENT" : " FOR EACH ROW")
                      + " EXECUTE FUNCTION " + kRefuse + "(" + literal(trg.message) + ")");
    return out;
}

// What the server holds of a table, in a form compared with what the definitions make.
struct Found {
    bool exists = false;
    std::vector<Column> columns;
    std::vector<std::string> description;  // columns in order, indexes and triggers by name
    std::vector<std::string> indexes, triggers;
};

std::string describe(const Column& c)
{
    return "column " + c.name + " " + c.type + (isText(c.type) ? " C" : "")
           + (c.notNull ? " not null" : "") + (c.identity ? " identity" : "")
           + (c.generated.empty() ? "" : " generated") + " [" + c.comment + "] [" + c.defaultValue
           + "]";
}

std::string describe(const Index& i)
{
    // The server gives a predicate back in parentheses.
    return "index " + i.name + (i.unique ? " unique" : "") + " (" + columnList(i) + ")"
           + (i.where.empty() ? "" : " where (" + i.where + ")");
}

std::vector<std::string> expectedDescription(const Table& t)
{
    std::vector<std::string> d;
    for (Column c : t.columns) {
        if (c.identity) c.notNull = true;
        d.push_back(describe(c));
    }
    std::vector<std::string> idx;
    for (const Index& i : t.indexes) idx.push_back(describe(i));
    std::sort(idx.begin(), idx.end());
    d.insert(d.end(), idx.begin(), idx.end());
    for (const Trigger& trg : triggers(t)) d.push_back("trigger " + trg.name);
    return d;
}

Found readFound(Connection& c, const std::string& table)
{
    Found f;
    const std::string name = qualified(table);
    const Result cols = c.exec(
        "SELECT a.attname, format_type(a.atttypid, a.atttypmod), a.attnotnull, "
        "a.attidentity <> '', a.attgenerated <> '', "
        "coalesce(col_description(a.attrelid, a.attnum), ''), "
        "CASE WHEN a.attgenerated = '' THEN coalesce(pg_get_expr(d.adbin, d.adrelid), '') "
        "ELSE '' END "
        "FROM pg_attribute a LEFT JOIN pg_attrdef d ON d.adrelid = a.attrelid "
        "AND d.adnum = a.attnum WHERE a.attrelid = to_regclass($1) AND a.attnum > 0 "
        "AND NOT a.attisdropped ORDER BY a.attnum",
        {name});
    f.exists = cols.rows() > 0;
    for (int r = 0; r < cols.rows(); ++r) {
        Column col =
            column(cols.text(r, 0), cols.text(r, 1), cols.text(r, 2) == "t", cols.text(r, 6));
        col.identity = cols.text(r, 3) == "t";
        if (cols.text(r, 4) == "t") col.generated = "generated";
        col.comment = cols.text(r, 5);
        f.columns.push_back(col);
        f.description.push_back(describe(col));
    }
    // Exact ("C") order of the text columns is part of the definition.
    const Result collations = c.exec(
        "SELECT a.attname FROM pg_attribute a JOIN pg_collation co ON co.oid = a.attcollation "
        "WHERE a.attrelid = to_regclass($1) AND a.attnum > 0 AND NOT a.attisdropped "
        "AND co.collname <> 'C'",
        {name});
    for (int r = 0; r < collations.rows(); ++r)
        f.description.push_back("collation of " + collations.text(r, 0));
    const Result idx = c.exec(
        "SELECT ic.relname, ix.indisunique AND ix.indnullsnotdistinct, "
        "(SELECT string_agg('\"' || replace(a.attname, '\"', '\"\"') || '\"' || CASE WHEN "
        " k.opt & 2 <> 0 THEN ' NULLS FIRST' ELSE '' END, ', ' ORDER BY k.n) "
        " FROM unnest(ix.indkey::int2[], ix.indoption::int2[]) WITH ORDINALITY k(attnum, opt, n) "
        " JOIN pg_attribute a ON a.attrelid = ix.indrelid AND a.attnum = k.attnum), "
        "ix.indisunique AND NOT ix.indnullsnotdistinct OR ix.indexprs IS NOT NULL, "
        "coalesce(pg_get_expr(ix.indpred, ix.indrelid), '') "
        "FROM pg_index ix JOIN pg_class ic ON ic.oid = ix.indexrelid "
        "WHERE ix.indrelid = to_regclass($1) ORDER BY ic.relname",
        {name});
    for (int r = 0; r < idx.rows(); ++r) {
        f.indexes.push_back(idx.text(r, 0));
        f.description.push_back("index " + idx.text(r, 0) + (idx.text(r, 1) == "t" ? " unique" : "")
                                + (idx.text(r, 3) == "t" ? " other" : "") + " (" + idx.text(r, 2)
                                + ")" + (idx.text(r, 4).empty() ? "" : " where " + idx.text(r, 4)));
    }
    std::sort(f.description.begin() + long(f.columns.size() + size_t(collations.rows())),
              f.description.end());
    const Result trg = c.exec(
        "SELECT tgname FROM pg_trigger WHERE tgrelid = to_regclass($1) "
        "AND NOT tgisinternal ORDER BY tgname COLLATE \"C\"",
        {name});
    for (int r = 0; r < trg.rows(); ++r) {
        f.triggers.push_back(trg.text(r, 0));
        f.description.push_back("trigger " + trg.text(r, 0));
    }
    return f;
}

// The expression that brings an old column into a new one; empty when nothing of it fits.
std::string convert(const Column& from, const Column& to)
{
    const std::string col = quoted(from.name);
    if (!from.generated.empty()) return "";
    if (from.type == to.type) return col;
    if (to.type == "text") return col + "::text";
    if (to.type.rfind("character varying(", 0) == 0) {
        const std::string width = to.type.substr(18, to.type.size() - 19);
        return "left(" + col + "::text, " + width + ")";
    }
    auto numeric = [](const std::string& t) {
        return t == "double precision" || t == "numeric(19,4)" || t == "bigint";
    };
    if (numeric(from.type) && numeric(to.type)) return "CAST(" + col + " AS " + to.type + ")";
    return "";
}

SchemaOutcome restructure(Connection& c, const Table& t, const Found& found)
{
    SchemaOutcome out{t.name, SchemaAction::Modified, 0, 0};
    const std::string table = qualified(t.name);
    const std::string oldName = t.name + "__anterior";
    const std::string old = qualified(oldName);
    // Index and trigger names belong to the schema and the table: the old ones go first.
    for (const std::string& idx : found.indexes) c.exec("DROP INDEX " + qualified(idx));
    for (const std::string& trg : found.triggers)
        c.exec("DROP TRIGGER " + quoted(trg) + " ON " + table);
    c.exec("ALTER TABLE " + table + " RENAME TO " + quoted(oldName));
    for (const std::string& sql : createStatements(t)) c.exec(sql);
    std::vector<std::string> cols;
    std::string exprs;
    for (const Column& to : t.columns) {
        if (!to.generated.empty()) continue;
        for (const Column& from : found.columns) {
            if (from.name != to.name) continue;
            const std::string e = convert(from, to);
            if (e.empty()) continue;
            cols.push_back(to.name);
            exprs += (exprs.empty() ? "" : ", ") + e;
        }
    }
    const long long total = std::stoll(c.exec("SELECT count(*) FROM " + old).text(0, 0));
    if (!cols.empty())
        out.copied = c.exec("INSERT INTO " + table + " (" + join(cols) + ") SELECT " + exprs
                            + " FROM " + old + " ON CONFLICT DO NOTHING")
                         .affected();
    out.lost = total - out.copied;
    // Numbers once given are never given again: the new counter starts past the old one.
    for (const Column& col : t.columns)
        if (col.identity && std::find(cols.begin(), cols.end(), col.name) != cols.end())
            c.exec(
                "SELECT setval(pg_get_serial_sequence($1, $2), v) FROM (SELECT greatest("
                "pg_sequence_last_value(pg_get_serial_sequence($3, $2)::regclass), (SELECT max("
                    + quoted(col.name) + ") FROM " + table + ")) AS v) s WHERE v IS NOT NULL",
                {table, col.name, old});
    c.exec("DROP TABLE " + old);
    return out;
}

void createShared(Connection& c)
{
    if (c.exec("SELECT to_regnamespace($1) IS NULL", {kSchema}).text(0, 0) == "t")
        c.exec(std::string("CREATE SCHEMA ") + kSchema);
    if (c.exec("SELECT to_regprocedure($1) IS NULL", {std::string(kRefuse) + "()"}).text(0, 0)
        == "t")
        c.exec(std::string("CREATE FUNCTION ") + kRefuse
               + "() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RAISE EXCEPTION USING "
                 "MESSAGE = TG_ARGV[0], ERRCODE = 'restrict_violation'; END $$");
}

}  // namespace

std::string qualified(const std::string& table)
{
    return std::string(kSchema) + "." + quoted(table);
}

std::string sortKeyColumn(const std::string& field)
{
    return "intl_" + field;
}

std::string orderBy(const store::TableSpec& t, const store::IndexSpec& idx)
{
    return join(indexColumns(t, idx));
}

std::vector<SchemaOutcome> checkSchema(
    Connection& c, const std::vector<store::TableSpec>& tables,
    const std::vector<store::MainTableSpec>& mainTables,
    const std::function<void(const std::vector<SchemaOutcome>&)>& alsoCommit)
{
    std::vector<Table> wanted;
    for (const store::TableSpec& t : tables) wanted.push_back(fromSpec(t));
    for (const store::MainTableSpec& m : mainTables) wanted.push_back(fromMain(m));
    std::vector<SchemaOutcome> outcomes;
    inTransaction(c, [&] {
        outcomes.clear();
        c.exec(std::string("SELECT pg_advisory_xact_lock(") + kSchemaLock + ")");
        createShared(c);
        for (const Table& t : wanted) {
            const Found found = readFound(c, t.name);
            if (!found.exists) {
                for (const std::string& sql : createStatements(t)) c.exec(sql);
                outcomes.push_back(SchemaOutcome{t.name, SchemaAction::Created, 0, 0});
            } else if (found.description != expectedDescription(t)) {
                outcomes.push_back(restructure(c, t, found));
            } else {
                outcomes.push_back(SchemaOutcome{t.name, SchemaAction::Unchanged, 0, 0});
            }
        }
        if (alsoCommit) alsoCommit(outcomes);
    });
    return outcomes;
}

}  // namespace pg

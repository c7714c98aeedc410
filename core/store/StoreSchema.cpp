#include "core/store/StoreSchema.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>

namespace store {

std::string TableSpec::tableName() const
{
    std::string name = fileName.substr(0, fileName.find('.'));
    for (char& c : name)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return name;
}

const IndexSpec* TableSpec::primaryKey() const
{
    for (const IndexSpec& idx : indexes)
        if (idx.name.empty()) return &idx;
    return nullptr;
}

bool TableSpec::rowidKey() const
{
    const IndexSpec* pk = primaryKey();
    return pk && pk->fields.size() == 1 && pk->fields[0] >= 1
           && pk->fields[0] <= int(fields.size())
           && fields[size_t(pk->fields[0] - 1)].type == FieldType::Autoincrement;
}

std::string primaryIndexName(const TableSpec& t) { return "pk_" + t.tableName(); }

std::string quoted(const std::string& identifier)
{
    std::string out = "\"";
    for (char c : identifier) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string declaredType(const FieldSpec& f)
{
    // SQLite's type names are words followed by an optional "(n)": the required flag is a word
    // of its own before the width ("ALPHA_CHAR REQUIRED(50)").
    std::string type;
    switch (f.type) {
    case FieldType::Alpha: type = "ALPHA_CHAR"; break;
    case FieldType::Number: type = "NUMBER_REAL"; break;
    case FieldType::Money: type = "MONEY_REAL"; break;
    case FieldType::Date: type = "DATE_TEXT"; break;
    case FieldType::Autoincrement: return "INTEGER";
    }
    if (f.required) type += " REQUIRED";
    if (f.type == FieldType::Alpha) type += "(" + std::to_string(f.width) + ")";
    return type;
}

bool parseDeclaredType(const std::string& declared, FieldSpec& f)
{
    std::string d = declared;
    f.required = false;
    f.width = 0;
    int width = 0;
    const size_t open = d.find('(');
    if (open != std::string::npos) {
        if (d.back() != ')') return false;
        const std::string digits = d.substr(open + 1, d.size() - open - 2);
        if (digits.empty() || digits.size() > 3
            || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return false;
        width = std::stoi(digits);
        d.resize(open);
    }
    const std::string req = " REQUIRED";
    if (d.size() > req.size() && d.compare(d.size() - req.size(), req.size(), req) == 0) {
        f.required = true;
        d.resize(d.size() - req.size());
    }
    if (d == "ALPHA_CHAR") {
        f.type = FieldType::Alpha;
        f.width = width;
        return width > 0;
    }
    if (open != std::string::npos) return false;
    if (d == "INTEGER") { f.type = FieldType::Autoincrement; return !f.required; }
    if (d == "NUMBER_REAL") { f.type = FieldType::Number; return true; }
    if (d == "MONEY_REAL") { f.type = FieldType::Money; return true; }
    if (d == "DATE_TEXT") { f.type = FieldType::Date; return true; }
    return false;
}

std::vector<int> storedIndexFields(const TableSpec& t, const IndexSpec& idx)
{
    std::vector<int> cols = idx.fields;
    const IndexSpec* pk = t.primaryKey();
    if (pk && !idx.name.empty())
        for (int f : pk->fields)
            if (std::find(cols.begin(), cols.end(), f) == cols.end()) cols.push_back(f);
    return cols;
}

std::vector<std::string> createStatements(const TableSpec& t, const std::string& schema)
{
    std::vector<std::string> out;
    const std::string table = quoted(schema) + "." + quoted(t.tableName());
    std::string sql = "CREATE TABLE " + table + " (";
    const bool rowid = t.rowidKey();
    for (size_t i = 0; i < t.fields.size(); ++i) {
        const FieldSpec& f = t.fields[i];
        if (i) sql += ", ";
        sql += quoted(f.name) + " " + declaredType(f);
        if (f.type == FieldType::Autoincrement && rowid) sql += " PRIMARY KEY AUTOINCREMENT";
        if (f.type == FieldType::Alpha) sql += " COLLATE INTL";
    }
    sql += ")";
    out.push_back(sql);
    for (const IndexSpec& idx : t.indexes) {
        if (idx.name.empty() && rowid) continue;
        std::string name = idx.name.empty() ? primaryIndexName(t) : idx.name;
        std::string s = std::string(idx.name.empty() ? "CREATE UNIQUE INDEX " : "CREATE INDEX ")
                        + quoted(schema) + "." + quoted(name) + " ON " + quoted(t.tableName()) + " (";
        std::vector<int> cols = storedIndexFields(t, idx);
        for (size_t i = 0; i < cols.size(); ++i) {
            if (i) s += ", ";
            s += quoted(t.fields[size_t(cols[i] - 1)].name);
        }
        out.push_back(s + ")");
    }
    return out;
}

namespace {

struct Stmt {
    sqlite3_stmt* s = nullptr;
    Stmt(sqlite3* db, const std::string& sql) { sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr); }
    ~Stmt() { sqlite3_finalize(s); }
    bool step() { return s && sqlite3_step(s) == SQLITE_ROW; }
    std::string text(int i) const
    {
        const unsigned char* p = sqlite3_column_text(s, i);
        return p ? reinterpret_cast<const char*>(p) : std::string();
    }
};

}  // namespace

bool readSpec(sqlite3* db, const std::string& schema, const std::string& fileName,
              TableSpec& out, std::string& error, std::vector<std::string>* foreign)
{
    if (foreign) foreign->clear();
    out = TableSpec{};
    out.fileName = fileName;
    const std::string table = out.tableName();
    const std::string q = quoted(schema);
    {
        Stmt cols(db, "PRAGMA " + q + ".table_info(" + quoted(table) + ")");
        if (!cols.s) {
            error = sqlite3_errmsg(db);
            return false;
        }
        bool rowidPk = false;
        while (cols.step()) {
            FieldSpec f;
            f.name = cols.text(1);
            if (!parseDeclaredType(cols.text(2), f)) {
                if (foreign) {
                    foreign->push_back(f.name);
                    continue;
                }
                error = "Field '" + f.name + "' has an unknown type '" + cols.text(2) + "'";
                return false;
            }
            if (sqlite3_column_int(cols.s, 5) == 1 && f.type == FieldType::Autoincrement) rowidPk = true;
            out.fields.push_back(f);
        }
        if (out.fields.empty()) {
            error = "Table " + table + " not found";
            return false;
        }
        if (rowidPk) {
            for (size_t i = 0; i < out.fields.size(); ++i)
                if (out.fields[i].type == FieldType::Autoincrement)
                    out.indexes.push_back(IndexSpec{"", {int(i + 1)}});
        }
    }
    auto fieldNumber = [&](const std::string& name) {
        for (size_t i = 0; i < out.fields.size(); ++i)
            if (out.fields[i].name == name) return int(i + 1);
        return 0;
    };
    // Secondary indexes come back in creation order (seq descending in index_list).
    struct Found { std::string name; bool unique; };
    std::vector<Found> found;
    {
        Stmt list(db, "SELECT name, \"unique\" FROM pragma_index_list(" + quoted(table) + ", "
                          + quoted(schema) + ") WHERE origin = 'c' ORDER BY seq DESC");
        if (!list.s) {
            error = sqlite3_errmsg(db);
            return false;
        }
        while (list.step()) found.push_back({list.text(0), sqlite3_column_int(list.s, 1) != 0});
    }
    std::vector<IndexSpec> secondary;
    for (const Found& f : found) {
        IndexSpec idx;
        idx.name = f.name == primaryIndexName(out) ? std::string() : f.name;
        Stmt info(db, "PRAGMA " + q + ".index_info(" + quoted(f.name) + ")");
        while (info.step()) idx.fields.push_back(fieldNumber(info.text(2)));
        if (idx.name.empty()) out.indexes.insert(out.indexes.begin(), idx);
        else secondary.push_back(idx);
    }
    // Stored secondary indexes carry the primary key's fields after their own: take them off.
    if (const IndexSpec* pk = out.primaryKey()) {
        std::vector<int> pkFields = pk->fields;
        for (IndexSpec& idx : secondary) {
            // The stored columns are the key fields followed by the primary key fields not among
            // them; find the shortest prefix that reproduces the stored list.
            std::vector<int> stored = idx.fields;
            for (size_t n = 1; n <= stored.size(); ++n) {
                IndexSpec probe{idx.name, std::vector<int>(stored.begin(), stored.begin() + long(n))};
                if (storedIndexFields(out, probe) == stored) {
                    idx.fields = probe.fields;
                    break;
                }
            }
        }
    }
    out.indexes.insert(out.indexes.end(), secondary.begin(), secondary.end());
    return true;
}

// ---- the international collation ----

namespace {

// Decodes one UTF-8 code point; malformed bytes come back as themselves.
inline unsigned decode(const unsigned char*& p, const unsigned char* end)
{
    unsigned c = *p++;
    if (c < 0x80 || p >= end) return c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (extra == 0 || end - p < extra) return c;
    unsigned cp = c & (0x3F >> extra);
    for (int i = 0; i < extra; ++i) {
        if ((p[i] & 0xC0) != 0x80) return c;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    p += extra;
    return cp;
}

int collate(void*, int na, const void* a, int nb, const void* b)
{
    return intlCompare(static_cast<const char*>(a), na, static_cast<const char*>(b), nb);
}

}  // namespace

unsigned intlFold(unsigned c)
{
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (c < 0xC0 || c > 0xFF) {
        switch (c) {
        case 0x160: case 0x161: return 's';
        case 0x17D: case 0x17E: return 'z';
        case 0x178: return 'y';
        case 0x152: case 0x153: return 'o';
        default: return c;
        }
    }
    static const char map[] =
        "aaaaaaaceeeeiiii"   // C0-CF
        "dnooooo\0ouuuuy\0s" // D0-DF
        "aaaaaaaceeeeiiii"   // E0-EF
        "dnooooo\0ouuuuy\0y";// F0-FF
    char m = map[c - 0xC0];
    return m ? unsigned(m) : c;
}

void appendUtf8(std::string& out, unsigned c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

std::string intlSortKey(const std::string& text)
{
    std::string key;
    key.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* end = p + text.size();
    while (p < end) appendUtf8(key, intlFold(decode(p, end)));
    return key;
}

int intlCompare(const char* a, int na, const char* b, int nb)
{
    const auto* pa = reinterpret_cast<const unsigned char*>(a);
    const auto* pb = reinterpret_cast<const unsigned char*>(b);
    const unsigned char* ea = pa + na;
    const unsigned char* eb = pb + nb;
    while (pa < ea && pb < eb) {
        unsigned ca = intlFold(decode(pa, ea));
        unsigned cb = intlFold(decode(pb, eb));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (pa < ea) return 1;
    if (pb < eb) return -1;
    int r = std::memcmp(a, b, size_t(std::min(na, nb)));
    if (r) return r < 0 ? -1 : 1;
    return na == nb ? 0 : (na < nb ? -1 : 1);
}

void registerCollation(sqlite3* db)
{
    sqlite3_create_collation(db, "INTL", SQLITE_UTF8, nullptr, collate);
}

}  // namespace store

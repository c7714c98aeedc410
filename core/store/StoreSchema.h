// How a table of the system is laid out in its SQLite file.
//
// Each table is one SQLite database file holding one table named after the file (without its
// extension, in upper case). The file describes itself: every column's declared type carries
// the field's type, width and required flag, and the indexes carry the keys. The program's
// table definitions, the table-structure component and the table engine all go through this
// one description, so the three never disagree on what a table file looks like.
//
// Plain C++ and SQLite only: the table-structure component links it without Qt.
#pragma once

#include <string>
#include <vector>

struct sqlite3;

namespace store {

// Field types, numbered as the table-structure records number them.
enum class FieldType { Alpha = 257, Number = 258, Money = 259, Date = 260, Autoincrement = 271 };

struct FieldSpec {
    std::string name;
    FieldType type = FieldType::Alpha;
    int width = 0;          // characters for Alpha, 0 for every other type
    bool required = false;  // refused empty when a row is posted
    bool operator==(const FieldSpec&) const = default;
};

struct IndexSpec {
    std::string name;         // empty for the primary key
    std::vector<int> fields;  // key fields, counted from 1 in definition order
    bool operator==(const IndexSpec&) const = default;
};

struct TableSpec {
    std::string fileName;            // e.g. "GRUPO.DB"
    std::vector<FieldSpec> fields;   // in definition order
    std::vector<IndexSpec> indexes;  // the primary key first, then the secondary indexes
    bool operator==(const TableSpec&) const = default;

    std::string tableName() const;   // "GRUPO" for "GRUPO.DB"
    const IndexSpec* primaryKey() const;
    // True when the primary key is a single Autoincrement field, kept as SQLite's rowid.
    bool rowidKey() const;
};

// The SQL name of the primary key's index, when it is not the rowid.
std::string primaryIndexName(const TableSpec& t);

// The declared column type that encodes a field: "ALPHA_CHAR(50)", "NUMBER_REAL",
// "MONEY_REAL", "DATE_TEXT", "INTEGER" (autoincrement); a required field has the word
// "REQUIRED" after the type name and before the width ("ALPHA_CHAR REQUIRED(50)").
std::string declaredType(const FieldSpec& f);
// The inverse; false when the text is not one of ours.
bool parseDeclaredType(const std::string& declared, FieldSpec& f);

// Columns of an index as stored: the index's key fields followed by the primary key's fields
// that it does not hold already, so that rows equal in the index follow primary key order.
// Numbers count from 1.
std::vector<int> storedIndexFields(const TableSpec& t, const IndexSpec& idx);

// The statements that create the table and its indexes in the schema `schema` ("main" for a
// file opened alone).
std::vector<std::string> createStatements(const TableSpec& t, const std::string& schema);

// Reads the description back from a table file opened in schema `schema`. Returns false with
// `error` set when the schema holds no table of ours. With `foreign` given, a column whose
// declared type is not one of ours (added by another tool) does not fail the reading: its name
// goes to `foreign` and it is left out of `out`.
bool readSpec(sqlite3* db, const std::string& schema, const std::string& fileName,
              TableSpec& out, std::string& error, std::vector<std::string>* foreign = nullptr);

// Quotes an SQL identifier.
std::string quoted(const std::string& identifier);

// The "international" order of Alpha fields, registered as the collation INTL: letters compare
// without regard to case and accents first, ties are broken by exact byte order, so two
// different texts never compare equal. Must be registered on every connection that touches a
// table file.
int intlCompare(const char* a, int na, const char* b, int nb);
void registerCollation(sqlite3* db);

// The first level of the INTL order: a code point with case and accents taken off (the letters of
// Windows-1252; every other code point is itself).
unsigned intlFold(unsigned codePoint);
// The text folded code point by code point, in UTF-8: comparing two keys byte by byte gives the
// first level of the order, and the exact text breaks ties (a server store keeps it as a sort
// key column). Valid UTF-8 in, valid UTF-8 out.
std::string intlSortKey(const std::string& text);
// Appends a code point to `out` in UTF-8.
void appendUtf8(std::string& out, unsigned codePoint);

}  // namespace store

// The tables of the system on the server store, in the schema `tolmare`, made from the same
// definitions as the table files (core/TableDefs) and the main database's tables
// (core/store/MainTables):
//
// - Alpha: varchar(width) in exact ("C") order, beside a sort key column `intl_<field>` that
//   the server computes with the file store's folding (store::intlFold); an index on an Alpha
//   field holds the key and then the text, so ties are broken by the exact text and the order
//   is the file store's INTL order. Number: double precision. Money: numeric(19,4). Date: date.
//   Autoincrement: an identity column, whose numbers are never given again.
// - The primary key is the unique index `pk_<TABLE>` (two empty values are equal in it); a
//   table whose key is not an Autoincrement field has a row number column `rowid`.
// - The operation log refuses any change or removal on the server too. A main table's untyped
//   value column is text; its unique rules (MainTableSpec::serverUnique) are partial unique
//   indexes: an imported return's fingerprint is unique among the imports that still count.
#pragma once

#include "core/pgstore/PgConnection.h"
#include "core/store/MainTables.h"
#include "core/store/StoreSchema.h"

#include <functional>
#include <string>
#include <vector>

namespace pg {

// `tolmare."NAME"`.
std::string qualified(const std::string& table);
// The sort key column of an Alpha field.
std::string sortKeyColumn(const std::string& field);
// The ORDER BY list that walks `t` in the order of its index `idx`, as the file store does.
std::string orderBy(const store::TableSpec& t, const store::IndexSpec& idx);

enum class SchemaAction { Unchanged, Created, Modified };

struct SchemaOutcome {
    std::string table;
    SchemaAction action = SchemaAction::Unchanged;
    long long copied = 0;  // Modified: rows brought over
    long long lost = 0;    // Modified: rows that did not fit (a key met twice keeps the first)
};

// Creates the missing tables and restructures those that differ, rows kept, all in one
// transaction (a failure leaves the server as it was); on tables that match it changes
// nothing. Another computer running it at the same time waits for this one. `alsoCommit`, when
// given, runs inside that transaction with the outcomes (to log the changes with them).
std::vector<SchemaOutcome> checkSchema(
    Connection& c, const std::vector<store::TableSpec>& tables,
    const std::vector<store::MainTableSpec>& mainTables,
    const std::function<void(const std::vector<SchemaOutcome>&)>& alsoCommit = {});

}  // namespace pg

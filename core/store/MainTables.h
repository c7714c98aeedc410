// The tables of a store's main database, beside the five tables of the system: the operation
// log, the record of imported return files, the record of the remittance file on its way and
// the record that undoes the last remittance. They belong to no table file (no backup takes
// them, no restore rolls them back) and are described here once: the file store's main
// database creates them from this description (mainTableStatements), the server store too.
//
// Plain C++: the server store links it without Qt.
#pragma once

#include "core/store/StoreSchema.h"

#include <string>
#include <vector>

namespace store {

enum class ColumnType {
    Key,        // an integer row number, given by the store, never given again
    RowNumber,  // an integer row number, given by the store; the last one's may be given again
    Integer,
    Text,
    Value,  // any value, kept exactly as written (no type; text on the server store)
};

struct ColumnSpec {
    std::string name;
    ColumnType type = ColumnType::Text;
    bool required = false;     // NOT NULL
    std::string defaultValue;  // an SQL literal, or empty for none
};

// Rows for which `where` (SQL over the columns) holds may not share the values of `fields`:
// kept by the server store, where two computers record at once; the file store records under
// its single writer's lock, and its files keep what they held before.
struct UniqueSpec {
    std::string name;
    std::vector<int> fields;  // counted from 1
    std::string where;
};

struct MainTableSpec {
    std::string name;                 // e.g. "HISTORICO"
    std::vector<ColumnSpec> columns;  // in order
    std::vector<IndexSpec> indexes;   // secondary, fields counted from 1
    // Lines are only ever added: a change or a removal is refused with these texts.
    std::string refuseUpdate;
    std::string refuseDelete;
    std::vector<UniqueSpec> serverUnique;
};

// HISTORICO, RETORNOS_IMPORTADOS, tolmare_arquivo_pendente, REMESSA_DESFAZER,
// REMESSA_DESFAZER_LINHAS.
const std::vector<MainTableSpec>& mainTables();
const MainTableSpec& mainTable(const std::string& name);

// The statements that create `t` in the SQLite database `schema` when it is missing (table,
// indexes, the triggers of an append-only table); they change nothing on a table there.
std::vector<std::string> mainTableStatements(const MainTableSpec& t,
                                             const std::string& schema = "main");

}  // namespace store

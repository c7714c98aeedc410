// The tables of a store's main database, beside the five tables of the system: the operation
// log, the record of imported return files and the record of the remittance file on its way.
// They belong to no table file (no backup takes them, no restore rolls them back) and are
// described here once, for the file store's main database and the server store alike.
//
// Plain C++: the server store links it without Qt.
#pragma once

#include "core/store/StoreSchema.h"

#include <string>
#include <vector>

namespace store {

enum class ColumnType {
    Key,  // an integer row number, given by the store, never given again
    Integer,
    Text,
};

struct ColumnSpec {
    std::string name;
    ColumnType type = ColumnType::Text;
    bool required = false;     // NOT NULL
    std::string defaultValue;  // an SQL literal, or empty for none
};

struct MainTableSpec {
    std::string name;                 // e.g. "HISTORICO"
    std::vector<ColumnSpec> columns;  // in order
    std::vector<IndexSpec> indexes;   // secondary, fields counted from 1
    // Lines are only ever added: a change or a removal is refused with these texts.
    std::string refuseUpdate;
    std::string refuseDelete;
};

// HISTORICO, RETORNOS_IMPORTADOS, tolmare_arquivo_pendente.
const std::vector<MainTableSpec>& mainTables();

}  // namespace store

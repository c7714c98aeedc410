// The five tables of the system, defined once: file names, fields in order with their types and
// widths, the primary key, the secondary indexes and the required fields. The schema check's
// records, the store, the data modules and the tests are all made from this definition.
#pragma once

#include "core/store/StoreSchema.h"

#include <string>
#include <vector>

namespace tables {

// In the order the schema check hands them to the table-structure component:
// ASSOCIADOS, DEBITO, GRUPO, PARAMETROS, RET_DEBITO.
const std::vector<store::TableSpec>& all();

// The definition of a table by its file name, compared without regard to case
// ("GRUPO.db" names "GRUPO.DB"); nullptr when there is none.
const store::TableSpec* find(const std::string& fileName);

}  // namespace tables

// Creates a main-database table of the file store from its one description
// (core/store/MainTables) when the connection's main database lacks it.
#pragma once

namespace db {
class Connection;
}

namespace store {

void createMainTable(db::Connection& c, const char* name);

}  // namespace store

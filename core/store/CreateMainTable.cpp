#include "core/store/CreateMainTable.h"

#include "core/engine/Connection.h"
#include "core/store/MainTables.h"

namespace store {

void createMainTable(db::Connection& c, const char* name)
{
    for (const std::string& sql : mainTableStatements(mainTable(name)))
        c.exec(QString::fromStdString(sql));
}

}  // namespace store

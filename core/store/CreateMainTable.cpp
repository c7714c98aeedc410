#include "core/store/CreateMainTable.h"

#include "core/engine/Connection.h"
#include "core/engine/EngineError.h"
#include "core/engine/Statement.h"
#include "core/store/MainTables.h"

namespace store {

namespace {

// An append-only table's refusal trigger holds its Portuguese text; main databases made by an
// earlier version hold it with its accents garbled. Such a trigger is made again, in one step;
// when that cannot be done now (a read-only folder, another program writing), it still refuses
// and is left for a later opening.
void mendTrigger(db::Connection& c, const MainTableSpec& t, const char* suffix,
                 const std::string& message, const std::string& create)
{
    if (message.empty()) return;
    const QString name = QString::fromStdString(t.name) + suffix;
    QString escaped = QString::fromStdString(message);
    escaped.replace('\'', "''");
    {
        db::Statement st(c, "SELECT sql FROM main.sqlite_master WHERE type = 'trigger' AND "
                            "name = ?", QString::fromStdString(t.name));
        st.bindText(1, name.toUtf8());
        if (!st.next() || st.text(0).contains(escaped)) return;
    }
    try {
        c.exec("SAVEPOINT tolmare_gatilho");
        c.exec("DROP TRIGGER IF EXISTS main." + name);
        c.exec(QString::fromStdString(create));
        c.exec("RELEASE tolmare_gatilho");
    } catch (const db::EngineError&) {
        try {
            c.exec("ROLLBACK TO tolmare_gatilho");
            c.exec("RELEASE tolmare_gatilho");
        } catch (const db::EngineError&) {
        }
    }
}

}  // namespace

void createMainTable(db::Connection& c, const char* name)
{
    const MainTableSpec& t = mainTable(name);
    const std::vector<std::string> statements = mainTableStatements(t);
    for (const std::string& sql : statements) c.exec(QString::fromStdString(sql));
    // The triggers are the last statements, the refusal of changes before that of removals.
    size_t i = statements.size();
    const std::string* deleteSql = t.refuseDelete.empty() ? nullptr : &statements[--i];
    const std::string* updateSql = t.refuseUpdate.empty() ? nullptr : &statements[--i];
    if (updateSql) mendTrigger(c, t, "_SEM_ALTERACAO", t.refuseUpdate, *updateSql);
    if (deleteSql) mendTrigger(c, t, "_SEM_EXCLUSAO", t.refuseDelete, *deleteSql);
}

}  // namespace store

#include "core/engine/StatementCache.h"

#include "core/engine/SqlValue.h"

#include <sqlite3.h>

namespace db {

sqlite3_stmt* StatementCache::get(const QString& sql)
{
    if (sqlite3_stmt* st = kept_.value(sql)) return st;
    if (kept_.size() >= kMaxKept) clear();
    sqlite3_stmt* st = prepare(db_, sql, table_);
    kept_.insert(sql, st);
    return st;
}

void StatementCache::clear()
{
    for (sqlite3_stmt* st : std::as_const(kept_)) sqlite3_finalize(st);
    kept_.clear();
}

StatementCache::Reset::~Reset()
{
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
}

}  // namespace db

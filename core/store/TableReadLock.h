// A read lock on a table file, held while a backup reads the file's bytes: no write of the
// table engine is under way meanwhile, so the copy is a committed state of the table.
#pragma once

#include <QString>

#include <memory>

namespace store {

// For a table file (an SQLite database): a shared lock, released when the result is dropped;
// for any other file a lock that holds nothing. Empty when the table stays locked for writing
// longer than the wait allowed.
std::shared_ptr<void> readLockTable(const QString& path);

}  // namespace store

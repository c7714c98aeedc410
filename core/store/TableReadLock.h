// A read lock on the table files a backup copies, held while it reads their bytes: no write of
// the table engine is under way meanwhile, so the copy is one committed state of all of them.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace store {

// One read transaction over every table file (an SQLite database) of `paths`, all its locks
// taken before the result is handed over and released when it is dropped; other files are
// passed over. A transaction committing over several tables meanwhile is either wholly in the
// copy or not at all. Empty, with the table that stayed locked in `failed`, when a table stays
// locked for writing longer than the wait allowed.
std::shared_ptr<void> readLockTables(const QStringList& paths, QString& failed);

}  // namespace store

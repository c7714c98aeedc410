#include "core/store/TableReadLock.h"

#include <QFile>

#include <sqlite3.h>

namespace store {

namespace {

constexpr int kWaitMs = 10000;

bool isTable(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.read(16) == QByteArray("SQLite format 3\0", 16);
}

}  // namespace

std::shared_ptr<void> readLockTable(const QString& path)
{
    // The header is read before the lock is taken: closing any other descriptor of the file
    // would drop the process's locks on it.
    if (!isTable(path)) return std::make_shared<int>(0);
    sqlite3* db = nullptr;
    // Read-write when allowed, so that a journal left by a write that was cut short is rolled
    // back first, exactly as the table engine would on its next opening.
    const QByteArray name = QFile::encodeName(path);
    int rc = sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        db = nullptr;
        rc = sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    }
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, kWaitMs);
    // A read transaction keeps its shared lock until it ends.
    if (sqlite3_exec(db, "BEGIN; SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr)
        != SQLITE_OK) {
        sqlite3_close_v2(db);
        return nullptr;
    }
    return std::shared_ptr<sqlite3>(db, [](sqlite3* d) {
        sqlite3_exec(d, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close_v2(d);
    });
}

}  // namespace store

#include "core/store/TableReadLock.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <sqlite3.h>

#include <vector>

namespace store {

namespace {

constexpr int kWaitMs = 10000;
constexpr int kTryMs = 100;  // one attempt's wait on a table: then every lock is let go

bool isTable(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.read(16) == QByteArray("SQLite format 3\0", 16);
}

struct Locks {
    std::vector<sqlite3*> dbs;
    ~Locks() { release(); }
    void release()
    {
        for (sqlite3* d : dbs) {
            sqlite3_exec(d, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_close_v2(d);
        }
        dbs.clear();
    }
};

// A read transaction on one table; SQLITE_BUSY when it stays locked for `waitMs`.
int lockOne(const QString& path, int waitMs, Locks& locks)
{
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
        return rc;
    }
    sqlite3_busy_timeout(db, waitMs);
    // A read transaction keeps its shared lock until it ends.
    rc = sqlite3_exec(db, "BEGIN; SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        rc = sqlite3_extended_errcode(db) & 0xFF;
        sqlite3_close_v2(db);
        return rc;
    }
    locks.dbs.push_back(db);
    return SQLITE_OK;
}

}  // namespace

std::shared_ptr<void> readLockTables(const QStringList& paths, QString& failed)
{
    // Every header is read before any lock is taken: closing any other descriptor of a file
    // drops the process's locks on it.
    QStringList tables;
    for (const QString& p : paths)
        if (isTable(p)) tables << p;
    auto locks = std::make_shared<Locks>();
    QElapsedTimer clock;
    clock.start();
    // A writer committing over several tables holds some of them while it waits for the others:
    // an attempt that finds one locked lets every lock go, so that the writer can finish.
    for (;;) {
        int rc = SQLITE_OK;
        for (const QString& t : tables) {
            rc = lockOne(t, kTryMs, *locks);
            if (rc != SQLITE_OK) {
                failed = t;
                break;
            }
        }
        if (rc == SQLITE_OK) return locks;
        locks->release();
        if ((rc != SQLITE_BUSY && rc != SQLITE_LOCKED) || clock.elapsed() > kWaitMs) return nullptr;
        QThread::msleep(20);
    }
}

}  // namespace store

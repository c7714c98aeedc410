// What the benchmarks share: filling a table file with plain SQLite, and a timer that reads
// the process's CPU time (this machine is shared: other programs' load does not stretch it)
// with the wall time beside it.
#pragma once

#include "core/store/StoreSchema.h"

#include <QDir>
#include <QElapsedTimer>
#include <QString>

#include <sqlite3.h>

#include <cstdio>
#include <ctime>
#include <functional>

namespace bench {

// Inserts `n` rows into a table file of `folder` in one transaction, binding each through
// `bind(statement, i)`.
inline void fill(const QString& folder, const char* file, const char* sql, int n,
                 const std::function<void(sqlite3_stmt*, int)>& bind)
{
    sqlite3* h = nullptr;
    sqlite3_open(QDir(folder).filePath(file).toUtf8().constData(), &h);
    store::registerCollation(h);
    sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(h, sql, -1, &st, nullptr);
    for (int i = 0; i < n; ++i) {
        bind(st, i);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(h);
}

inline double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

class Timer {
public:
    void restart()
    {
        wall_.start();
        cpu_ = cpuMs();
    }
    // The CPU milliseconds since restart(), the wall time printed beside them.
    double stop() const
    {
        std::printf("  (wall %.0f ms)\n", wall_.nsecsElapsed() / 1e6);
        return cpuMs() - cpu_;
    }

private:
    QElapsedTimer wall_;
    double cpu_ = 0;
};

}  // namespace bench

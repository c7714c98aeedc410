// What the benchmarks share: filling a table file with plain SQLite, and a timer that reads
// the process's CPU time (this machine is shared: other programs' load does not stretch it)
// with the wall time beside it.
#pragma once

#include "core/store/StoreSchema.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <sqlite3.h>

#include <cstdio>
#include <ctime>
#include <sys/resource.h>
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

// The processor's model as the system names it, printed beside every figure.
inline QString processorModel()
{
    QFile f("/proc/cpuinfo");
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray& line : f.readAll().split('\n'))
            if (line.startsWith("model name"))
                return QString::fromUtf8(line.mid(line.indexOf(':') + 1)).trimmed();
    return "unknown processor";
}

// The most memory the process has held so far, in megabytes.
inline double peakMemoryMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024.0;
}

inline double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// A line "Name:   N kB" of /proc/self/status.
inline long statusKb(const char* name)
{
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(name)) return line.mid(qstrlen(name) + 1).trimmed().split(' ')[0].toLong();
    return 0;
}

inline long rssKb() { return statusKb("VmRSS"); }

// Starts measuring the peak resident memory afresh.
inline void resetPeak()
{
    QFile f("/proc/self/clear_refs");
    if (f.open(QIODevice::WriteOnly)) f.write("5");
}

inline long peakKb() { return statusKb("VmHWM"); }

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

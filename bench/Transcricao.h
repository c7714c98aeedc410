// The reference of the remittance and return benchmarks: the least the tables must do. The
// row changes an operation made (found by comparing a copy of the tables taken before it with
// the tables after it) are replayed with plain SQLite on the copy: prepared statements, one
// statement run per row change, one transaction over the attached table files, the same
// journal and sync settings. An operation
// whose product is a file may add the least its bytes need to be put in place durably
// (writeFileDurably).
#pragma once

#include "core/engine/SqlValue.h"
#include "core/store/StoreSchema.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <sqlite3.h>

#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace bench {

// Wall and processor time of a piece of work: on a machine shared with other work the
// processor time is the steadier figure.
class Clock {
public:
    Clock() { restart(); }
    void restart()
    {
        wall_.start();
        cpu_ = cpuNow();
    }
    double wallMs() const { return wall_.nsecsElapsed() / 1e6; }
    double cpuMs() const { return (cpuNow() - cpu_) / 1e6; }

private:
    static double cpuNow()
    {
        timespec ts{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return ts.tv_sec * 1e9 + ts.tv_nsec;
    }
    QElapsedTimer wall_;
    double cpu_ = 0;
};

struct Times {
    double wall, cpu;
};

// Copies the table files of `from` into a new folder `to`.
inline void copyTables(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    for (const QString& f : QDir(from).entryList({"*.DB"}, QDir::Files))
        QFile::copy(QDir(from).filePath(f), QDir(to).filePath(f));
}

// One kind of row change of one table, with the values of each change.
struct Change {
    QString sql;
    QVector<QVector<QVariant>> rows;
};

namespace detail {

inline QVariant value(sqlite3_stmt* st, int col)
{
    switch (sqlite3_column_type(st, col)) {
    case SQLITE_NULL: return {};
    case SQLITE_INTEGER: return qint64(sqlite3_column_int64(st, col));
    case SQLITE_FLOAT: return sqlite3_column_double(st, col);
    default: return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, col)));
    }
}

inline QVector<QVector<QVariant>> select(sqlite3* h, const QString& sql)
{
    QVector<QVector<QVariant>> out;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(h, sql.toUtf8().constData(), -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
        QVector<QVariant> row;
        for (int c = 0; c < sqlite3_column_count(st); ++c) row << value(st, c);
        out << row;
    }
    sqlite3_finalize(st);
    return out;
}

}  // namespace detail

// The deletions, updates and insertions that turned table `table` of folder `before` into that
// of folder `after`, rows matched by rowid.
inline QVector<Change> changesOf(const QString& before, const QString& after, const QString& table)
{
    sqlite3* h = nullptr;
    sqlite3_open(":memory:", &h);
    store::registerCollation(h);
    const QString file = table + ".DB";
    sqlite3_exec(h, ("ATTACH '" + QDir(before).filePath(file) + "' AS b; ATTACH '"
                     + QDir(after).filePath(file) + "' AS a").toUtf8().constData(),
                 nullptr, nullptr, nullptr);
    QStringList cols, differ, sets, marks;
    for (const auto& r : detail::select(h, "PRAGMA a.table_info(" + table + ")")) {
        const QString c = r.at(1).toString();
        cols << c;
        differ << "a." + c + " IS NOT b." + c + " COLLATE BINARY";
        sets << c + " = ?";
        marks << "?";
    }
    const QString t = table + "." + table;
    QVector<Change> out;
    out << Change{"DELETE FROM " + t + " WHERE rowid = ?",
                  detail::select(h, "SELECT rowid FROM b." + table
                                        + " WHERE rowid NOT IN (SELECT rowid FROM a." + table + ")")};
    out << Change{"UPDATE " + t + " SET " + sets.join(", ") + " WHERE rowid = ?",
                  detail::select(h, "SELECT a." + cols.join(", a.") + ", a.rowid FROM a." + table
                                        + " a JOIN b." + table + " b ON a.rowid = b.rowid WHERE "
                                        + differ.join(" OR "))};
    out << Change{"INSERT INTO " + t + " (" + cols.join(", ") + ", rowid) VALUES ("
                      + marks.join(", ") + ", ?)",
                  detail::select(h, "SELECT " + cols.join(", ") + ", rowid FROM a." + table
                                        + " WHERE rowid NOT IN (SELECT rowid FROM b." + table + ")")};
    sqlite3_close(h);
    return out;
}

// Replays `changes` on the table files of `folder` in one transaction; returns its times.
inline Times replay(const QString& folder, const QStringList& tables,
                     const QVector<Change>& changes)
{
    sqlite3* h = nullptr;
    sqlite3_open(QDir(folder).filePath(".bench-main").toUtf8().constData(), &h);
    store::registerCollation(h);
    for (const QString& t : tables)
        sqlite3_exec(h, ("ATTACH '" + QDir(folder).filePath(t + ".DB") + "' AS " + t + "; PRAGMA "
                         + t + ".journal_mode=DELETE; PRAGMA " + t + ".synchronous=FULL")
                            .toUtf8().constData(),
                     nullptr, nullptr, nullptr);
    Clock clock;
    sqlite3_exec(h, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    for (const Change& c : changes) {
        db::StmtGuard st(db::prepare(h, c.sql));
        for (const QVector<QVariant>& row : c.rows) {
            sqlite3_reset(st.get());
            db::bindAll(st.get(), row);
            sqlite3_step(st.get());
        }
    }
    const int rc = sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
    const Times spent{clock.wallMs(), clock.cpuMs()};
    sqlite3_close(h);
    return rc == SQLITE_OK ? spent : Times{-1, -1};
}

// Puts `bytes` at `path` the least way that leaves a complete file there after a crash: one
// write beside it, fsync, rename, fsync of the folder. No read-back, no record of the pending
// file, no lock. Returns its times, or -1 on a failure.
inline Times writeFileDurably(const QString& path, const QByteArray& bytes)
{
    const QByteArray target = QFile::encodeName(path), beside = target + ".ref-tmp";
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    Clock clock;
    const int fd = ::open(beside.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    bool ok = fd >= 0;
    for (qsizetype done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        ok = n > 0;
        done += n;
    }
    ok = ok && ::fsync(fd) == 0;
    if (fd >= 0) ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(beside.constData(), target.constData()) == 0;
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ok = ok && dir >= 0 && ::fsync(dir) == 0;
    if (dir >= 0) ::close(dir);
    const Times spent{clock.wallMs(), clock.cpuMs()};
    return ok ? spent : Times{-1, -1};
}

}  // namespace bench

// What the server store's tests share: the server's address (TOLMARE_PG_URI, else libpq's PG*
// variables, as pg_virtualenv sets them), tolmare-cli run to its end, and a statement run on a
// table file of a data folder.
#pragma once

#include "core/pgstore/PgConnection.h"
#include "core/store/StoreSchema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QtTest>

#include <sqlite3.h>

namespace {

QString serverUri()
{
    return qEnvironmentVariable("TOLMARE_PG_URI", "postgresql://");
}

// Connects `c` to the server, or fails the test (initTestCase: then none runs).
void connectToServer(std::unique_ptr<pg::Connection>& c)
{
    try {
        c = std::make_unique<pg::Connection>(serverUri().toStdString());
    } catch (const pg::PgError& e) {
        QFAIL(qPrintable(QString("no PostgreSQL server (%1): the tests labelled pg run under "
                                 "pg_virtualenv, as scripts/test.sh does")
                             .arg(e.what())));
    }
}

// Holds (or no longer) every commit on the server, waiting for a standby that never comes. Each
// commit is then durable on the server before the wait.
inline void holdCommits(pg::Connection& c, bool hold)
{
    c.exec(hold ? "ALTER SYSTEM SET synchronous_standby_names = 'ninguem'"
                : "ALTER SYSTEM RESET synchronous_standby_names");
    c.exec("SELECT pg_reload_conf()");
}

// With commits held: ends the connection of the first transaction waiting at its COMMIT (the
// server has committed it, the client is not told), lets go every other write waiting. False
// when none came within `ms`.
inline bool endAtCommit(pg::Connection& c, int ms = 10000)
{
    QElapsedTimer t;
    t.start();
    for (; t.elapsed() < ms; QThread::msleep(5)) {
        const pg::Result r = c.exec(
            "SELECT pid, query = 'COMMIT' FROM pg_stat_activity WHERE wait_event = 'SyncRep'");
        for (int i = 0; i < r.rows(); ++i) {
            const bool commit = r.text(i, 1) == "t";
            c.exec(
                std::string(commit ? "SELECT pg_terminate_backend(" : "SELECT pg_cancel_backend(")
                + r.text(i, 0) + ")");
            if (commit) return true;
        }
    }
    return false;
}

// Runs tolmare-cli to its end: the exit code (-1 when it did not end), its error output in `err`,
// its output in `out`.
int cli(const QStringList& args, QString* err = nullptr, QString* out = nullptr)
{
    QProcess p;
    p.start(QCoreApplication::applicationDirPath() + "/tolmare-cli", args);
    if (!p.waitForFinished(60000)) return -1;
    const QString e = QString::fromUtf8(p.readAllStandardError());
    if (err) *err = e;
    if (out) *out = QString::fromUtf8(p.readAllStandardOutput());
    if (p.exitCode() != 0 && !err) qWarning("%s", qPrintable(e));
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

void sql(const QString& folder, const QString& table, const QString& statement)
{
    sqlite3* db = nullptr;
    QVERIFY(sqlite3_open(QDir(folder).filePath(table + ".DB").toUtf8(), &db) == SQLITE_OK);
    store::registerCollation(db);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, statement.toUtf8(), nullptr, nullptr, &error);
    const QString why = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    QVERIFY2(rc == SQLITE_OK, qPrintable(why));
}

}  // namespace

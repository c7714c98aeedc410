// What the server store's tests share: the server's address (TOLMARE_PG_URI, else libpq's PG*
// variables, as pg_virtualenv sets them), tolmare-cli run to its end, and a statement run on a
// table file of a data folder.
#pragma once

#include "core/pgstore/PgConnection.h"
#include "core/store/StoreSchema.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
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

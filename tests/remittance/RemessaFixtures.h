// Test helpers of the remittance tests: rows of the tables, the files of a folder.
#pragma once

#include "core/engine/Table.h"
#include "tests/common/TestData.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QVariant>

namespace {

inline void parametros(double number, const QString& codInt = "7", const QString& codVerba = "123")
{
    testdata::addRow("PARAMETROS.DB", {{"EMP_NOME", "Associação"}, {"EMP_COD_INT_PREVI", codInt},
                                       {"EMP_COD_VERBA_PREVI", codVerba},
                                       {"EMP_NR_REM_PREVI", number}});
}

inline void member(const QString& name, const QVariant& matricula)
{
    testdata::addRow("ASSOCIADOS.DB", {{"ASS_NOME", name}, {"ASS_GRP_ID", 1.0},
                                       {"ASS_MATRICULA", matricula}});
}

inline void debit(const QDate& d, double who, const QVariant& value)
{
    testdata::addRow("DEBITO.DB", {{"DEB_DATA", d}, {"DEB_ASS_ID", who}, {"DEB_VALOR", value},
                                   {"DEB_DTA_CAD", d}, {"DEB_USR_ID", 1}});
}

inline QByteArray fileLines(const QStringList& lines)
{
    QByteArray out;
    for (const QString& l : lines) out += l.toLatin1() + "\r\n";
    return out;
}

inline QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Rows of a table as sorted text lines, for comparing whole tables.
inline QStringList rowsOf(const QString& fileName, const QStringList& fields)
{
    QStringList out;
    db::Table t;
    t.setTableName(fileName);
    t.open();
    for (t.first(); !t.eof(); t.next()) {
        QStringList cells;
        for (const QString& f : fields) cells << t.fieldByName(f).asString();
        out << cells.join("|");
    }
    out.sort();
    return out;
}

// The remittance files of a folder, finished or not (a file being written carries a suffix).
inline QStringList remittanceFiles(const QString& folder)
{
    return QDir(folder).entryList({"ARQ_PREVI_*"}, QDir::Files | QDir::Hidden);
}

inline double remittanceNumber()
{
    db::Table t;
    t.setTableName("PARAMETROS.DB");
    t.open();
    return t.fieldByName("EMP_NR_REM_PREVI").asFloat();
}

// Runs tolmare-cli on `folder` to its end; returns the exit code (-1 when it did not end).
inline int runCli(const QString& folder, const QStringList& args, QString* out = nullptr,
                  QString* err = nullptr)
{
    QProcess cli;
    cli.start(QCoreApplication::applicationDirPath() + "/tolmare-cli",
              QStringList{"--dados", folder} + args);
    if (!cli.waitForFinished(60000)) return -1;
    if (out) *out = QString::fromUtf8(cli.readAllStandardOutput());
    if (err) *err = QString::fromUtf8(cli.readAllStandardError());
    return cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
}

}  // namespace

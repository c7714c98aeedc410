// The remittance on a real PostgreSQL server, through tolmare-cli, against the same remittance
// on the data folder the server was migrated from: the same file byte for byte, the same debits,
// RET_DEBITO rows, number, log and undo record; a refused one changes nothing; members stay open
// to another computer while it runs, debits wait; two at once get distinct numbers; a client
// killed at any instant leaves all before or all after, and the next one finishes the file.
#include "core/pgstore/PgConnection.h"
#include "tests/pgstore/ServerCli.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

namespace {

// A table's rows as texts, numbers written alike whichever store gave them, sorted.
QStringList normalized(QList<QStringList> rows)
{
    QStringList out;
    for (QStringList& r : rows) {
        for (QString& v : r) {
            bool number = false;
            const double d = v.toDouble(&number);
            if (number) v = QString::number(d, 'f', 4);
        }
        out << r.join('|');
    }
    out.sort();
    return out;
}

const QStringList kDebito{"rowid",     "DEB_DATA",    "DEB_ASS_ID",
                          "DEB_VALOR", "DEB_DTA_CAD", "DEB_USR_ID"};
const QStringList kRet{"DEB_DATA",  "DEB_DATA_RETORNO", "DEB_ASS_ID",  "DEB_REMESSA",
                       "DEB_VALOR", "DEB_OCORRENCIA",   "DEB_DTA_CAD", "DEB_USR_ID"};

// The rows of `table` in the file `file`.
QStringList fileRows(const QString& file, const QString& table, const QStringList& cols)
{
    QList<QStringList> rows;
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.toUtf8(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, ("SELECT " + cols.join(", ") + " FROM " + table).toUtf8(), -1, &s,
                       nullptr);
    while (s && sqlite3_step(s) == SQLITE_ROW) {
        QStringList row;
        for (int i = 0; i < cols.size(); ++i)
            row << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, i)));
        rows << row;
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    return normalized(rows);
}

QStringList folderRows(const QString& folder, const QString& table, const QStringList& cols)
{
    return fileRows(QDir(folder).filePath(table + ".DB"), table, cols);
}

QStringList mainRows(const QString& folder, const QString& table, const QStringList& cols)
{
    return fileRows(QDir(folder).filePath(".tolmare-main"), table, cols);
}

QString quoted(const QStringList& cols)
{
    QStringList out;
    for (const QString& c : cols) out << (c == "rowid" || c.contains(' ') ? c : '"' + c + '"');
    return out.join(", ");
}

}  // namespace

class TstServerRemittance : public QObject {
    Q_OBJECT
    std::unique_ptr<pg::Connection> c_;
    QTemporaryDir dir_;
    int n_ = 0;

    QStringList serverRows(const QString& table, const QStringList& cols)
    {
        const pg::Result r =
            c_->exec(("SELECT " + quoted(cols) + " FROM tolmare.\"" + table + '"').toStdString());
        QList<QStringList> rows;
        for (int i = 0; i < r.rows(); ++i) {
            QStringList row;
            for (int j = 0; j < r.columns(); ++j) row << QString::fromStdString(r.text(i, j));
            rows << row;
        }
        return normalized(rows);
    }
    std::string one(const std::string& sql) { return c_->exec(sql).text(0, 0); }
    // The tables a remittance changes on the server, as one text.
    QString serverState()
    {
        return (serverRows("DEBITO", kDebito) + serverRows("RET_DEBITO", kRet)
                + serverRows("PARAMETROS", {"EMP_NR_REM_PREVI"}))
            .join('\n');
    }
    long long logged(const char* like)
    {
        return std::stoll(c_->exec("SELECT count(*) FROM tolmare.\"HISTORICO\" WHERE "
                                   "\"DETALHE\" LIKE $1",
                                   {std::string(like)})
                              .text(0, 0));
    }
    QString folder(int extra = 0)
    {
        const QString f = dir_.filePath("d" + QString::number(++n_));
        if (cli({"--dados", f, "--criar-pasta", "demonstracao"}) != 0) return {};
        if (extra > 0) {
            sql(f, "ASSOCIADOS",
                QString("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE "
                        "i < %1) INSERT INTO ASSOCIADOS (ASS_NOME, ASS_MATRICULA) SELECT "
                        "'SÓCIO ' || i, '5' || i FROM n")
                    .arg(extra));
            sql(f, "DEBITO",
                QString("WITH RECURSIVE n(i) AS (SELECT 9 UNION ALL SELECT i + 1 FROM n WHERE "
                        "i < %1) INSERT INTO DEBITO (DEB_DATA, DEB_ASS_ID, DEB_VALOR, "
                        "DEB_DTA_CAD, DEB_USR_ID) SELECT '2026-06-10', i, 10 + i % 7, "
                        "'2026-06-01', 1 FROM n")
                    .arg(extra + 8));
        }
        return f;
    }
    // Runs a remittance of 10/07/2026 into `file`: its output, or "exit N" and the error.
    QString remessa(const QString& store, const QString& file, const QString& date = "10/07/2026")
    {
        QString out, err;
        const int code = cli({"--dados", store, "remessa", "--data", date, "--arquivo", file,
                              "--hoje", "05/07/2026"},
                             &err, &out);
        return code == 0 ? out : QString("exit %1: %2").arg(code).arg(err);
    }
    QStringList leftovers(const QString& d)
    {
        return QDir(d).entryList({"*.tmp"}, QDir::Files | QDir::Hidden);
    }

private slots:
    void initTestCase() { connectToServer(c_); }
    void init() { c_->exec("DROP SCHEMA IF EXISTS tolmare CASCADE"); }

    void sameOutcomeAsTheFolder()
    {
        const QString f = folder();
        QVERIFY(!f.isEmpty());
        // Member 1 has a debit on another date besides its own (deleted, logged); member 2's
        // only debit lies on another date (re-dated); a debit has no member, one a member that
        // is gone; member 3 has no enrolment number; member 4's value has four decimals;
        // member 5 has two debits on the date (added up); member 6's row of the date has a
        // return; member 7's is repeated.
        sql(f, "DEBITO",
            "INSERT INTO DEBITO (DEB_DATA, DEB_ASS_ID, DEB_VALOR, DEB_DTA_CAD, DEB_USR_ID) VALUES "
            "('2026-06-10', 1, 15.5, '2026-06-01', 1), ('2026-07-10', NULL, 7, '2026-06-01', 1), "
            "('2026-07-10', 99, 8, '2026-06-01', 1), ('2026-07-10', 5, 20.25, '2026-06-01', 1); "
            "UPDATE DEBITO SET DEB_DATA = '2026-08-01' WHERE DEB_ASS_ID = 2; "
            "UPDATE DEBITO SET DEB_VALOR = 12.3456 WHERE DEB_ASS_ID = 4");
        sql(f, "ASSOCIADOS", "UPDATE ASSOCIADOS SET ASS_MATRICULA = '  ' WHERE ASS_ID = 3");
        sql(f, "RET_DEBITO",
            "INSERT INTO RET_DEBITO (DEB_DATA, DEB_DATA_RETORNO, DEB_ASS_ID, DEB_REMESSA, "
            "DEB_VALOR, DEB_OCORRENCIA, DEB_DTA_CAD, DEB_USR_ID) VALUES "
            "('2026-07-10', '2026-07-20', 6, 11, 30, 'SEM SALDO', '2026-07-01', 1), "
            "('2026-07-10', NULL, 7, 11, 45, 'a', '2026-07-01', 1), "
            "('2026-07-10', NULL, 7, 11, 46, 'b', '2026-07-01', 1)");
        QCOMPARE(cli({"--dados", f, "migrar-servidor", serverUri()}), 0);
        QVERIFY(QDir(dir_.path()).mkpath("a") && QDir(dir_.path()).mkpath("b"));
        const QString onFolder = dir_.filePath("a/rem.txt"), onServer = dir_.filePath("b/rem.txt");
        // The second time the rows of the date are there to be edited.
        for (int round = 0; round < 2; ++round) {
            const QString got = remessa(serverUri(), onServer);
            QCOMPARE(QString(got).replace("/b/", "/a/"), remessa(f, onFolder));
            QVERIFY2(got.contains("Número da Remessa.........:" + QString::number(13 + round)),
                     qPrintable(got));
            QFile a(onFolder), b(onServer);
            QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
            const QByteArray bytes = b.readAll();
            QCOMPARE(bytes, a.readAll());
            QCOMPARE(bytes.count("\r\n"), 10);  // header, 8 debits sent, trailer
            QCOMPARE(serverRows("DEBITO", kDebito), folderRows(f, "DEBITO", kDebito));
            QCOMPARE(serverRows("RET_DEBITO", kRet), folderRows(f, "RET_DEBITO", kRet));
            QCOMPARE(serverRows("PARAMETROS", {"EMP_NR_REM_PREVI"}),
                     folderRows(f, "PARAMETROS", {"EMP_NR_REM_PREVI"}));
            // A RET_DEBITO row's number may be one the folder gives again, never the server.
            const QStringList undo{"TABELA", "OP",
                                   "CASE WHEN \"TABELA\" = 'RET_DEBITO' "
                                   "THEN 0 ELSE \"RID\" END"};
            QCOMPARE(serverRows("REMESSA_DESFAZER_LINHAS", undo),
                     mainRows(f, "REMESSA_DESFAZER_LINHAS", undo));
        }
        const QStringList serverLog = serverRows("HISTORICO", {"DETALHE"}),
                          folderLog = mainRows(f, "HISTORICO", {"DETALHE"});
        QCOMPARE(serverLog.filter("associado "), folderLog.filter("associado "));
        QCOMPARE(serverLog.filter("associado 1:").size(), 1);
        QCOMPARE(QStringList(serverLog.filter("remessa 1")).replaceInStrings("/b/", "/a/"),
                 folderLog.filter("remessa 1"));
        QVERIFY(leftovers(dir_.filePath("b")).isEmpty());

        // The undo puts back what the second remittance changed, then has nothing to undo.
        for (int round = 0; round < 2; ++round) {
            QString said[2], err[2];
            int code[2];
            for (int onServer = 0; onServer < 2; ++onServer)
                code[onServer] = cli({"--dados", onServer ? serverUri() : f, "desfazer-remessa"},
                                     &err[onServer], &said[onServer]);
            QCOMPARE(code[1], round);
            QCOMPARE(code[0], round);
            QCOMPARE(said[1].replace("/b/", "/a/"), said[0]);
            QCOMPARE(err[1], err[0]);
            QCOMPARE(serverRows("DEBITO", kDebito), folderRows(f, "DEBITO", kDebito));
            QCOMPARE(serverRows("RET_DEBITO", kRet), folderRows(f, "RET_DEBITO", kRet));
            QCOMPARE(serverRows("PARAMETROS", {"EMP_NR_REM_PREVI"}),
                     folderRows(f, "PARAMETROS", {"EMP_NR_REM_PREVI"}));
        }
        QVERIFY(QFile::exists(onServer + ".desfeita"));
    }

    void refusedOrWaitingChangesNothing()
    {
        const QString f = folder();
        QVERIFY(!f.isEmpty());
        QCOMPARE(cli({"--dados", f, "migrar-servidor", serverUri()}), 0);
        const QString file = dir_.filePath("r.txt");
        const QString before = serverState();

        // Codes missing: refused, nothing changed, no file.
        c_->exec("UPDATE tolmare.\"PARAMETROS\" SET \"EMP_COD_INT_PREVI\" = NULL");
        QString got = remessa(serverUri(), file);
        QVERIFY2(got.startsWith("exit 1") && got.contains("códigos PREVI")
                     && got.contains("nenhuma tabela foi alterada"),
                 qPrintable(got));
        c_->exec("UPDATE tolmare.\"PARAMETROS\" SET \"EMP_COD_INT_PREVI\" = '25'");
        QCOMPARE(serverState(), before);
        QVERIFY(!QFile::exists(file) && leftovers(dir_.path()).isEmpty());

        // A debit under another computer's edit: busy within the wait, nothing changed.
        pg::Connection other(serverUri().toStdString());
        other.exec("BEGIN");
        other.exec("UPDATE tolmare.\"DEBITO\" SET \"DEB_VALOR\" = 99 WHERE \"DEB_ASS_ID\" = 1");
        QElapsedTimer t;
        t.start();
        got = remessa(serverUri(), file);
        QVERIFY2(got.startsWith("exit 1") && got.contains("em uso por outro programa"),
                 qPrintable(got));
        QVERIFY(t.elapsed() < 15000);
        other.exec("ROLLBACK");
        QCOMPARE(serverState(), before);
        QVERIFY(!QFile::exists(file) && leftovers(dir_.path()).isEmpty());

        // Held at the company's row, the remittance has its tables: members stay open to
        // another computer, debits wait.
        other.exec("BEGIN");
        other.exec("SELECT 1 FROM tolmare.\"PARAMETROS\" FOR UPDATE");
        QProcess p;
        p.start(QCoreApplication::applicationDirPath() + "/tolmare-cli",
                {"--dados", serverUri(), "remessa", "--data", "10/07/2026", "--arquivo", file});
        QVERIFY(p.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(one("SELECT count(*) FROM pg_stat_activity WHERE "
                                      "wait_event_type = 'Lock' AND query LIKE '%FOR UPDATE'"),
                                  std::string("1"), 4000);
        pg::Connection third(serverUri().toStdString(), pg::Options{500, 10});
        third.exec(
            "UPDATE tolmare.\"ASSOCIADOS\" SET \"ASS_NOME\" = 'NOVO NOME' WHERE "
            "\"ASS_ID\" = 1");
        third.exec("INSERT INTO tolmare.\"ASSOCIADOS\" (\"ASS_NOME\") VALUES ('NOVO')");
        try {
            third.exec(
                "INSERT INTO tolmare.\"DEBITO\" (\"DEB_DATA\", \"DEB_ASS_ID\", "
                "\"DEB_VALOR\", \"DEB_DTA_CAD\", \"DEB_USR_ID\") VALUES ('2026-07-10', 9, "
                "1, '2026-07-01', 1)");
            QFAIL("a debit was added while the remittance ran");
        } catch (const pg::PgError& e) {
            QCOMPARE(int(e.kind()), int(pg::ErrorKind::Busy));
        }
        other.exec("ROLLBACK");
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(one("SELECT \"EMP_NR_REM_PREVI\" FROM tolmare.\"PARAMETROS\""), std::string("13"));

        // Its connection lost at that point: the server, asked again, says nothing was recorded,
        // and the file goes with its record.
        const QString held = serverState();
        other.exec("BEGIN");
        other.exec("SELECT 1 FROM tolmare.\"PARAMETROS\" FOR UPDATE");
        QProcess lost;
        lost.start(QCoreApplication::applicationDirPath() + "/tolmare-cli",
                   {"--dados", serverUri(), "remessa", "--data", "10/07/2026", "--arquivo",
                    dir_.filePath("lost.txt")});
        QVERIFY(lost.waitForStarted());
        const std::string waiting =
            "SELECT pid FROM pg_stat_activity WHERE wait_event_type = "
            "'Lock' AND query LIKE '%FOR UPDATE'";
        QTRY_COMPARE_WITH_TIMEOUT(c_->exec(waiting).rows(), 1, 4000);
        c_->exec("SELECT pg_terminate_backend(" + c_->exec(waiting).text(0, 0) + ")");
        QVERIFY(lost.waitForFinished(20000));
        other.exec("ROLLBACK");
        QCOMPARE(lost.exitCode(), 1);
        const QString said = lost.readAllStandardError();
        QVERIFY2(said.contains("perdida no meio da remessa") && said.contains("nenhum arquivo"),
                 qPrintable(said));
        QCOMPARE(serverState(), held);
        QVERIFY(!QFile::exists(dir_.filePath("lost.txt")) && leftovers(dir_.path()).isEmpty());
        QCOMPARE(one("SELECT count(*) FROM tolmare.tolmare_arquivo_pendente"), std::string("0"));

        // Lost at its commit, once the server has committed: the commit is held waiting for a
        // standby that never comes (every other write it waits for is let go), then the
        // connection ends. The server, asked again, says it was recorded: the file is put in
        // place and the summary shown.
        holdCommits(*c_, true);
        lost.start(QCoreApplication::applicationDirPath() + "/tolmare-cli",
                   {"--dados", serverUri(), "remessa", "--data", "10/07/2026", "--arquivo",
                    dir_.filePath("lost.txt")});
        QVERIFY(lost.waitForStarted());
        const bool ended = endAtCommit(*c_);
        holdCommits(*c_, false);
        QVERIFY(ended);
        QVERIFY(lost.waitForFinished(20000));
        const QString atCommit = lost.readAllStandardOutput() + lost.readAllStandardError();
        QVERIFY2(lost.exitCode() == 0 && atCommit.contains("Número da Remessa.........:14"),
                 qPrintable(atCommit));
        QCOMPARE(one("SELECT \"EMP_NR_REM_PREVI\" FROM tolmare.\"PARAMETROS\""), std::string("14"));
        QCOMPARE(QFileInfo(dir_.filePath("lost.txt")).size(), QFileInfo(file).size());
        QVERIFY(leftovers(dir_.path()).isEmpty());
        QCOMPARE(one("SELECT count(*) FROM tolmare.tolmare_arquivo_pendente"), std::string("0"));

        // Two at once: distinct numbers, two whole files.
        QProcess first, second;
        for (QProcess* q : {&first, &second})
            q->start(QCoreApplication::applicationDirPath() + "/tolmare-cli",
                     {"--dados", serverUri(), "remessa", "--data", "10/07/2026", "--arquivo",
                      dir_.filePath(q == &first ? "x.txt" : "y.txt")});
        QVERIFY(first.waitForFinished(20000) && second.waitForFinished(20000));
        QCOMPARE(first.exitCode() + second.exitCode(), 0);
        QStringList numbers;
        for (QProcess* q : {&first, &second})
            numbers << QString(q->readAllStandardOutput()).section("Remessa.........:", 1).left(2);
        numbers.sort();
        QCOMPARE(numbers, QStringList({"15", "16"}));
        QCOMPARE(QFileInfo(dir_.filePath("x.txt")).size(), QFileInfo(file).size());
        QCOMPARE(QFileInfo(dir_.filePath("y.txt")).size(), QFileInfo(file).size());
    }

    // A debit the remittance re-dated and changed since, or a return come for it, keeps the undo
    // from changing anything.
    void undoRefusedChangesNothing()
    {
        const QString f = folder();
        QVERIFY(!f.isEmpty());
        sql(f, "DEBITO", "UPDATE DEBITO SET DEB_DATA = '2026-06-10' WHERE DEB_ASS_ID = 2");
        QCOMPARE(cli({"--dados", f, "migrar-servidor", serverUri()}), 0);
        const QString file = dir_.filePath("u.txt");
        QVERIFY(!remessa(serverUri(), file).startsWith("exit"));
        const QString done = serverState();
        const std::string changeValue =
            "UPDATE tolmare.\"DEBITO\" SET \"DEB_VALOR\" = \"DEB_VALOR\" + $1::numeric WHERE "
            "\"DEB_ASS_ID\" = 2";
        c_->exec(changeValue, {"1"});
        const QString changed = serverState();
        QString err;
        QCOMPARE(cli({"--dados", serverUri(), "desfazer-remessa"}, &err), 1);
        QVERIFY2(
            err.contains("foi alterado ou excluído depois") && err.contains("Nada foi alterado"),
            qPrintable(err));
        QCOMPARE(serverState(), changed);
        c_->exec(changeValue, {"-1"});
        c_->exec(
            "UPDATE tolmare.\"RET_DEBITO\" SET \"DEB_DATA_RETORNO\" = '2026-07-20' WHERE "
            "\"DEB_ASS_ID\" = 4");
        QCOMPARE(cli({"--dados", serverUri(), "desfazer-remessa"}, &err), 1);
        QVERIFY2(err.contains("já foi importado um retorno para ela (07/2026)"), qPrintable(err));
        QVERIFY(QFile::exists(file));
        c_->exec("UPDATE tolmare.\"RET_DEBITO\" SET \"DEB_DATA_RETORNO\" = NULL");
        QCOMPARE(serverState(), done);
        // Lost at its commit, once the server has committed: the server, asked again, says it
        // was recorded, and the file is renamed.
        holdCommits(*c_, true);
        QProcess p;
        p.start(QCoreApplication::applicationDirPath() + "/tolmare-cli",
                {"--dados", serverUri(), "desfazer-remessa"});
        QVERIFY(p.waitForStarted());
        const bool ended = endAtCommit(*c_);
        holdCommits(*c_, false);
        QVERIFY(ended && p.waitForFinished(20000));
        QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
        QVERIFY(QFile::exists(file + ".desfeita"));
        QCOMPARE(cli({"--dados", serverUri(), "desfazer-remessa"}, &err), 1);  // nothing left
    }

    // The client killed at any instant of a remittance: the server holds all before or all
    // after, a file only with the after, and the next remittance leaves no file half-way.
    void killedRemittanceLeavesAllOrNothing()
    {
        const QString f = folder(10000);
        QVERIFY(!f.isEmpty());
        QCOMPARE(cli({"--dados", f, "migrar-servidor", serverUri()}), 0);
        const QString before = serverState();
        const QString out = dir_.filePath("k");
        QVERIFY(QDir().mkpath(out));
        QElapsedTimer t;
        t.start();
        QVERIFY(!remessa(serverUri(), out + "/rem.txt").startsWith("exit"));
        const int took = int(t.elapsed());
        const QString after = serverState();
        const qint64 size = QFileInfo(out + "/rem.txt").size();
        QVERIFY(after != before && size > 10000 * 51);
        int kept = 0, done = 0;
        for (int round = 0; round < 6; ++round) {
            QCOMPARE(cli({"--dados", f, "migrar-servidor", serverUri(), "--substituir"}), 0);
            const long long logBefore = logged("remessa 13 %");
            QFile::remove(out + "/rem.txt");
            QProcess p;
            p.start(QCoreApplication::applicationDirPath() + "/tolmare-cli",
                    {"--dados", serverUri(), "remessa", "--data", "10/07/2026", "--arquivo",
                     out + "/rem.txt", "--hoje", "05/07/2026"});
            QVERIFY(p.waitForStarted());
            QThread::msleep(QRandomGenerator::global()->bounded(took + took / 4));
            p.kill();
            p.waitForFinished();
            const QString now = serverState();
            const long long log = logged("remessa 13 %");
            const bool committed = now == after && log == logBefore + 1;
            if (!committed && (now != before || log != logBefore))
                QFAIL(qPrintable(QString("round %1: neither before nor after (log %2 of %3; %4)")
                                     .arg(round)
                                     .arg(log)
                                     .arg(logBefore)
                                     .arg(now == before  ? "tables before"
                                          : now == after ? "tables after"
                                                         : "tables neither")));
            ++(committed ? done : kept);
            // The next remittance finishes the file: in place with the after, gone with the
            // before, and no temporary file left.
            QVERIFY(!remessa(serverUri(), out + "/next.txt").startsWith("exit"));
            QCOMPARE(QFile::exists(out + "/rem.txt"), committed);
            if (committed) QCOMPARE(QFileInfo(out + "/rem.txt").size(), size);
            QCOMPARE(leftovers(out), QStringList());
        }
        qInfo("%d kill(s) before the commit, %d after; a remittance took %d ms", kept, done, took);
    }

    // The client killed at any instant of an undo: the remittance stays whole or is all undone,
    // and the undone file gets its new name by the next run at the latest.
    void killedUndoLeavesAllOrNothing()
    {
        const QString f = folder(5000);
        QVERIFY(!f.isEmpty());
        QCOMPARE(cli({"--dados", f, "migrar-servidor", serverUri()}), 0);
        const QString before = serverState(), file = dir_.filePath("undo.txt");
        QVERIFY(!remessa(serverUri(), file).startsWith("exit"));
        const QString generated = serverState();
        QElapsedTimer t;
        t.start();
        QCOMPARE(cli({"--dados", serverUri(), "desfazer-remessa"}), 0);
        const int took = int(t.elapsed());
        QCOMPARE(serverState(), before);
        int kept = 0, done = 0;
        for (int round = 0; round < 5; ++round) {
            QFile::remove(file + ".desfeita");
            QVERIFY(!remessa(serverUri(), file).startsWith("exit"));
            QProcess p;
            p.start(QCoreApplication::applicationDirPath() + "/tolmare-cli",
                    {"--dados", serverUri(), "desfazer-remessa"});
            QVERIFY(p.waitForStarted());
            QThread::msleep(QRandomGenerator::global()->bounded(took + took / 4));
            p.kill();
            p.waitForFinished();
            const QString now = serverState();
            if (now == generated) {
                ++kept;
                QCOMPARE(cli({"--dados", serverUri(), "desfazer-remessa"}), 0);
            } else {
                QVERIFY2(now == before, qPrintable(QString("round %1: neither").arg(round)));
                ++done;
                QCOMPARE(cli({"--dados", serverUri(), "desfazer-remessa"}), 1);  // nothing left
            }
            QCOMPARE(serverState(), before);
            QVERIFY(!QFile::exists(file) && QFile::exists(file + ".desfeita"));
        }
        qInfo("%d kill(s) before the commit, %d after; an undo took %d ms", kept, done, took);
    }
};

QTEST_GUILESS_MAIN(TstServerRemittance)
#include "tst_serverremittance.moc"

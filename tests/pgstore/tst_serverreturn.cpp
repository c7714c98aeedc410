// The return import on a real PostgreSQL server, through tolmare-cli, against the same import
// on the data folder the server was migrated from: the same members found (enrolment number,
// account and name, exact before prefix, in account order), the same rows changed, the same
// summary; a file imported once is refused; a client killed at any instant leaves all before
// or all after; a table held by another computer is said busy.
#include "core/Cp1252.h"
#include "core/pgstore/PgConnection.h"
#include "tests/pgstore/ServerCli.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

namespace {

// A line of PREVI's return file: number (15), name (45), reason (30), in Windows-1252.
QByteArray returnLine(const QByteArray& number, const QString& name, const QString& reason = {})
{
    return number.rightJustified(15, ' ', true) + cp1252::encode(name.leftJustified(45, ' ', true))
           + cp1252::encode(reason.leftJustified(30, ' ', true));
}

// RET_DEBITO's rows as texts, numbers written alike whichever store gave them, sorted.
QStringList normalized(QList<QStringList> rows)
{
    QStringList out;
    for (QStringList& r : rows) {
        for (int i : {2, 3, 4, 7})
            if (!r[i].isEmpty()) r[i] = QString::number(r[i].toDouble());
        out << r.join('|');
    }
    out.sort();
    return out;
}

const char* const kColumns =
    "DEB_DATA, DEB_DATA_RETORNO, DEB_ASS_ID, DEB_REMESSA, DEB_VALOR, "
    "DEB_OCORRENCIA, DEB_DTA_CAD, DEB_USR_ID";

QStringList folderRows(const QString& folder)
{
    QList<QStringList> rows;
    sqlite3* db = nullptr;
    sqlite3_open_v2(QDir(folder).filePath("RET_DEBITO.DB").toUtf8(), &db, SQLITE_OPEN_READONLY,
                    nullptr);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, QByteArray("SELECT ") + kColumns + " FROM RET_DEBITO", -1, &s, nullptr);
    while (s && sqlite3_step(s) == SQLITE_ROW) {
        QStringList row;
        for (int i = 0; i < 8; ++i)
            row << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, i)));
        rows << row;
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    return normalized(rows);
}

}  // namespace

class TstServerReturn : public QObject {
    Q_OBJECT
    std::unique_ptr<pg::Connection> c_;
    QTemporaryDir dir_;
    int n_ = 0;

    QStringList serverRows()
    {
        QString cols = QString(kColumns).replace(QRegularExpression("(\\w+)"), "\"\\1\"");
        const pg::Result r =
            c_->exec("SELECT " + cols.toStdString() + " FROM tolmare.\"RET_DEBITO\"");
        QList<QStringList> rows;
        for (int i = 0; i < r.rows(); ++i) {
            QStringList row;
            for (int j = 0; j < 8; ++j) row << QString::fromStdString(r.text(i, j));
            rows << row;
        }
        return normalized(rows);
    }
    long long logLines()
    {
        return std::stoll(c_->exec("SELECT count(*) FROM tolmare.\"HISTORICO\" WHERE "
                                   "\"OPERACAO\" = 'Retorno'")
                              .text(0, 0));
    }
    // The demonstration's folder after the July remittance, with `extra` members more (each with
    // its July row), a member whose row is gone, a row repeated for a date and member, a row of
    // an earlier date in the month, one of another month, and accounts and names that share
    // beginnings.
    QString july(int extra = 0)
    {
        const QString f = dir_.filePath("d" + QString::number(++n_));
        if (cli({"--dados", f, "--criar-pasta", "demonstracao"}) != 0
            || cli({"--dados", f, "remessa", "--data", "10/07/2026", "--arquivo", f + "/rem.txt",
                    "--hoje", "05/07/2026"})
                   != 0)
            return {};
        sql(f, "ASSOCIADOS",
            "INSERT INTO ASSOCIADOS (ASS_NOME, ASS_CONTA_CORRENTE, ASS_MATRICULA) VALUES "
            "('ANA MARIA DE SOUZA', '00001-1', '0.77-1'), ('ÁGUEDA', '10234-7', NULL), "
            "('BENEDITO', NULL, '1020311')");
        if (extra > 0)
            sql(f, "ASSOCIADOS",
                QString("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE "
                        "i < %1) INSERT INTO ASSOCIADOS (ASS_NOME, ASS_CONTA_CORRENTE, "
                        "ASS_MATRICULA) SELECT 'SÓCIO ' || i, '9' || i, '5' || i FROM n")
                    .arg(extra));
        sql(f, "RET_DEBITO",
            "ATTACH '" + f + "/ASSOCIADOS.DB' AS ASSOCIADOS; "
            "INSERT INTO RET_DEBITO (DEB_DATA, DEB_DATA_RETORNO, DEB_ASS_ID, DEB_REMESSA, "
            "DEB_VALOR, DEB_OCORRENCIA, DEB_DTA_CAD, DEB_USR_ID) VALUES "
            "('2026-07-10', NULL, 2, 12, 45, 'repetida', '2026-07-01', 1), "
            "('2026-07-05', '2026-06-30', 3, 11, 30, 'antes', '2026-07-01', 1), "
            "('2026-06-10', NULL, 2, 12, 45, 'junho', '2026-07-01', 1); "
            "DELETE FROM RET_DEBITO WHERE DEB_ASS_ID = 5; "
            "INSERT INTO RET_DEBITO (DEB_DATA, DEB_ASS_ID, DEB_REMESSA, DEB_VALOR, "
            "DEB_OCORRENCIA, DEB_DTA_CAD, DEB_USR_ID) SELECT '2026-07-10', ASS_ID, 13, 20, "
            "'Aguardando Retorno', '2026-07-05', 1 FROM ASSOCIADOS.ASSOCIADOS WHERE ASS_ID > 11");
        return f;
    }
    QString returnFile(const QString& name, const QList<QByteArray>& lines)
    {
        const QString path = dir_.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(lines.join("\r\n") + "\r\n") < 0)
            return {};
        return path;
    }
    QStringList importOn(const QString& store, const QString& file, int expected,
                         const QStringList& more = {})
    {
        QString out, err;
        const int code = cli(QStringList{"--dados", store, "retorno", "--arquivo", file, "--mes",
                                         "07/2026", "--hoje", "15/07/2026"}
                                 + more,
                             &err, &out);
        if (code != expected) qWarning("exit %d: %s", code, qPrintable(err));
        return (code == expected ? out : QString("exit %1").arg(code)).split('\n');
    }

private slots:
    void initTestCase() { connectToServer(c_); }
    void init() { c_->exec("DROP SCHEMA IF EXISTS tolmare CASCADE"); }

    void sameOutcomeAsTheFolder()
    {
        const QString folder = july();
        QVERIFY(!folder.isEmpty());
        QCOMPARE(cli({"--dados", folder, "migrar-servidor", serverUri()}), 0);
        const QList<QByteArray> lines{
            returnLine("1020304", "ANA MARIA DE SOUZA"),                  // enrolment number
            returnLine("999", "ANA MARIA DE SOUZA", "SEM SALDO"),         // name of two members
            returnLine("102031", "X", "SALDO INSUFICIENTE"),              // enrolment prefix, two
            returnLine("30551", "X", "CONTA ENCERRADA"),                  // account prefix
            returnLine("10234", "X", "CONTA"),                            // account prefix, two
            returnLine("998", "clara dos santos lima", "Ação judicial"),  // name, upper-cased
            returnLine("997", "GERALDA", "Y"),                            // name prefix
            returnLine("996", "NINGUÉM", "Z"),                            // nobody
            returnLine("000000000000077", "X", "zeros"),                  // enrolment 0.77-1
            returnLine("1020304", "ANA", "O ÚLTIMO MOTIVO"),              // the member's last line
            returnLine("2030416", "ELISA", ""),                           // no row in the month
            "   12abc  não é linha de associado",
            returnLine("80219", "HELENA", "")};
        const QString onFolder = returnFile("a.txt", lines), onServer = returnFile("b.txt", lines);
        QStringList summary = importOn(serverUri(), onServer, 0);
        QStringList expected = importOn(folder, onFolder, 0);
        QCOMPARE(summary.replaceInStrings("b.txt", "?.txt").replaceInStrings("Retorno_b", "R"),
                 expected.replaceInStrings("a.txt", "?.txt").replaceInStrings("Retorno_a", "R"));
        QVERIFY2(summary.contains("     MOTIVO: Ação judicial                 "),
                 qPrintable(summary.join('\n')));
        QCOMPARE(serverRows(), folderRows(folder));
        QVERIFY(!QFile::exists(onServer));
        QCOMPARE(logLines(), 1LL);

        // The same content again is refused, unless imported again on purpose.
        QVERIFY(QFile::copy(dir_.filePath("Retorno_b_7-2026.imp"), onServer));
        QString err;
        QCOMPARE(cli({"--dados", serverUri(), "retorno", "--arquivo", onServer, "--mes", "07/2026"},
                     &err),
                 1);
        QVERIFY2(err.contains("já foi importado em") && err.contains("para 07/2026"),
                 qPrintable(err));
        QCOMPARE(importOn(serverUri(), onServer, 0, {"--reimportar"}).size(), summary.size() - 1);
        QCOMPARE(serverRows(), folderRows(folder));
        QCOMPARE(c_->exec("SELECT count(*) FILTER (WHERE \"DESFEITO\" IS NULL), count(*) FROM "
                          "tolmare.\"RETORNOS_IMPORTADOS\"")
                     .text(0, 1),
                 std::string("2"));
    }

    // Members and lines drawn at random around shared beginnings, accents, case, blanks and
    // empty fields: both stores find the same members and change the same rows.
    void randomFilesMatchTheFolder()
    {
        const quint32 seed = QRandomGenerator::global()->generate();
        qInfo("seed %u", seed);
        QRandomGenerator r(seed);
        auto pick = [&](const QStringList& from) { return from[int(r.bounded(from.size()))]; };
        auto digits = [&](int most) {
            QString d;
            for (int i = 0, n = 1 + int(r.bounded(most)); i < n; ++i)
                d += QChar('0' + r.bounded(4));
            return d;
        };
        const QStringList words{"ANA", "ANDRÉ", "ÁGUA", "Ana", "JOSÉ", "JOSE", "MARIA", "MÁRIA"};
        QStringList members, numbers, names;
        for (int i = 0; i < 300; ++i) {
            const QString m =
                pick({"", digits(7), "0" + digits(5), digits(3) + "." + digits(3) + "-" + digits(1),
                      " " + digits(4) + " "});
            const QString a = pick({"", digits(5), digits(5) + "-" + digits(1)});
            const QString n = pick(words) + (r.bounded(2) ? " " + pick(words) : QString());
            members << QString("('%1', %2, %3)")
                           .arg(n, a.isEmpty() ? "NULL" : "'" + a + "'",
                                m.isEmpty() ? "NULL" : "'" + m + "'");
            QString sent = m;
            sent.remove(QRegularExpression("[^0-9]"));
            if (!sent.isEmpty()) numbers << sent.left(1 + int(r.bounded(sent.size())));
            if (!a.isEmpty()) numbers << QString(a).remove('-').left(1 + int(r.bounded(5)));
            names << n.left(1 + int(r.bounded(n.size())));
        }
        const QString folder = july();
        QVERIFY(!folder.isEmpty());
        sql(folder, "ASSOCIADOS",
            "INSERT INTO ASSOCIADOS (ASS_NOME, ASS_CONTA_CORRENTE, ASS_MATRICULA) VALUES "
                + members.join(", "));
        sql(folder, "RET_DEBITO",
            "ATTACH '" + folder + "/ASSOCIADOS.DB' AS ASSOCIADOS; INSERT INTO RET_DEBITO "
            "(DEB_DATA, DEB_ASS_ID, DEB_REMESSA, DEB_VALOR, DEB_OCORRENCIA, DEB_DTA_CAD, "
            "DEB_USR_ID) SELECT CASE WHEN ASS_ID % 5 = 0 THEN '2026-07-05' ELSE '2026-07-10' END, "
            "ASS_ID, 13, ASS_ID % 7, 'Aguardando Retorno', '2026-07-05', 1 FROM "
            "ASSOCIADOS.ASSOCIADOS WHERE ASS_ID > 11 AND ASS_ID % 4 <> 0");
        QCOMPARE(cli({"--dados", folder, "migrar-servidor", serverUri()}), 0);
        QList<QByteArray> lines;
        for (int i = 0; i < 400; ++i)
            lines << returnLine(r.bounded(8) ? pick(numbers).toLatin1() : digits(6).toLatin1(),
                                r.bounded(2) ? pick(names).toLower() : pick(names),
                                pick({"", "SALDO INSUFICIENTE", "CONTA ENCERRADA"}));
        QStringList summary = importOn(serverUri(), returnFile("b.txt", lines), 0);
        QStringList expected = importOn(folder, returnFile("a.txt", lines), 0);
        QCOMPARE(summary.replaceInStrings("b.txt", "?.txt").replaceInStrings("Retorno_b", "R"),
                 expected.replaceInStrings("a.txt", "?.txt").replaceInStrings("Retorno_a", "R"));
        QCOMPARE(serverRows(), folderRows(folder));
    }

    // A file that is no return file, or a table another computer holds: exit 1 with the reason,
    // nothing changed, the file under its name.
    void refusedImportChangesNothing()
    {
        const QString folder = july();
        QCOMPARE(cli({"--dados", folder, "migrar-servidor", serverUri()}), 0);
        const QStringList before = serverRows();
        const QString digits = returnFile("digitos.txt", {"123456789012345678901234567890"});
        QString err;
        QCOMPARE(
            cli({"--dados", serverUri(), "retorno", "--arquivo", digits, "--mes", "07/2026"}, &err),
            1);
        QVERIFY2(err.contains("não é um arquivo de retorno"), qPrintable(err));

        const QString file = returnFile("r.txt", {returnLine("1020304", "ANA")});
        pg::Connection other(serverUri().toStdString());
        other.exec("BEGIN");
        other.exec("LOCK TABLE tolmare.\"RET_DEBITO\" IN ROW EXCLUSIVE MODE");
        QElapsedTimer t;
        t.start();
        QCOMPARE(
            cli({"--dados", serverUri(), "retorno", "--arquivo", file, "--mes", "07/2026"}, &err),
            1);
        other.exec("ROLLBACK");
        QVERIFY2(err.contains("em uso em outro computador")
                     && err.contains("Nada foi importado e o arquivo manteve o nome."),
                 qPrintable(err));
        QVERIFY2(t.elapsed() < 30000, qPrintable(err));
        QVERIFY(QFile::exists(file) && QFile::exists(digits));
        QCOMPARE(serverRows(), before);
        QCOMPARE(logLines(), 0LL);

        // Two computers importing the same content at once: one imports, the other is told.
        QVERIFY(QFile::copy(file, file + ".2"));
        QProcess first, second;
        const QStringList args{"retorno", "--mes", "07/2026", "--dados", serverUri(), "--arquivo"};
        first.start(QCoreApplication::applicationDirPath() + "/tolmare-cli",
                    args + QStringList{file});
        second.start(QCoreApplication::applicationDirPath() + "/tolmare-cli",
                     args + QStringList{file + ".2"});
        QVERIFY(first.waitForFinished(30000) && second.waitForFinished(30000));
        QCOMPARE(QList<int>({first.exitCode(), second.exitCode()}).count(0), 1);
        QVERIFY((first.exitCode() ? first : second)
                    .readAllStandardError()
                    .contains("já foi importado"));
        QCOMPARE(logLines(), 1LL);

        // Lost at its commit, once the server has committed: the server, asked again, says it
        // was imported; the summary is shown and the file renamed.
        const QString late = returnFile("tarde.txt", {returnLine("80219", "HELENA", "TARDE")});
        holdCommits(*c_, true);
        QProcess p;
        p.start(QCoreApplication::applicationDirPath() + "/tolmare-cli", args + QStringList{late});
        QVERIFY(p.waitForStarted());
        const bool ended = endAtCommit(*c_);
        holdCommits(*c_, false);
        QVERIFY(ended && p.waitForFinished(20000));
        QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
        QVERIFY(!QFile::exists(late));
        QCOMPARE(logLines(), 2LL);
    }

    // The client killed at any instant of an import: the server holds all before or all after
    // (rows and log line), and importing again gives the whole outcome.
    void killedImportLeavesAllOrNothing()
    {
        const QString folder = july(10000);
        QVERIFY(!folder.isEmpty());
        QList<QByteArray> lines;
        for (int i = 1; i <= 10000; ++i)
            lines << returnLine("5" + QByteArray::number(i), "SÓCIO", i % 7 ? "" : "SEM SALDO");
        const QString original = returnFile("grande.txt", lines);
        const QString file = dir_.filePath("grande-copia.txt");
        QCOMPARE(cli({"--dados", folder, "migrar-servidor", serverUri()}), 0);
        const QStringList before = serverRows();
        QVERIFY(QFile::copy(original, file));
        QElapsedTimer t;
        t.start();
        importOn(serverUri(), file, 0);
        const int took = int(t.elapsed());
        const QStringList after = serverRows();
        QVERIFY(after != before);
        int kept = 0, done = 0;
        for (int round = 0; round < 6; ++round) {
            QCOMPARE(cli({"--dados", folder, "migrar-servidor", serverUri(), "--substituir"}), 0);
            QFile::remove(file);
            QVERIFY(QFile::copy(original, file));
            const long long logBefore = logLines();  // the log is kept across migrations
            QProcess p;
            p.start(QCoreApplication::applicationDirPath() + "/tolmare-cli",
                    {"--dados", serverUri(), "retorno", "--arquivo", file, "--mes", "07/2026",
                     "--hoje", "15/07/2026"});
            QVERIFY(p.waitForStarted());
            QThread::msleep(QRandomGenerator::global()->bounded(took + took / 4));
            p.kill();
            p.waitForFinished();
            const QStringList now = serverRows();
            const long long logged = logLines();
            if (now == before && logged == logBefore)
                ++kept;
            else if (now == after && logged == logBefore + 1)
                ++done;
            else
                QFAIL(qPrintable(QString("round %1: neither before nor after").arg(round)));
            if (!QFile::exists(file)) QVERIFY(QFile::copy(original, file));
            importOn(serverUri(), file, 0, {"--reimportar"});
            QCOMPARE(serverRows(), after);
        }
        qInfo("%d kill(s) before the commit, %d after; an import took %d ms", kept, done, took);
    }
};

QTEST_GUILESS_MAIN(TstServerReturn)
#include "tst_serverreturn.moc"

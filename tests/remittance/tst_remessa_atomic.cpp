// The remittance against stops, a second process, a full disk and bad arguments: the file at
// its path and the tables always agree, all before or all after.
#include "core/Historico.h"
#include "core/UVariaveis.h"
#include "core/engine/Connection.h"
#include "core/engine/Database.h"
#include "core/engine/EngineConfig.h"
#include "core/engine/Query.h"
#include "core/engine/SqlValue.h"
#include "remittance/ArquivoPendente.h"
#include "remittance/GerarRemessa.h"
#include "tests/common/TestData.h"
#include "tests/remittance/RemessaFixtures.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sqlite3.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

const QDate kDebitDate(2026, 7, 10);
const QString kName = "ARQ_PREVI_000040.txt";
const QByteArray kEarlier = "remessa anterior\r\n";

// `members` members with enrolment numbers, and `debits` debits spread over them; every
// fifth member also has a debit of an earlier month.
void fillMonth(int members, int debits)
{
    parametros(40);
    db::Query::execute("Tolmare",
                       QString("INSERT INTO ASSOCIADOS (ASS_NOME, ASS_GRP_ID, ASS_MATRICULA) "
                               "SELECT 'Associado ' || n, 1, '12.' || n || '-7' FROM (WITH "
                               "RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c "
                               "WHERE n < %1) SELECT n FROM c)").arg(members));
    db::Query::execute("Tolmare",
                       QString("INSERT INTO DEBITO (DEB_DATA, DEB_ASS_ID, DEB_VALOR, "
                               "DEB_DTA_CAD, DEB_USR_ID) SELECT CASE WHEN n %% 5 = 0 AND n <= "
                               "%1 THEN '2026-06-10' ELSE '2026-07-10' END, 1 + n %% %1, "
                               "10 + n / 100.0, '2026-07-01', 1 FROM (WITH RECURSIVE c(n) AS "
                               "(SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < %2) "
                               "SELECT n FROM c)").arg(members).arg(debits).replace("%%", "%"));
    db::Session::instance().reset();
}

// Copies the table files of `from` into a new folder `to`, with an earlier remittance file.
void copyFolder(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    for (const QString& f : QDir(from).entryList({"*.DB"}, QDir::Files))
        QFile::copy(QDir(from).filePath(f), QDir(to).filePath(f));
    QFile earlier(QDir(to).filePath(kName));
    earlier.open(QIODevice::WriteOnly);
    earlier.write(kEarlier);
}

// Points the alias at `folder` and runs what the next generation runs first.
void startOn(const QString& folder)
{
    db::EngineConfig::overrideAlias("Tolmare", folder);
    db::Session::instance().reset();
    db::Connection& c = db::Session::instance().connectionFor("Tolmare");
    QCOMPARE(remessa::concluirPendentes(c), QStringList());
}

struct State {
    double number;
    QStringList debito, retDebito, files;
    QByteArray file;
    bool operator==(const State& o) const
    {
        return number == o.number && debito == o.debito && retDebito == o.retDebito
               && files == o.files && file == o.file;
    }
};

State stateOf(const QString& folder)
{
    return {remittanceNumber(),
            rowsOf("DEBITO.DB", {"DEB_DATA", "DEB_ASS_ID", "DEB_VALOR"}),
            rowsOf("RET_DEBITO.DB", {"DEB_DATA", "DEB_DATA_RETORNO", "DEB_ASS_ID", "DEB_REMESSA",
                                     "DEB_VALOR", "DEB_OCORRENCIA", "DEB_USR_ID"}),
            QDir(folder).entryList({"ARQ_PREVI_*"}, QDir::Files | QDir::Hidden),
            readAll(QDir(folder).filePath(kName))};
}

QStringList remessaArgs(const QString& folder)
{
    return {"remessa", "--data", "10/07/2026", "--arquivo", QDir(folder).filePath(kName),
            "--hoje", "05/07/2026"};
}

}  // namespace

class TestRemessaAtomic : public testdata::DataFolderTest {
    Q_OBJECT

private slots:
    void init()
    {
        freshFolder();
        UsuarioAtual = 1;
    }

    // Killed at random instants, a generation leaves, once the next start has finished what
    // it left, either every table and the earlier file as they were, or everything done.
    void killsLeaveAllBeforeOrAllAfter()
    {
        fillMonth(1500, 4000);
        const QString model = folder_;
        const QString reference = dir_.filePath("reference");
        copyFolder(model, reference);
        startOn(reference);
        const State before = stateOf(reference);
        db::Session::instance().reset();
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(runCli(reference, remessaArgs(reference)), 0);
        const qint64 whole = std::max<qint64>(clock.elapsed(), 20);
        startOn(reference);
        const State after = stateOf(reference);
        QCOMPARE(after.number, 41.0);
        QCOMPARE(after.retDebito.size(), 1500);  // one row per member and date

        QRandomGenerator rng(20260710);
        int sawBefore = 0, sawAfter = 0;
        clock.restart();
        for (int i = 0; i < 60 && clock.elapsed() < 25000; ++i) {
            const QString folder = dir_.filePath(QString("kill%1").arg(i));
            copyFolder(model, folder);
            QProcess cli;
            cli.start(QCoreApplication::applicationDirPath() + "/tolmare-cli",
                      QStringList{"--dados", folder} + remessaArgs(folder));
            QVERIFY(cli.waitForStarted());
            // From the start-up to a while after a run like the reference one would end.
            QThread::msleep(whole / 5 + rng.bounded(int(whole * 13 / 10)));
            cli.kill();
            QVERIFY(cli.waitForFinished(10000));
            startOn(folder);
            const State seen = stateOf(folder);
            if (seen.number == before.number) {
                QVERIFY2(seen == before, qPrintable(QString("kill %1: partly changed").arg(i)));
                ++sawBefore;
            } else {
                QVERIFY2(seen == after, qPrintable(QString("kill %1: partly done").arg(i)));
                ++sawAfter;
            }
            db::Session::instance().reset();
            QDir(folder).removeRecursively();
        }
        // Every kill left one of the two; where the kills landed depends on the machine.
        qInfo("kills leaving all before: %d, all after: %d", sawBefore, sawAfter);
        QVERIFY(sawBefore + sawAfter > 0);
    }

    // Killed at random instants, a return import leaves RET_DEBITO, the record of imported
    // files and the operation log all as they were (and the file under its name), or all
    // done; the file is renamed only once its outcomes are committed.
    void importKillsLeaveAllBeforeOrAllAfter()
    {
        fillMonth(3000, 3000);
        const QString model = folder_;
        QCOMPARE(runCli(model, remessaArgs(model)), 0);
        db::Session::instance().reset();
        QByteArray lines;
        for (int n = 1; n <= 3000; ++n)
            lines += QString("%1%2%3\r\n").arg(QString("12%17").arg(n), 15, QLatin1Char('0'))
                         .arg(QString("Associado %1").arg(n), -45)
                         .arg(n % 3 ? QString("SALDO INSUFICIENTE") : QString(), -30).toLatin1();
        auto prepare = [&](const QString& folder) {
            QDir(folder).removeRecursively();
            QDir().mkpath(folder);
            for (const QString& f : QDir(model).entryList({"*.DB", ".tolmare-main"},
                                                          QDir::Files | QDir::Hidden))
                QFile::copy(QDir(model).filePath(f), QDir(folder).filePath(f));
            QFile ret(QDir(folder).filePath("RET.TXT"));
            return ret.open(QIODevice::WriteOnly) && ret.write(lines) == lines.size();
        };
        auto args = [](const QString& folder) {
            return QStringList{"--dados", folder, "retorno", "--arquivo",
                               QDir(folder).filePath("RET.TXT"), "--mes", "07/2026", "--hoje",
                               "03/08/2026"};
        };
        struct Imported {
            QStringList retDebito;
            int records = 0, logLines = 0;
            bool renamed = false;
            bool operator==(const Imported& o) const
            {
                return retDebito == o.retDebito && records == o.records && logLines == o.logLines;
            }
        };
        auto stateIn = [](const QString& folder) {
            db::EngineConfig::overrideAlias("Tolmare", folder);
            db::Session::instance().reset();
            Imported s;
            s.retDebito = rowsOf("RET_DEBITO.DB", {"DEB_DATA", "DEB_DATA_RETORNO", "DEB_ASS_ID",
                                                   "DEB_OCORRENCIA"});
            db::Connection c(folder);
            for (const historico::Linha& l : historico::ler(c)) s.logLines += l.operacao == "Retorno";
            auto count = [&](const char* sql) {
                db::StmtGuard st(db::prepare(c.handle(), sql));
                return sqlite3_step(st.get()) == SQLITE_ROW ? sqlite3_column_int(st.get(), 0) : -1;
            };
            if (count("SELECT count(*) FROM main.sqlite_master WHERE name = 'RETORNOS_IMPORTADOS'"))
                s.records = count("SELECT count(*) FROM main.RETORNOS_IMPORTADOS");
            s.renamed = !QFile::exists(QDir(folder).filePath("RET.TXT"));
            db::Session::instance().reset();
            return s;
        };
        const QString reference = dir_.filePath("importReference");
        QVERIFY(prepare(reference));
        const Imported before = stateIn(reference);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(runCli(reference, args(reference).mid(2)), 0);
        const qint64 whole = std::max<qint64>(clock.elapsed(), 20);
        const Imported after = stateIn(reference);
        QVERIFY(after.renamed);
        QCOMPARE(after.records, 1);
        QVERIFY(!(after == before));

        QRandomGenerator rng(20260803);
        int sawBefore = 0, sawAfter = 0;
        clock.restart();
        for (int i = 0; i < 60 && clock.elapsed() < 25000; ++i) {
            const QString folder = dir_.filePath(QString("ret%1").arg(i));
            QVERIFY(prepare(folder));
            QProcess cli;
            cli.start(QCoreApplication::applicationDirPath() + "/tolmare-cli", args(folder));
            QVERIFY(cli.waitForStarted());
            QThread::msleep(whole / 5 + rng.bounded(int(whole * 13 / 10)));
            cli.kill();
            QVERIFY(cli.waitForFinished(10000));
            const Imported seen = stateIn(folder);
            if (seen == before) {
                QVERIFY2(!seen.renamed, qPrintable(QString("kill %1: renamed, nothing imported").arg(i)));
                ++sawBefore;
            } else {
                QVERIFY2(seen == after, qPrintable(QString("kill %1: partly imported").arg(i)));
                ++sawAfter;
            }
            QDir(folder).removeRecursively();
        }
        qInfo("import kills leaving all before: %d, all after: %d", sawBefore, sawAfter);
        QVERIFY(sawBefore + sawAfter > 0);
    }

    // Two generations started 50 ms apart never send under one number: the second waits for
    // the first or is refused as busy, changing nothing.
    void twoAtOnceNeverShareANumber()
    {
        fillMonth(1500, 4000);
        QProcess first, second;
        const QString exe = QCoreApplication::applicationDirPath() + "/tolmare-cli";
        const QString other = QDir(folder_).filePath("ARQ_PREVI_000041.txt");
        first.start(exe, QStringList{"--dados", folder_} + remessaArgs(folder_));
        QThread::msleep(50);
        second.start(exe, {"--dados", folder_, "remessa", "--data", "10/07/2026", "--arquivo",
                           other, "--hoje", "05/07/2026"});
        QVERIFY(first.waitForFinished(60000));
        QVERIFY(second.waitForFinished(60000));
        QStringList numbers;
        int done = 0;
        for (QProcess* p : {&first, &second}) {
            const QString out = QString::fromUtf8(p->readAllStandardOutput());
            const QString err = QString::fromUtf8(p->readAllStandardError());
            if (p->exitCode() == 0) {
                ++done;
                numbers << out.section("Número da Remessa.........:", 1).section('\n', 0, 0);
            } else {
                QVERIFY2(err.contains("em uso por outro programa"), qPrintable(err));
            }
        }
        QVERIFY(done >= 1);
        numbers.removeDuplicates();
        QCOMPARE(numbers.size(), done);
        QCOMPARE(remittanceNumber(), 40.0 + done);
        QStringList sentUnder = rowsOf("RET_DEBITO.DB", {"DEB_REMESSA"});
        sentUnder.removeDuplicates();
        QCOMPARE(sentUnder, QStringList({QString::number(40 + done)}));
    }

    // The disk fills while the last records are written: an error naming the file, no table
    // changed, nothing left on the disk.
    void fullDiskAtTheEnd()
    {
        const QString disk = dir_.filePath("disk");
        QDir().mkpath(disk);
        if (::mount("tmpfs", disk.toUtf8().constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP("no small file system can be mounted here");
        struct Unmount {
            QString at;
            ~Unmount() { ::umount(at.toUtf8().constData()); }
        } unmount{disk};
        // 1,285 detail records and the header and trailer: 65,637 bytes, 101 more than fit.
        fillMonth(1285, 1285);
        db::Query::execute("Tolmare", "UPDATE DEBITO SET DEB_DATA = '2026-07-10'");
        const QString path = QDir(disk).filePath(kName);
        const remessa::Outcome o = remessa::GerarArquivo(path, kDebitDate, QDate(2026, 7, 5));
        QCOMPARE(int(o.kind), int(remessa::Outcome::Kind::Failed));
        QVERIFY2(o.message.contains(path) && o.message.contains("disco"), qPrintable(o.message));
        QVERIFY(o.message.contains("nenhuma tabela foi alterada"));
        QCOMPARE(QDir(disk).entryList(QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(remittanceNumber(), 40.0);
        QCOMPARE(testdata::countRows(folder_, "RET_DEBITO.DB"), 0);
    }

    // One return file imported by two programs at once counts once: the second finds it
    // recorded inside its own transaction (or cannot open it any more) and changes nothing.
    void oneFileImportedTwiceAtOnce()
    {
        fillMonth(3000, 3000);
        QCOMPARE(runCli(folder_, remessaArgs(folder_)), 0);
        db::Session::instance().reset();
        QByteArray lines;
        for (int n = 1; n <= 3000; ++n)
            lines += QString("%1%2SALDO INSUFICIENTE\r\n").arg(QString("12%17").arg(n), 15,
                                                               QLatin1Char('0'))
                         .arg(QString(), 45).toLatin1();
        const QString ret = QDir(folder_).filePath("RET.TXT");
        QFile f(ret);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(lines) == lines.size() && f.flush());
        f.close();
        QProcess first, second;
        const QStringList args{"--dados", folder_, "retorno", "--arquivo", ret, "--mes", "07/2026"};
        const QString cli = QCoreApplication::applicationDirPath() + "/tolmare-cli";
        first.start(cli, args);
        second.start(cli, args);
        QVERIFY(first.waitForFinished(60000) && second.waitForFinished(60000));
        const QList<int> codes{first.exitCode(), second.exitCode()};
        QCOMPARE(codes.count(0), 1);
        db::Connection c(folder_);
        db::StmtGuard st(db::prepare(c.handle(), "SELECT count(*) FROM main.RETORNOS_IMPORTADOS"));
        QCOMPARE(sqlite3_step(st.get()), SQLITE_ROW);
        QCOMPARE(sqlite3_column_int(st.get(), 0), 1);
        int logLines = 0;
        for (const historico::Linha& l : historico::ler(c)) logLines += l.operacao == "Retorno";
        QCOMPARE(logLines, 1);
    }

    // The disk fills while a return import writes its outcomes: an error saying that nothing
    // was imported, the tables as they were, the file under its name.
    void importOnAFullDisk()
    {
        fillMonth(3000, 3000);
        QCOMPARE(runCli(folder_, remessaArgs(folder_)), 0);
        db::Session::instance().reset();
        const QStringList files = QDir(folder_).entryList({"*.DB", ".tolmare-main"},
                                                          QDir::Files | QDir::Hidden);
        qint64 used = 0;
        for (const QString& f : files) used += QFileInfo(QDir(folder_).filePath(f)).size();
        const QString disk = dir_.filePath("importDisk");
        QDir().mkpath(disk);
        const QByteArray size = "size=" + QByteArray::number(used + 48 * 1024);
        if (::mount("tmpfs", disk.toUtf8().constData(), "tmpfs", 0, size.constData()) != 0)
            QSKIP("no small file system can be mounted here");
        struct Unmount {
            QString at;
            ~Unmount() { ::umount(at.toUtf8().constData()); }
        } unmount{disk};
        for (const QString& f : files)
            QVERIFY(QFile::copy(QDir(folder_).filePath(f), QDir(disk).filePath(f)));
        QByteArray lines;
        for (int n = 1; n <= 3000; ++n)
            lines += QString("%1%2SALDO INSUFICIENTE\r\n").arg(QString("12%17").arg(n), 15,
                                                               QLatin1Char('0'))
                         .arg(QString(), 45).toLatin1();
        const QString ret = dir_.filePath("RETCHEIO.TXT");
        QFile f(ret);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(lines) == lines.size() && f.flush());
        f.close();
        db::EngineConfig::overrideAlias("Tolmare", disk);
        db::Session::instance().reset();
        const QStringList fields{"DEB_DATA", "DEB_DATA_RETORNO", "DEB_ASS_ID", "DEB_OCORRENCIA"};
        const QStringList before = rowsOf("RET_DEBITO.DB", fields);
        db::Session::instance().reset();
        QString err;
        QCOMPARE(runCli(disk, {"retorno", "--arquivo", ret, "--mes", "07/2026"}, nullptr, &err), 1);
        QVERIFY2(err.contains("RET_DEBITO.DB") && err.contains("cheio")
                     && err.contains("Nada foi importado"),
                 qPrintable(err));
        QVERIFY(QFile::exists(ret));
        QCOMPARE(rowsOf("RET_DEBITO.DB", fields), before);
        db::Session::instance().reset();
    }

    // Bad arguments are refused before anything changes, even the duplicate clean-up.
    void badPathChangesNothing_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("empty") << "";
        QTest::newRow("folder only") << "/tmp/";
        QTest::newRow("name too long") << "ARQUIVO_DE_REMESSA_LONGO.txt";
    }
    void badPathChangesNothing()
    {
        QFETCH(QString, path);
        parametros(40);
        member("Ana", "1");
        debit(QDate(2026, 6, 10), 1, 10.0);
        for (double remessa : {7.0, 8.0})
            testdata::addRow("RET_DEBITO.DB", {{"DEB_DATA", kDebitDate}, {"DEB_ASS_ID", 1.0},
                                               {"DEB_REMESSA", remessa}, {"DEB_VALOR", 10.0},
                                               {"DEB_DTA_CAD", kDebitDate}, {"DEB_USR_ID", 1}});
        db::Session::instance().reset();
        QString err;
        QCOMPARE(runCli(folder_, {"remessa", "--data", "10/07/2026", "--arquivo", path}, nullptr,
                        &err),
                 2);
        QVERIFY2(err.contains("arquivo") || err.contains("Nome"), qPrintable(err));
        QCOMPARE(testdata::countRows(folder_, "RET_DEBITO.DB"), 2);
        QCOMPARE(rowsOf("DEBITO.DB", {"DEB_DATA"}), QStringList({"10/06/2026"}));
    }

    // The command line cleans duplicate RET_DEBITO rows first and writes rows as user 1.
    void commandLineCleansAndSignsRows()
    {
        parametros(40);
        member("Ana", "1");
        debit(kDebitDate, 1, 10.0);
        for (double remessa : {7.0, 8.0})
            testdata::addRow("RET_DEBITO.DB", {{"DEB_DATA", kDebitDate}, {"DEB_ASS_ID", 1.0},
                                               {"DEB_REMESSA", remessa}, {"DEB_VALOR", 10.0},
                                               {"DEB_DTA_CAD", kDebitDate}, {"DEB_USR_ID", 0}});
        testdata::addRow("RET_DEBITO.DB", {{"DEB_DATA", QDate(2026, 6, 10)}, {"DEB_ASS_ID", 1.0},
                                           {"DEB_DATA_RETORNO", QDate(2026, 7, 1)},
                                           {"DEB_DTA_CAD", kDebitDate}, {"DEB_USR_ID", 1}});
        db::Session::instance().reset();
        QCOMPARE(runCli(folder_, remessaArgs(folder_)), 0);
        QCOMPARE(rowsOf("RET_DEBITO.DB", {"DEB_DATA", "DEB_REMESSA", "DEB_OCORRENCIA"}),
                 QStringList({"10/06/2026||", "10/07/2026|41|Aguardando Retorno"}));
        // A row the command line creates carries user 1.
        db::Query::execute("Tolmare", "DELETE FROM RET_DEBITO");
        db::Session::instance().reset();
        QCOMPARE(runCli(folder_, remessaArgs(folder_)), 0);
        QCOMPARE(rowsOf("RET_DEBITO.DB", {"DEB_USR_ID"}), QStringList({"1"}));
    }

    // A symbolic link planted as the main database is not followed out of the data folder.
    void mainDatabaseLinkNotFollowed()
    {
        const QString outside = dir_.filePath("fora.db");
        QFile(outside).open(QIODevice::WriteOnly);
        parametros(40);
        member("Ana", "1");
        debit(kDebitDate, 1, 10.0);
        db::Session::instance().reset();
        QFile::remove(QDir(folder_).filePath(".tolmare-main"));
        QVERIFY(QFile::link(outside, QDir(folder_).filePath(".tolmare-main")));
        // Refused, naming the file: a main database elsewhere or in memory would not keep the
        // tables' changes together.
        const QString path = QDir(folder_).filePath(kName);
        const remessa::Outcome o = remessa::GerarArquivo(path, kDebitDate, QDate(2026, 7, 5));
        QCOMPARE(int(o.kind), int(remessa::Outcome::Kind::Failed));
        QVERIFY2(o.message.contains(".tolmare-main"), qPrintable(o.message));
        QCOMPARE(QFileInfo(outside).size(), 0);
        QVERIFY(!QFile::exists(path));
    }

    // What a stopped generation left: a committed file is put in place, any other removed.
    void pendingFilesFinished_data()
    {
        QTest::addColumn<bool>("committed");
        QTest::addColumn<bool>("renamed");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("stopped before the commit") << false << false << kEarlier;
        QTest::newRow("stopped before the rename") << true << false << QByteArray("nova\r\n");
        QTest::newRow("stopped after the rename") << true << true << QByteArray("nova\r\n");
    }
    void pendingFilesFinished()
    {
        QFETCH(bool, committed);
        QFETCH(bool, renamed);
        QFETCH(QByteArray, expected);
        const QString target = QDir(folder_).filePath(kName);
        QFile earlier(target);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write(kEarlier);
        earlier.close();
        db::Connection& c = db::Session::instance().connectionFor("Tolmare");
        {
            remessa::ArquivoPendente file(c, target);
            QVERIFY(file.isOpen());
            QVERIFY(file.write("nova\r\n"));
            QVERIFY(file.finish());
            db::Transaction tx(c);
            file.markDone();
            if (committed) tx.commit();
            if (renamed) QCOMPARE(file.install(), QString());
            // Stopped between the commit and the rename: the next start finishes it.
            else if (committed) QCOMPARE(remessa::concluirPendentes(c), QStringList());
        }
        startOn(folder_);
        QCOMPARE(readAll(target), expected);
        QCOMPARE(QDir(folder_).entryList({"ARQ_PREVI_*"}, QDir::Files).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestRemessaAtomic)
#include "tst_remessa_atomic.moc"

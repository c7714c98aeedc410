// The table engine among other programs and failing files: no lock held while a table is
// shown, and every SQLite failure reported in Portuguese with what to do (a second process
// writing, a read-only folder seen by an unprivileged user, a full table file, a locked table,
// a file that is not a table).
#include "core/engine/Connection.h"
#include "core/engine/Database.h"
#include "core/engine/EngineConfig.h"
#include "core/engine/EngineError.h"
#include "core/engine/Query.h"
#include "core/engine/Statement.h"
#include "core/engine/Table.h"
#include "core/store/StoreSchema.h"
#include "tests/common/TestData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

using db::EngineError;
using db::EngineFault;
using db::Table;

namespace {

void addDebit(int member, double value)
{
    testdata::addRow("DEBITO.DB", {{"DEB_DATA", QDate(2026, 5, 1)}, {"DEB_ASS_ID", member},
                                   {"DEB_VALOR", value}, {"DEB_DTA_CAD", QDate(2026, 1, 2)},
                                   {"DEB_USR_ID", 1}});
}

void beginDebit(Table& t)
{
    t.insert();
    t.fieldByName("DEB_DATA").setAsDate(QDate(2026, 6, 1));
    t.fieldByName("DEB_ASS_ID").setAsInteger(7);
    t.fieldByName("DEB_VALOR").setAsFloat(12.5);
    t.fieldByName("DEB_DTA_CAD").setAsDate(QDate(2026, 6, 1));
    t.fieldByName("DEB_USR_ID").setAsInteger(1);
}

// Helper mode --write: another program inserts a debit into DEBITO.DB with a short wait for
// locks. Prints nothing and exits 0 when the row is in.
int writeAsAnotherProgram(const QString& path)
{
    sqlite3* h = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &h, SQLITE_OPEN_READWRITE, nullptr)) return 2;
    store::registerCollation(h);
    sqlite3_busy_timeout(h, 100);
    const int rc = sqlite3_exec(h, "INSERT INTO DEBITO (DEB_DATA, DEB_ASS_ID, DEB_VALOR, "
                                   "DEB_DTA_CAD, DEB_USR_ID) VALUES ('2026-09-09', 99, 1, "
                                   "'2026-09-09', 1)", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) printf("%s\n", sqlite3_errmsg(h));
    sqlite3_close(h);
    return rc == SQLITE_OK ? 0 : 1;
}

// Helper mode --post: posts a debit through the engine in `folder`; prints the error's text.
int postThroughEngine(const QString& folder)
{
    db::EngineConfig::overrideAlias("Tolmare", folder);
    try {
        Table t;
        t.setTableName("DEBITO.DB");
        t.open();
        beginDebit(t);
        t.post();
    } catch (const EngineError& e) {
        printf("%s\n", e.message().toUtf8().constData());
        return 1;
    }
    return 0;
}

QProcess::ExitStatus runSelf(const QStringList& args, QString& out, int& code,
                             const QStringList& wrapper = {})
{
    QProcess p;
    QStringList all = wrapper;
    all << QCoreApplication::applicationFilePath() << args;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", QDir::tempPath());
    p.setProcessEnvironment(env);
    p.start(all.takeFirst(), all);
    p.waitForFinished(20000);
    out = QString::fromUtf8(p.readAll()).trimmed();
    code = p.exitCode();
    return p.exitStatus();
}

}  // namespace

class TestEngineFaults : public testdata::DataFolderTest {
    Q_OBJECT

private slots:
    void init() { freshFolder(); }

    // Whatever the table last did, another program can write at once.
    void anotherProgramWritesWhileShown_data()
    {
        QTest::addColumn<QString>("op");
        for (const char* op : {"open", "next", "prior", "last", "nearest", "locate", "count",
                               "recno", "rows", "post", "delete", "insert", "query"})
            QTest::newRow(op) << QString(op);
    }
    void anotherProgramWritesWhileShown()
    {
        QFETCH(QString, op);
        for (int i = 1; i <= 5; ++i) addDebit(i, 10 * i);
        Table t;
        t.setTableName("DEBITO.DB");
        t.setIndexFieldNames("DEB_DATA;DEB_ASS_ID");
        db::Query q;
        q.setSql({"SELECT DEB_ASS_ID FROM DEBITO ORDER BY DEB_ASS_ID"});
        t.open();
        if (op == "next") t.next();
        else if (op == "prior") { t.last(); t.prior(); }
        else if (op == "last") t.last();
        else if (op == "nearest") t.findNearest({QDate(2026, 5, 1), 3});
        else if (op == "locate") QVERIFY(t.locate("DEB_ASS_ID", {4}));
        else if (op == "count") QCOMPARE(t.recordCount(), 5);
        else if (op == "recno") { t.next(); QCOMPARE(t.recNo(), 2); }
        else if (op == "rows") QCOMPARE(t.rowsAt(1, 3).size(), 3);
        else if (op == "post") { beginDebit(t); t.post(); }
        else if (op == "delete") { t.next(); t.deleteRecord(); }
        else if (op == "insert") t.insert();
        else if (op == "query") { q.open(); q.next(); }
        QString out;
        int code = -1;
        runSelf({"--write", QDir(folder_).filePath("DEBITO.DB")}, out, code);
        QVERIFY2(code == 0, qPrintable(out));
        // The table still steps on from where it stood, and sees the other program's row.
        if (op == "insert") t.cancel();
        const int before = t.recNo();
        t.next();
        QVERIFY(t.recNo() >= before);
        QVERIFY(t.locate("DEB_ASS_ID", {99}));
    }

    // A step sees a row another program put right after the current one, at once or after a
    // pause; a step back sees a row it removed as gone. A lookup sees the other program's
    // change too.
    void stepAfterPauseSeesOtherPrograms_data()
    {
        QTest::addColumn<int>("pauseMs");
        QTest::newRow("at once") << 0;
        QTest::newRow("after a pause") << 120;
    }
    void stepAfterPauseSeesOtherPrograms()
    {
        QFETCH(int, pauseMs);
        for (int i = 1; i <= 40; i += 2) addDebit(i, 10);
        Table t;
        t.setTableName("DEBITO.DB");
        t.setIndexFieldNames("DEB_DATA;DEB_ASS_ID");
        t.open();
        t.next();
        t.next();
        QCOMPARE(t.fieldByName("DEB_ASS_ID").asInteger(), 5);
        Table lookups;
        lookups.setTableName("DEBITO.DB");
        lookups.open();
        QCOMPARE(lookups.lookup("DEB_ASS_ID", {7}, "DEB_VALOR").toDouble(), 10.0);
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(QDir(folder_).filePath("DEBITO.DB").toUtf8().constData(), &other),
                 SQLITE_OK);
        store::registerCollation(other);
        // Written at once (no wait for the disk), so the steps below come right after it.
        QCOMPARE(sqlite3_exec(other, "PRAGMA synchronous=OFF; BEGIN; "
                                     "INSERT INTO DEBITO (DEB_DATA, DEB_ASS_ID, DEB_VALOR, "
                                     "DEB_DTA_CAD, DEB_USR_ID) VALUES ('2026-05-01', 6, 1, "
                                     "'2026-05-01', 1); DELETE FROM DEBITO WHERE DEB_ASS_ID = 3;"
                                     "UPDATE DEBITO SET DEB_VALOR = 20 WHERE DEB_ASS_ID = 7;"
                                     "COMMIT",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(other);
        if (pauseMs > 0) QTest::qWait(pauseMs);
        QCOMPARE(lookups.lookup("DEB_ASS_ID", {7}, "DEB_VALOR").toDouble(), 20.0);
        t.next();
        QCOMPARE(t.fieldByName("DEB_ASS_ID").asInteger(), 6);
        t.prior();
        t.prior();
        QCOMPARE(t.fieldByName("DEB_ASS_ID").asInteger(), 1);
    }

    // The main database cannot be had: refused, naming it, never replaced by one in memory;
    // another program holding it for a moment is waited for.
    void mainDatabaseIsNeverInMemory_data()
    {
        QTest::addColumn<QString>("case_");
        QTest::addColumn<int>("fault");
        QTest::newRow("a link in its place") << "link" << int(EngineFault::ReadOnly);
        QTest::newRow("damaged") << "damaged" << int(EngineFault::NotATable);
        QTest::newRow("missing folder") << "nofolder" << int(EngineFault::ReadOnly);
        QTest::newRow("busy for a moment") << "busy" << -1;
        QTest::newRow("busy beyond the wait") << "busylong" << int(EngineFault::Busy);
    }
    void mainDatabaseIsNeverInMemory()
    {
        QFETCH(QString, case_);
        QFETCH(int, fault);
        db::Session::instance().reset();
        const QString main = QDir(folder_).filePath(".tolmare-main");
        QString folder = folder_;
        QFile::remove(main);
        if (case_ == "link") QVERIFY(QFile::link(QDir(folder_).filePath("GRUPO.DB"), main));
        if (case_ == "damaged") {
            QFile f(main);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray(4096, 'x')) == 4096);
        }
        if (case_ == "nofolder") folder = folder_ + "/nada";
        sqlite3* other = nullptr;
        std::thread release;
        if (case_.startsWith("busy")) {
            { db::Connection first(folder_); }
            QCOMPARE(sqlite3_open(main.toUtf8().constData(), &other), SQLITE_OK);
            QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
            if (case_ == "busy")
                release = std::thread([other] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(300));
                    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
                });
        }
        try {
            db::Connection c(folder);
            if (release.joinable()) release.join();
            QCOMPARE(fault, -1);
            QCOMPARE(QFileInfo(QString::fromUtf8(sqlite3_db_filename(c.handle(), "main"))),
                     QFileInfo(main));
        } catch (const EngineError& e) {
            if (release.joinable()) release.join();
            QCOMPARE(int(e.fault()), fault);
            QVERIFY2(e.message().contains(".tolmare-main"), qPrintable(e.message()));
        }
        if (other) sqlite3_close(other);
    }

    // A statement of the set path: the same text used twice at once, rows read to the end,
    // and a table held by another program thrown as busy rather than read as empty.
    void statementChecksEveryStep()
    {
        for (int i = 1; i <= 3; ++i) addDebit(i, 10 * i);
        db::Connection& c = db::Session::instance().connectionFor("Tolmare");
        c.attach("DEBITO.DB");
        const QString sql = "SELECT DEB_ASS_ID FROM DEBITO.DEBITO WHERE DEB_ASS_ID >= ? "
                            "ORDER BY DEB_ASS_ID";
        QStringList pairs;
        db::Statement outer(c, sql, "DEBITO.DB");
        outer.bind({2});
        while (outer.next()) {
            db::Statement inner(c, sql, "DEBITO.DB");
            inner.bind({outer.int64(0)});
            while (inner.next()) pairs << QString("%1-%2").arg(outer.int64(0)).arg(inner.int64(0));
        }
        QCOMPARE(pairs, QStringList({"2-2", "2-3", "3-3"}));
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(QDir(folder_).filePath("DEBITO.DB").toUtf8().constData(), &other),
                 SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        try {
            db::Statement(c, sql, "DEBITO.DB").bind({1}).found();
            QFAIL("a locked table read as empty");
        } catch (const EngineError& e) {
            QCOMPARE(e.fault(), EngineFault::Busy);
            QVERIFY2(e.message().contains("DEBITO.DB"), qPrintable(e.message()));
        }
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        QVERIFY(db::Statement(c, sql, "DEBITO.DB").bind({3}).found());
    }

    // An unprivileged user on a folder or table file without write permission.
    void readOnlyFolderSaysWhatToDo_data()
    {
        QTest::addColumn<bool>("folderWritable");
        QTest::newRow("read-only table files") << true;
        QTest::newRow("read-only folder") << false;
    }
    void readOnlyFolderSaysWhatToDo()
    {
        QFETCH(bool, folderWritable);
        QStringList wrapper;
        if (geteuid() == 0) {
            const QString setpriv = QStandardPaths::findExecutable("setpriv");
            if (setpriv.isEmpty()) QSKIP("running as root without setpriv to drop privileges");
            wrapper << setpriv << "--reuid=nobody" << "--regid=nogroup" << "--clear-groups";
        }
        for (QString d = folder_; d != QDir::tempPath() && d.size() > 1;
             d = QFileInfo(d).path())
            QFile::setPermissions(d, QFile::permissions(d) | QFile::ExeOther | QFile::ReadOther
                                         | QFile::ExeUser | QFile::ReadUser);
        const auto rw = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser
                        | QFile::ReadOther | QFile::ReadGroup;
        const auto allRw = rw | QFile::WriteOther | QFile::WriteGroup;
        for (const QString& f : QDir(folder_).entryList(QDir::Files))
            QFile::setPermissions(QDir(folder_).filePath(f),
                                  folderWritable ? (rw & ~(QFile::WriteOwner | QFile::WriteUser))
                                                 : allRw);
        const auto dirBits = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadUser | QFile::ExeUser
                             | QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup
                             | QFile::ExeGroup;
        QFile::setPermissions(folder_, folderWritable
                                           ? dirBits | QFile::WriteOwner | QFile::WriteUser
                                                 | QFile::WriteOther | QFile::WriteGroup
                                           : dirBits);
        QString out;
        int code = -1;
        runSelf({"--post", folder_}, out, code, wrapper);
        QFile::setPermissions(folder_, dirBits | QFile::WriteOwner | QFile::WriteUser);
        QCOMPARE(code, 1);
        QVERIFY2(out.contains(folder_), qPrintable(out));
        QVERIFY2(out.contains("permissão"), qPrintable(out));
        QVERIFY2(!out.contains("readonly") && !out.contains("unable"), qPrintable(out));
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), 0);
    }

    // A table another connection holds for writing: "busy", said so, never "damaged"; the row
    // stays pending and posts once the other program is done.
    void busyTableIsBusyNotDamaged()
    {
        Table t;
        t.setTableName("DEBITO.DB");
        t.open();
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(QDir(folder_).filePath("DEBITO.DB").toUtf8().constData(), &other),
                 SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        beginDebit(t);
        try {
            t.post();
            QFAIL("posted into a locked table");
        } catch (const EngineError& e) {
            QCOMPARE(e.fault(), EngineFault::Busy);
            QVERIFY2(e.message().contains("DEBITO.DB") && e.message().contains("em uso"),
                     qPrintable(e.message()));
        }
        QCOMPARE(t.state(), db::DatasetState::Insert);
        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        t.post();
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), 1);
    }

    // The table file cannot grow (the disk is full): nothing is written, the operator is told
    // to free space.
    void fullDiskSaysFreeSpace()
    {
        Table t;
        t.setTableName("DEBITO.DB");
        t.open();
        t.connection()->exec("PRAGMA \"DEBITO\".max_page_count = 1");
        int posted = 0;
        try {
            for (; posted < 2000; ++posted) {
                beginDebit(t);
                t.fieldByName("DEB_ASS_ID").setAsInteger(posted + 1);
                t.post();
            }
            QFAIL("the table grew past its limit");
        } catch (const EngineError& e) {
            QCOMPARE(e.fault(), EngineFault::DiskFull);
            QVERIFY2(e.message().contains(folder_) && e.message().contains("Libere espaço"),
                     qPrintable(e.message()));
        }
        t.cancel();
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), posted);
    }

    void notATableSaysRestore_data()
    {
        QTest::addColumn<bool>("sqliteFile");
        QTest::newRow("garbage") << false;
        QTest::newRow("another program's database") << true;
    }
    void notATableSaysRestore()
    {
        QFETCH(bool, sqliteFile);
        const QString path = QDir(folder_).filePath("GRUPO.DB");
        QFile::remove(path);
        if (sqliteFile) {
            sqlite3* h = nullptr;
            QCOMPARE(sqlite3_open(path.toUtf8().constData(), &h), SQLITE_OK);
            sqlite3_exec(h, "CREATE TABLE notas (x)", nullptr, nullptr, nullptr);
            sqlite3_close(h);
        } else {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4096, 'x'));
        }
        Table t;
        t.setTableName("GRUPO.DB");
        try {
            t.open();
            QFAIL("opened a file that is not a table");
        } catch (const EngineError& e) {
            QCOMPARE(e.fault(), EngineFault::NotATable);
            QVERIFY2(e.message().contains("GRUPO.DB") && e.message().contains("backup"),
                     qPrintable(e.message()));
        }
    }
};

int main(int argc, char** argv)
{
    if (argc == 3 && QByteArray(argv[1]) == "--write")
        return writeAsAnotherProgram(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && QByteArray(argv[1]) == "--post") {
        QCoreApplication app(argc, argv);
        return postThroughEngine(QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    TestEngineFaults t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_enginefaults.moc"

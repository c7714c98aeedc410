// Backups as sets of volumes and as one instant of the tables, through tolmare-cli: a backup
// killed at any instant or stopped by a full disk over an older one of the same name, volumes
// of different backups put together by hand, tables written while they are copied, restores
// only into a folder that exists and what they undo, and the modes of the files written.
#include "backup/backup.h"
#include "tests/backup/ArchiveBytes.h"
#include "tests/common/SmallDisk.h"
#include "tests/common/TestData.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sqlite3.h>
#include <sys/stat.h>

using namespace testbytes;

namespace {

QString cliPath() { return QCoreApplication::applicationDirPath() + "/tolmare-cli"; }

// Runs tolmare-cli; its exit code, standard error and output in `err`.
int cli(const QStringList& args, QString* err = nullptr)
{
    QProcess p;
    p.start(cliPath(), args);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    if (err) *err = QString::fromUtf8(p.readAllStandardError() + p.readAllStandardOutput());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

int modeOf(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

QStringList entriesOf(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// Two tables of different sizes, the content drawn from `seed`: each version of the source.
void writeVersion(const QString& src, int seed)
{
    writeFile(src + "/A.DB", randomBytes(30000, quint32(seed * 2 + 1)));
    writeFile(src + "/B.DB", randomBytes(21000, quint32(seed * 2 + 2)));
}

// The version a restored folder holds; -1 when its files are of no one version (or missing).
int versionOf(const QString& out, int upTo)
{
    const QByteArray a = readFile(out + "/A.DB"), b = readFile(out + "/B.DB");
    for (int v = 0; v <= upTo; ++v)
        if (a == randomBytes(30000, quint32(v * 2 + 1)) && b == randomBytes(21000, quint32(v * 2 + 2)))
            return v;
    return -1;
}

using testdata::SmallDisk;

}  // namespace

class TestBackupSets : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString work_;

    QStringList backupArgs(const QString& arc, const QString& src) const
    {
        return {"backup", arc, src + "/*.DB", "--volume", "20000", "--nivel", "nenhuma", "--ids",
                "--sem-verificacao"};
    }

private slots:
    void init()
    {
        static int n = 0;
        work_ = dir_.filePath(QString("w%1").arg(++n));
        QDir().mkpath(work_);
        qputenv("TOLMARE_ARCHIVE_STATE", (work_ + "/archive-state.txt").toUtf8());
    }

    // ---- a new set never costs the older one ----

    void killedBackupLeavesOneWholeSet()
    {
        const QString src = work_ + "/src", arc = work_ + "/arc/v.bck";
        QDir().mkpath(work_ + "/arc");
        writeVersion(src, 0);
        QCOMPARE(cli(backupArgs(arc, src)), 0);
        QVERIFY(QFile::exists(work_ + "/arc/v.003"));  // three volumes
        QElapsedTimer clock;
        clock.start();
        writeVersion(src, 1);
        QCOMPARE(cli(backupArgs(arc, src)), 0);
        const int span = int(clock.elapsed()) + 20;
        int whole = 1, before = 0, after = 0;
        QRandomGenerator rng(21);
        for (int kill = 2; kill < 42; ++kill) {
            writeVersion(src, kill);
            QProcess p;
            p.start(cliPath(), backupArgs(arc, src));
            QVERIFY(p.waitForStarted());
            QThread::msleep(rng.bounded(span));
            p.kill();
            p.waitForFinished();
            QString err;
            QVERIFY2(cli({"verificar-backup", arc}, &err) == 0, qPrintable(err));
            const QString out = work_ + QString("/out%1").arg(kill);
            QDir().mkpath(out);
            QVERIFY2(cli({"restaurar", arc, out}, &err) == 0, qPrintable(err));
            const int v = versionOf(out, kill);
            QVERIFY2(v == whole || v == kill, qPrintable(QString("kill %1: version %2").arg(kill).arg(v)));
            ++(v == kill ? after : before);
            whole = v;
        }
        qInfo("40 kills: %d left the older set, %d the new one", before, after);
    }

    void fullDiskAtALaterVolumeKeepsTheOlderSet()
    {
        SmallDisk disk(work_ + "/disk", "100k");
        if (!disk.mounted()) QSKIP("cannot mount a tmpfs here (needs root)");
        const QString src = work_ + "/src", arc = work_ + "/disk/v.bck";
        writeVersion(src, 0);
        QCOMPARE(cli(backupArgs(arc, src)), 0);
        const QStringList before = entriesOf(work_ + "/disk");
        writeFile(src + "/C.DB", randomBytes(60000, 99));  // the new set does not fit
        QString err;
        QCOMPARE(cli(backupArgs(arc, src), &err), 1);
        QVERIFY2(err.contains("Cannot write to archive"), qPrintable(err));
        QCOMPARE(entriesOf(work_ + "/disk"), before);
        QDir().mkpath(work_ + "/out");
        QCOMPARE(cli({"restaurar", arc, work_ + "/out"}), 0);
        QCOMPARE(versionOf(work_ + "/out", 0), 0);
    }

    // Volumes of two backups of the same name put together: said, and nothing restored.
    void mixedVolumesAreRefused_data()
    {
        QTest::addColumn<QStringList>("fromOther");  // the volumes taken from the other set
        QTest::addColumn<bool>("unmarked");          // sets as older builds wrote them
        QTest::addColumn<QString>("named");
        QTest::newRow("new first volume") << QStringList{"v.bck"} << false << "v.002";
        QTest::newRow("new middle volume") << QStringList{"v.002"} << false << "v.002";
        QTest::newRow("new last volume") << QStringList{"v.003"} << false << "v.003";
        QTest::newRow("older sets, sizes differ")
            << QStringList{"v.002", "v.003", "v.004", "v.005", "v.006"} << true << "B.DB";
    }
    void mixedVolumesAreRefused()
    {
        QFETCH(QStringList, fromOther);
        QFETCH(bool, unmarked);
        QFETCH(QString, named);
        const QString src = work_ + "/src";
        writeVersion(src, 0);
        QDir().mkpath(work_ + "/one");
        QDir().mkpath(work_ + "/two");
        QCOMPARE(cli(backupArgs(work_ + "/one/v.bck", src)), 0);
        if (unmarked) writeFile(src + "/B.DB", randomBytes(60000, 5));
        else writeVersion(src, 1);
        QCOMPARE(cli(backupArgs(work_ + "/two/v.bck", src)), 0);
        QStringList volumes = entriesOf(work_ + "/one") + entriesOf(work_ + "/two");
        volumes.removeDuplicates();
        for (const QString& v : volumes) {
            const QString from = (fromOther.contains(v) ? "/two/" : "/one/") + v;
            const QByteArray bytes = readFile(work_ + from);
            writeFile(work_ + "/mixed/" + v, unmarked ? withoutMark(bytes) : bytes);
        }
        const QString arc = work_ + "/mixed/v.bck";
        QString err;
        QCOMPARE(cli({"verificar-backup", arc}, &err), 1);
        QVERIFY2(err.contains(named), qPrintable(err));
        QDir().mkpath(work_ + "/out");
        QCOMPARE(cli({"restaurar", arc, work_ + "/out"}, &err), 1);
        QVERIFY2(err.contains(unmarked ? "backups diferentes" : "outro backup"), qPrintable(err));
        QVERIFY(!QFile::exists(work_ + "/out/B.DB"));
        if (!unmarked) QVERIFY(entriesOf(work_ + "/out").isEmpty());
    }

    // ---- one instant of all the tables ----

    // A second process commits, over two tables at once as a remittance does, the next number
    // in PARAMETROS.DB and that number's rows in RET_DEBITO.DB; a large file is copied between
    // the two. Every restored copy holds the rows of exactly the numbers before its own.
    void tablesAreOneInstant()
    {
        const QString data = work_ + "/data";
        QDir().mkpath(data);
        writeFile(data + "/Q.DB", randomBytes(3 << 20, 4));
        QProcess writer;
        writer.start(QCoreApplication::applicationDirPath() + "/table_writer",
                     {data + "/PARAMETROS.DB", "8", data + "/RET_DEBITO.DB"});
        QVERIFY(writer.waitForReadyRead(10000));
        int runs = 0;
        for (; runs < 6 && writer.state() == QProcess::Running; ++runs) {
            const QString arc = work_ + QString("/a%1.bck").arg(runs);
            const QString out = work_ + QString("/out%1").arg(runs);
            QDir().mkpath(out);
            QString err;
            QVERIFY2(cli({"backup", arc, data + "/*.DB", "--sem-verificacao"}, &err) == 0, qPrintable(err));
            QVERIFY2(cli({"restaurar", arc, out}, &err) == 0, qPrintable(err));
            sqlite3* db = nullptr;
            QCOMPARE(sqlite3_open_v2(QFile::encodeName(out + "/PARAMETROS.DB").constData(), &db,
                                     SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
            const QByteArray attach = "ATTACH '" + QFile::encodeName(out + "/RET_DEBITO.DB") + "' AS r";
            QCOMPARE(sqlite3_exec(db, attach.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_stmt* st = nullptr;
            QCOMPARE(sqlite3_prepare_v2(db, "SELECT (SELECT n FROM next), (SELECT max(remessa) FROM "
                                            "r.rows), (SELECT count(*) FROM r.rows)", -1, &st, nullptr),
                     SQLITE_OK);
            QCOMPARE(sqlite3_step(st), SQLITE_ROW);
            const int next = sqlite3_column_int(st, 0), last = sqlite3_column_int(st, 1),
                      count = sqlite3_column_int(st, 2);
            sqlite3_finalize(st);
            sqlite3_close(db);
            QCOMPARE(last, next - 1);
            QCOMPARE(count, (next - 1) * 20);
        }
        writer.waitForFinished(30000);
        QVERIFY(runs >= 3);
    }

    // ---- restore: where, and what it undoes ----

    void restoreOnlyIntoAFolderThatExists_data()
    {
        QTest::addColumn<QString>("dest");
        QTest::newRow("empty") << QString();
        QTest::newRow("blank") << QString("  ");
        QTest::newRow("missing") << QString("@/none");
    }
    void restoreOnlyIntoAFolderThatExists()
    {
        QFETCH(QString, dest);
        // An archive whose stored name is the very file it was taken from.
        writeFile(work_ + "/live/A.DB", "live");
        QCOMPARE(cli({"backup", work_ + "/a.bck", work_ + "/live/A.DB"}), 0);
        writeFile(work_ + "/live/A.DB", "changed");
        QString err;
        QCOMPARE(cli({"restaurar", work_ + "/a.bck", dest.replace("@", work_)}, &err), 1);
        QVERIFY2(err.contains("informe uma pasta que exista"), qPrintable(err));
        QCOMPARE(readFile(work_ + "/live/A.DB"), QByteArray("changed"));
        QVERIFY(!QFile::exists(work_ + "/none"));
    }

    // A return imported after the backup is imported again once the backup is restored over
    // the data folder; the log keeps the import and the restore.
    void restoreUndoesLaterImports()
    {
        const QString data = testdata::nextDataFolder(dir_);
        const QString arc = work_ + "/before.bck";
        QCOMPARE(cli({"--dados", data, "backup", arc, data + "/*.DB"}), 0);
        QThread::msleep(2100);  // archive dates keep even seconds
        const QByteArray lines = "000000000000042FULANO DE TAL\r\n";
        const QString ret = work_ + "/ret.txt";
        const QStringList import{"--dados", data, "retorno", "--arquivo", ret, "--mes", "01/2026"};
        QString err;
        writeFile(ret, lines);
        QVERIFY2(cli(import, &err) == 0, qPrintable(err));
        writeFile(ret, lines);
        QVERIFY(cli(import, &err) != 0);
        QVERIFY2(err.contains("já foi importado"), qPrintable(err));
        QVERIFY2(cli({"--dados", data, "restaurar", arc, work_ + "/elsewhere"}, &err) == 1, qPrintable(err));
        QDir().mkpath(work_ + "/elsewhere");
        QCOMPARE(cli({"--dados", data, "restaurar", arc, work_ + "/elsewhere"}), 0);
        QVERIFY(cli(import, &err) != 0);  // a copy restored elsewhere undoes nothing
        QVERIFY2(cli({"--dados", data, "restaurar", arc, data}, &err) == 0, qPrintable(err));
        QVERIFY2(cli(import, &err) == 0, qPrintable(err));
        QVERIFY2(cli({"--dados", data, "historico"}, &err) == 0, qPrintable(err));
        QCOMPARE(err.count("Retorno: "), 2);
        QVERIFY2(err.contains("deixa(m) de contar"), qPrintable(err));
    }

    // ---- what failed, and what to do ----

    void messages_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("said");  // the engine's text, then the operator's line
        QTest::newRow("restore onto a full disk")
            << QStringList{"restaurar", "@/a.bck", "@/disk"}
            << QStringList{"Erro 1: Cannot read file: @/disk/T.DB", "Falha ao gravar @/disk/T.DB"};
        QTest::newRow("restore of no archive")
            << QStringList{"restaurar", "@/junk.bck", "@/out"}
            << QStringList{"Cannot read archive", "Falha ao ler o backup @/junk.bck"};
        QTest::newRow("restore of a cut archive")
            << QStringList{"restaurar", "@/cut.bck", "@/out"}
            << QStringList{"Erro 1: Cannot read file: @/out/T.DB", "Falha ao ler o backup @/cut.bck"};
        QTest::newRow("list of no archive")
            << QStringList{"conteudo", "@/junk.bck"}
            << QStringList{"Erro 5: Invalid archive type: @/junk.bck", "Falha ao ler o backup @/junk.bck"};
        QTest::newRow("backup of nothing")
            << QStringList{"backup", "@/a.bck", "@/none/*.DB"}
            << QStringList{"Nenhum arquivo corresponde a @/none/*.DB"};
    }
    void messages()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, said);
        SmallDisk disk(work_ + "/disk", "64k");
        if (!disk.mounted() && args.contains("@/disk")) QSKIP("cannot mount a tmpfs here (needs root)");
        writeFile(work_ + "/src/T.DB", randomBytes(100000, 3));
        QCOMPARE(cli({"backup", work_ + "/a.bck", work_ + "/src/T.DB", "--ids"}), 0);
        const QByteArray archive = readFile(work_ + "/a.bck");
        writeFile(work_ + "/cut.bck", archive.left(archive.size() / 2));
        writeFile(work_ + "/junk.bck", QByteArray("\xff\xff\xff\x7f not an archive at all"));
        QDir().mkpath(work_ + "/out");
        QString err;
        QCOMPARE(cli(args.replaceInStrings("@", work_), &err), 1);
        for (QString& text : said) QVERIFY2(err.contains(text.replace("@", work_)), qPrintable(err));
        QCOMPARE(readFile(work_ + "/a.bck"), archive);
        QVERIFY(!QFile::exists(work_ + "/disk/T.DB") && !QFile::exists(work_ + "/out/T.DB"));
    }

    void incrementalWithNothingChangedKeepsTheArchive()
    {
        writeFile(work_ + "/src/T.DB", "x");
        const QStringList args{"backup", work_ + "/i.bck", work_ + "/src/T.DB", "--incremental"};
        QCOMPARE(cli(args), 0);
        const QByteArray first = readFile(work_ + "/i.bck");
        QString err;
        QCOMPARE(cli(args, &err), 1);
        QVERIFY2(err.contains("Nenhum arquivo mudou"), qPrintable(err));
        QCOMPARE(readFile(work_ + "/i.bck"), first);
    }

    // ---- what is written is its owner's ----

    void filesAreTheOwnersOnly()
    {
        const mode_t old = ::umask(022);
        const QString data = work_ + "/data", arc = work_ + "/arc/v.bck";
        QString err;
        const bool made = cli({"--dados", data, "--criar-pasta", "verificar"}, &err) == 0;
        QDir().mkpath(work_ + "/arc");
        QDir().mkpath(work_ + "/out");
        QFile::setPermissions(work_ + "/out", QFileDevice::Permissions(0x7755));
        writeVersion(work_ + "/src", 0);
        const int backedUp = cli(backupArgs(arc, work_ + "/src"));
        const int restored = cli({"restaurar", arc, work_ + "/out"});
        const int drawn = cli({"--dados", data, "relatorio", "debitos", "--pdf", data + "/d.pdf"});
        ::umask(old);
        QVERIFY2(made, qPrintable(err));
        QCOMPARE(backedUp, 0);
        QCOMPARE(restored, 0);
        QCOMPARE(drawn, 0);
        for (const QString& f : {data + "/.tolmare-main", data + "/ASSOCIADOS.DB", data + "/d.pdf", arc,
                                 work_ + "/arc/v.002", work_ + "/out/A.DB"})
            QVERIFY2(modeOf(f) == 0600, qPrintable(f + ": " + QString::number(modeOf(f), 8)));
        QCOMPARE(modeOf(work_ + "/out"), 0755);  // the folder keeps its mode
    }
};

QTEST_GUILESS_MAIN(TestBackupSets)
#include "tst_backup_sets.moc"

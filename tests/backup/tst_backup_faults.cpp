// The backup engine when things go wrong the way they do: a full disk, a failing read, a cut
// or lying archive, links and odd entries in the folders, a table written by another process
// during the backup, and the command line's answers to them.
#include "backup/ArchiveBytes.h"
#include "backup/BlockCompressor.h"
#include "backup/DosDate.h"
#include "backup/SourceFile.h"
#include "backup/backup.h"
#include "core/store/TableReadLock.h"
#include "tests/backup/ArchiveBytes.h"
#include "tests/common/SmallDisk.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QProcess>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testbytes;

namespace {

using testdata::SmallDisk;

// A file whose n-th read fails, as a disk with a bad sector does.
class FailingFile : public QFile {
public:
    FailingFile(const QString& path, int failAt) : QFile(path), failAt_(failAt) {}

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (++reads_ == failAt_) {
            setErrorString("Input/output error");
            return -1;
        }
        return QFile::readData(data, maxSize);
    }

private:
    int failAt_;
    int reads_ = 0;
};

QStringList entriesOf(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                               QDir::Name);
}

// The zlib stream of a chunk of zeros: many of them make a small archive of a huge file.
QByteArray zeroBlock()
{
    return backupfmt::compressChunk(QByteArray(backupfmt::kChunk, '\0'), 9).bytes;
}

}  // namespace

class TestBackupFaults : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString work_;
    QStringList errors_;

    void wire(TBackupFile& b)
    {
        b.OnError = [this](TBackupFile*, qint32 code, const QString& msg) {
            errors_ << QString("%1 %2").arg(code).arg(msg);
        };
        b.OnNeedDisk = [](TBackupFile*, quint16, bool& cont) { cont = true; };
    }

    bool restoreBytes(TBackupFile& b, const QByteArray& archive, const QString& dest)
    {
        QBuffer in;
        in.setData(archive);
        in.open(QIODevice::ReadOnly);
        b.RestoreStream = &in;
        return b.Restore(":STREAM", dest);
    }

    // Runs tolmare-cli; returns its exit code, standard error in `err`.
    int cli(const QStringList& args, QString* err = nullptr)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::SeparateChannels);
        p.start(QCoreApplication::applicationDirPath() + "/tolmare-cli", args);
        p.closeWriteChannel();
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return -1;
        }
        if (err) *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

private slots:
    void init()
    {
        static int n = 0;
        work_ = dir_.filePath(QString("w%1").arg(++n));
        QDir().mkpath(work_);
        errors_.clear();
        qputenv("TOLMARE_ARCHIVE_STATE", (work_ + "/archive-state.txt").toUtf8());
    }
    void cleanup() { backupfmt::setSourceOpener({}); }

    // ---- failures are never reported as success ----

    void backupOntoAFullDiskLeavesTheOldArchive()
    {
        SmallDisk disk(work_ + "/disk", "64k");
        if (!disk.mounted()) QSKIP("cannot mount a tmpfs here");
        writeFile(work_ + "/src/t.db", randomBytes(100000, 1));
        writeFile(work_ + "/disk/a.bck", "old archive");
        TBackupFile b;
        wire(b);
        QVERIFY(!b.Backup({work_ + "/src/t.db"}, work_ + "/disk/a.bck"));
        QCOMPARE(errors_, QStringList({"4 Cannot write to archive"}));
        QCOMPARE(readFile(work_ + "/disk/a.bck"), QByteArray("old archive"));
        QCOMPARE(entriesOf(work_ + "/disk"), QStringList({"a.bck"}));
    }

    void restoreOntoAFullDiskKeepsTheOldFile()
    {
        SmallDisk disk(work_ + "/disk", "64k");
        if (!disk.mounted()) QSKIP("cannot mount a tmpfs here");
        writeFile(work_ + "/src/t.db", randomBytes(30000, 2));
        TBackupFile b;
        wire(b);
        QVERIFY(b.Backup({work_ + "/src/t.db"}, work_ + "/a.bck"));
        writeFile(work_ + "/disk/filler", QByteArray(40 * 1024, 'f'));
        writeFile(work_ + "/disk/t.db", "good");
        QVERIFY(!b.Restore(work_ + "/a.bck", work_ + "/disk"));
        QCOMPARE(errors_, QStringList({"1 Cannot read file"}));
        QCOMPARE(b.ErrorFile, work_ + "/disk/t.db");
        QCOMPARE(readFile(work_ + "/disk/t.db"), QByteArray("good"));
        QCOMPARE(entriesOf(work_ + "/disk"), QStringList({"filler", "t.db"}));
    }

    void readErrorInAFile_data()
    {
        QTest::addColumn<int>("failAt");
        QTest::newRow("first read") << 1;
        QTest::newRow("fourth read") << 4;
        QTest::newRow("last read") << 13;
    }
    void readErrorInAFile()
    {
        QFETCH(int, failAt);
        const QString src = work_ + "/src/t.db";
        writeFile(src, randomBytes(200000, 3));
        backupfmt::setSourceOpener([failAt](const QString& path) -> std::unique_ptr<QIODevice> {
            auto f = std::make_unique<FailingFile>(path, failAt);
            if (!f->open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return nullptr;
            return f;
        });
        TBackupFile b;
        wire(b);
        QVERIFY(!b.Backup({src}, work_ + "/a.bck"));
        QCOMPARE(errors_, QStringList({"1 Cannot read file"}));
        QCOMPARE(b.ErrorFile, src);
        QVERIFY(!QFile::exists(work_ + "/a.bck"));
    }

    void damagedArchiveKeepsTheGoodFile_data()
    {
        QTest::addColumn<bool>("volumes");
        QTest::newRow("cut archive") << false;
        QTest::newRow("missing volume") << true;
    }
    void damagedArchiveKeepsTheGoodFile()
    {
        QFETCH(bool, volumes);
        writeFile(work_ + "/src/t.db", randomBytes(100000, 4));
        TBackupFile b;
        wire(b);
        if (volumes) b.MaxSize = 40000;
        QVERIFY(b.Backup({work_ + "/src/t.db"}, work_ + "/a.bck"));
        if (volumes) QVERIFY(QFile::remove(work_ + "/a.002"));
        else writeFile(work_ + "/a.bck", readFile(work_ + "/a.bck").left(50000));
        const QByteArray good = randomBytes(100000, 5);
        writeFile(work_ + "/dst/t.db", good);
        const qint32 date = backupfmt::toDos(QDateTime(QDate(2025, 3, 1), QTime(8, 0)));
        backupfmt::setFileDate(work_ + "/dst/t.db", date);
        b.OnNeedDisk = [](TBackupFile*, quint16, bool& cont) { cont = true; };
        bool ok = true;
        try {
            ok = b.Restore(work_ + "/a.bck", work_ + "/dst");
        } catch (const BackupException&) {
            ok = false;
        }
        QVERIFY(!ok);
        QCOMPARE(readFile(work_ + "/dst/t.db"), good);
        QCOMPARE(backupfmt::fileDate(work_ + "/dst/t.db"), date);
        QCOMPARE(entriesOf(work_ + "/dst"), QStringList({"t.db"}));
    }

    void eightBitNamesAndTitles()
    {
        // Names written in Windows-1252 by older archives: a-acute and e-acute.
        const QByteArray archive = header(6, 2) + storedEntry("c:\\dados\\\xe1.db", "one")
                                   + storedEntry("c:\\dados\\\xe9.db", "two") + le(0);
        TBackupFile b;
        wire(b);
        QVERIFY(restoreBytes(b, archive, work_ + "/out"));
        QCOMPARE(b.FilesDone, 2);
        QCOMPARE(readFile(work_ + "/out/" + QString::fromUtf8("á.db")), QByteArray("one"));
        QCOMPARE(readFile(work_ + "/out/" + QString::fromUtf8("é.db")), QByteArray("two"));

        const QString title = QString::fromUtf8("Dívida € – maio");
        b.BackupTitle = title;
        QVERIFY(b.Backup({}, work_ + "/t.bck"));
        QVERIFY(readFile(work_ + "/t.bck").startsWith(text("D\xedvida \x80 \x96 maio")));
        QString read;
        b.GetArchiveInfo(work_ + "/t.bck", nullptr, read);
        QCOMPARE(read, title);
    }

    void tablesAreCopiedInACommittedState()
    {
        const QString table = work_ + "/data/RET_DEBITO.DB";
        QDir().mkpath(work_ + "/data");
        QProcess writer;
        writer.start(QCoreApplication::applicationDirPath() + "/table_writer", {table, "8"});
        QVERIFY(writer.waitForReadyRead(10000));
        TBackupFile b;
        wire(b);
        b.ReadLock = store::readLockTables;
        int copies = 0;
        for (int run = 0; run < 8 && writer.state() == QProcess::Running; ++run, ++copies) {
            const QString arc = work_ + QString("/a%1.bck").arg(run);
            QVERIFY(b.Backup({work_ + "/data/*.DB"}, arc));
            const QString out = work_ + QString("/out%1").arg(run);
            QVERIFY(b.Restore(arc, out));
            sqlite3* db = nullptr;
            QCOMPARE(sqlite3_open_v2(QFile::encodeName(out + "/RET_DEBITO.DB").constData(), &db,
                                     SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
            sqlite3_stmt* st = nullptr;
            QString found;
            if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK
                && sqlite3_step(st) == SQLITE_ROW)
                found = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
            sqlite3_finalize(st);
            int partial = -1;
            if (sqlite3_prepare_v2(db, "SELECT count(*) FROM (SELECT batch FROM t GROUP BY batch "
                                       "HAVING count(*) <> 50)", -1, &st, nullptr) == SQLITE_OK
                && sqlite3_step(st) == SQLITE_ROW)
                partial = sqlite3_column_int(st, 0);
            sqlite3_finalize(st);
            sqlite3_close(db);
            QCOMPARE(found, QString("ok"));
            QCOMPARE(partial, 0);
        }
        writer.waitForFinished(30000);
        QVERIFY(copies >= 3);
    }

    // ---- restore safety ----

    void linksInTheDestinationAreRefused_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("folderLink");
        QTest::newRow("link to a folder outside") << QByteArray("c:\\sub\\x.db") << true;
        QTest::newRow("link to a file outside") << QByteArray("c:\\x.db") << false;
    }
    void linksInTheDestinationAreRefused()
    {
        QFETCH(QByteArray, stored);
        QFETCH(bool, folderLink);
        const QString dest = work_ + "/dest", outside = work_ + "/outside";
        writeFile(outside + "/x.db", "outside");
        QDir().mkpath(dest);
        if (folderLink) QVERIFY(QFile::link(outside, dest + "/sub"));
        else QVERIFY(QFile::link(outside + "/x.db", dest + "/x.db"));
        TBackupFile b;
        wire(b);
        b.RestoreFullPath = true;
        QVERIFY(!restoreBytes(b, header(5, 2) + storedEntry(stored, "evil")
                                     + storedEntry("c:\\ok.db", "ok") + le(0), dest));
        QCOMPARE(errors_, QStringList({"1 Cannot read file"}));
        QCOMPARE(readFile(outside + "/x.db"), QByteArray("outside"));
        QCOMPARE(entriesOf(outside), QStringList({"x.db"}));
        QCOMPARE(readFile(dest + "/ok.db"), QByteArray("ok"));
        QCOMPARE(b.FilesDone, 1);
    }

    void oddNamesAreRefusedAlone_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("dot") << QByteArray("c:\\dados\\.");
        QTest::newRow("dot dot") << QByteArray("c:\\dados\\..");
        QTest::newRow("empty part") << QByteArray("c:\\dados\\\\x.db");
        QTest::newRow("trailing separator") << QByteArray("c:\\dados\\");
        QTest::newRow("dot inside") << QByteArray("c:\\dados\\.\\x.db");
    }
    void oddNamesAreRefusedAlone()
    {
        QFETCH(QByteArray, stored);
        TBackupFile b;
        wire(b);
        b.RestoreFullPath = true;
        const QString dest = work_ + "/dest";
        QVERIFY(!restoreBytes(b, header(5, 2) + storedEntry(stored, "odd")
                                     + storedEntry("c:\\dados\\grupo.db", "grupo") + le(0), dest));
        QCOMPARE(errors_, QStringList({"1 Cannot read file"}));
        QCOMPARE(readFile(dest + "/dados/grupo.db"), QByteArray("grupo"));
        QCOMPARE(entriesOf(dest + "/dados"), QStringList({"grupo.db"}));
    }

    void datesFrom2044CompareInOrder_data()
    {
        QTest::addColumn<int>("targetYear");
        QTest::addColumn<int>("storedYear");
        QTest::addColumn<bool>("restored");
        QTest::newRow("2050 file, 2020 copy") << 2050 << 2020 << false;
        QTest::newRow("2020 file, 2050 copy") << 2020 << 2050 << true;
        QTest::newRow("2044 file, 2043 copy") << 2044 << 2043 << false;
    }
    void datesFrom2044CompareInOrder()
    {
        QFETCH(int, targetYear);
        QFETCH(int, storedYear);
        QFETCH(bool, restored);
        const QString dest = work_ + "/dest";
        writeFile(dest + "/t.db", "current");
        backupfmt::setFileDate(dest + "/t.db",
                               backupfmt::toDos(QDateTime(QDate(targetYear, 6, 1), QTime(12, 0))));
        const qint32 stored = backupfmt::toDos(QDateTime(QDate(storedYear, 6, 1), QTime(12, 0)));
        TBackupFile b;
        wire(b);
        b.RestoreMode = TBackupFile::rmNewer;
        QVERIFY(restoreBytes(b, header(4, 1) + storedEntry("c:\\t.db", "copy", stored) + le(0), dest));
        QCOMPARE(readFile(dest + "/t.db"), QByteArray(restored ? "copy" : "current"));
    }

    // ---- hangs and unbounded work ----

    void volumeLimits_data()
    {
        QTest::addColumn<int>("maxSize");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("no room for a block") << 16488 << false;
        QTest::newRow("negative") << -1 << false;
        QTest::newRow("smallest") << 16489 << true;
        QTest::newRow("empty files after the cut") << 20000 << true;
    }
    void volumeLimits()
    {
        QFETCH(int, maxSize);
        QFETCH(bool, accepted);
        const QString src = work_ + "/src";
        writeFile(src + "/a.db", randomBytes(40000, 6));
        for (int i = 0; i < 300; ++i) writeFile(src + QString("/e%1.db").arg(i, 3, 10, QChar('0')), {});
        TBackupFile b;
        wire(b);
        b.MaxSize = maxSize;
        b.CompressionLevel = TBackupFile::clNone;
        QDir().mkpath(work_ + "/arc");
        QCOMPARE(b.Backup({src + "/*.db"}, work_ + "/arc/v.bck"), accepted);
        if (!accepted) {
            QCOMPARE(errors_, QStringList({"4 Cannot write to archive"}));
            QCOMPARE(entriesOf(work_ + "/arc"), QStringList());
            return;
        }
        const QStringList volumes = entriesOf(work_ + "/arc");
        QVERIFY(volumes.size() >= 3);
        for (const QString& v : volumes)
            QVERIFY2(QFileInfo(work_ + "/arc/" + v).size() <= maxSize, qPrintable(v));
        QVERIFY(b.Restore(work_ + "/arc/v.bck", work_ + "/out"));
        QCOMPARE(b.FilesDone, 301);
        QCOMPARE(readFile(work_ + "/out/a.db"), readFile(src + "/a.db"));
    }

    void lyingContinuationRecords_data()
    {
        QTest::addColumn<QByteArray>("first");   // the continuation record of volume 1
        QTest::addColumn<QByteArray>("second");  // that of volume 2 (when there is one)
        QTest::newRow("names itself") << QByteArray("NEXT:DISK001") << QByteArray();
        QTest::newRow("names an earlier one") << QByteArray("NEXT:DISK002") << QByteArray("NEXT:DISK002");
        QTest::newRow("wraps to 000") << QByteArray("NEXT:DISK000") << QByteArray();
        QTest::newRow("no digits") << QByteArray("NEXT:DISKabc") << QByteArray();
        QTest::newRow("short") << QByteArray("NEXT:DISK2") << QByteArray();
    }
    void lyingContinuationRecords()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        const QString arc = work_ + "/v.bck";
        const QByteArray segment = QByteArray("EC2\0", 4) + le(-3) + "abc" + le(0);
        writeFile(arc, header(9, 1) + text("c:\\t.db") + le(0x54210000) + segment + text(first));
        writeFile(work_ + "/v.001", segment + text(first));
        writeFile(work_ + "/v.002", segment + (second.isEmpty() ? le(0) : text(second)));
        TBackupFile b;
        wire(b);
        QVERIFY(!b.Restore(arc, work_ + "/out"));
        QCOMPARE(errors_, QStringList({"5 Invalid archive type"}));
        QVERIFY(QFileInfo(work_ + "/out/t.db").size() < 100);
    }

    void fileListIsBounded_data()
    {
        QTest::addColumn<QByteArray>("blocks");
        // 2,100 blocks of zeros: 34 MB of text from a 100 KB archive.
        QByteArray zeros;
        const QByteArray z = zeroBlock();
        for (int i = 0; i < 2100; ++i) zeros += z;
        QTest::newRow("text too long") << zeros;
        QTest::newRow("line too long") << z;
    }
    void fileListIsBounded()
    {
        QFETCH(QByteArray, blocks);
        QBuffer in;
        in.setData(header(10, 1) + text("FILE:LIST") + le(0) + QByteArray("EC2\0", 4) + blocks + le(0)
                   + le(0));
        in.open(QIODevice::ReadOnly);
        TBackupFile b;
        wire(b);
        b.RestoreStream = &in;
        QStringList list{"untouched"};
        QString title;
        b.GetArchiveInfo(":STREAM", &list, title);
        QCOMPARE(errors_, QStringList({"5 Invalid archive type"}));
        QCOMPARE(list, QStringList({"untouched"}));
    }

    void restoreStopsBelowTwoGiB()
    {
        if (QStorageInfo(work_).bytesAvailable() < 6LL << 30) QSKIP("not enough free space");
        // 131,073 chunks of zeros: one more than a size can hold.
        const QByteArray z = zeroBlock();
        QByteArray archive = header(0x7FFFFFFF, 1) + text("c:\\big.db") + le(0x54210000)
                             + QByteArray("EC2\0", 4);
        archive.reserve(archive.size() + 131073 * z.size() + 8);
        for (int i = 0; i < 131073; ++i) archive += z;
        archive += le(0) + le(0);
        TBackupFile b;
        wire(b);
        QVERIFY(!restoreBytes(b, archive, work_ + "/out"));
        QCOMPARE(errors_, QStringList({"1 Cannot read file"}));
        QCOMPARE(entriesOf(work_ + "/out"), QStringList());
    }

    void onlyRegularFilesInsideTheFolder()
    {
        const QString src = work_ + "/src";
        writeFile(src + "/a.db", "a");
        writeFile(work_ + "/outside.db", "outside");
        QCOMPARE(::mkfifo(QFile::encodeName(src + "/pipe.db").constData(), 0600), 0);
        QDir().mkpath(src + "/sub");
        QVERIFY(QFile::link(src, src + "/sub/loop"));
        QVERIFY(QFile::link(work_ + "/outside.db", src + "/out.db"));
        QVERIFY(QFile::link(src + "/a.db", src + "/sub/in.db"));
        TBackupFile b;
        wire(b);
        QStringList notes;
        b.OnNote = [&](TBackupFile*, const QString& t) { notes << t; };
        QVERIFY(b.Backup({src + "/* /s"}, work_ + "/a.bck"));
        QCOMPARE(b.FileCount, 2);  // a.db and the link to it inside the folder
        QCOMPARE(notes.size(), 3);
        QVERIFY(notes.filter("pipe.db").size() == 1 && notes.filter("loop").size() == 1
                && notes.filter("out.db").size() == 1);
    }

    void changedWhileReadKeepsTheArchiveAttribute()
    {
        const QString src = work_ + "/src/t.db";
        writeFile(src, randomBytes(60000, 10));
        TBackupFile b;
        wire(b);
        b.setBackupMode(TBackupFile::bmIncremental);
        bool changed = false;
        b.OnProgress = [&](TBackupFile*, const QString& file, int, bool&) {
            if (file != src || changed) return;
            changed = true;
            QTest::qWait(20);
            QFile f(src);
            QVERIFY(f.open(QIODevice::Append));
            f.write("more");
        };
        QVERIFY(b.Backup({src}, work_ + "/1.bck"));
        QVERIFY(changed);
        QVERIFY(b.Backup({src}, work_ + "/2.bck"));
        QCOMPARE(b.FileCount, 1);  // taken again: the first archive holds an older copy
        QVERIFY(b.Backup({src}, work_ + "/3.bck"));
        QCOMPARE(b.FileCount, 0);
    }

    // ---- checking an archive ----

    void verify_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<bool>("sound");
        QTest::newRow("whole, on volumes") << "" << true;
        QTest::newRow("a byte changed in a block") << "flip" << false;
        QTest::newRow("cut") << "cut" << false;
        QTest::newRow("size unlike the list") << "size" << false;
    }
    void verify()
    {
        QFETCH(QString, damage);
        QFETCH(bool, sound);
        writeFile(work_ + "/src/a.db", QByteArray(50000, 'a') + randomBytes(100, 9));
        writeFile(work_ + "/src/b.db", "b");
        TBackupFile b;
        wire(b);
        b.SaveFileID = true;
        if (damage.isEmpty()) b.MaxSize = 30000;
        QVERIFY(b.Backup({work_ + "/src/*.db"}, work_ + "/a.bck"));
        QByteArray bytes = readFile(work_ + "/a.bck");
        if (damage == "flip") {  // inside the first zlib stream of a.db
            const qsizetype at = bytes.indexOf("src/a.db") + 8 + 4 + 4 + 4 + 6;
            bytes[at] = char(bytes[at] ^ 0x55);
        }
        if (damage == "cut") bytes.chop(30);
        if (damage == "size")  // the list says 5 bytes, the entry holds 4
            bytes = header(9, 1) + storedEntry("FILE:LIST", "c:\\t.db\t0=5\r\n")
                    + storedEntry("c:\\t.db", "four") + le(0);
        writeFile(work_ + "/a.bck", bytes);
        const QStringList before = entriesOf(work_);
        bool ok = false;
        try {
            ok = b.Verify(work_ + "/a.bck");
        } catch (const BackupException&) {
        }
        QCOMPARE(ok, sound);
        if (sound) QCOMPARE(b.FilesDone, 2);
        QCOMPARE(entriesOf(work_), before);  // nothing written
        QString err;
        QCOMPARE(cli({"verificar-backup", work_ + "/a.bck"}, &err), sound ? 0 : 1);
    }

    // ---- the command line ----

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("named");  // what standard error must name
        QTest::newRow("missing volume") << QStringList({"restaurar", "@/v.bck", "@/out"}) << 1
                                        << "@/v.002";
        QTest::newRow("restore into a file") << QStringList({"restaurar", "@/v.bck", "@/plain"}) << 1
                                             << "@/plain";
        QTest::newRow("list a missing archive") << QStringList({"conteudo", "@/none.bck"}) << 1
                                                << "@/none.bck";
        QTest::newRow("file too big") << QStringList({"backup", "@/b.bck", "@/huge.db"}) << 1
                                      << "@/huge.db";
        QTest::newRow("volume not a number")
            << QStringList({"backup", "@/b.bck", "@/plain", "--volume", "abc"}) << 2 << "abc";
        QTest::newRow("volume too small")
            << QStringList({"backup", "@/b.bck", "@/plain", "--volume", "16488"}) << 2 << "16489";
        QTest::newRow("no specifications, no tables")
            << QStringList({"--dados", "@/out", "backup", "@/b.bck"}) << 1 << "@/out";
        QTest::newRow("server store with specifications")
            << QStringList({"--dados", "postgresql://127.0.0.1:1/x", "backup", "@/b.bck", "@/plain"})
            << 2 << "sem especificações";
        QTest::newRow("server store unreachable")
            << QStringList({"--dados", "postgresql://127.0.0.1:1/x", "backup", "@/b.bck"}) << 1
            << "Não foi possível conectar";
        QTest::newRow("a command not on a server yet")
            << QStringList({"--dados", "postgresql://127.0.0.1:1/x", "demonstracao"}) << 2
            << "ainda não funciona com os dados num servidor";
    }
    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, named);
        writeFile(work_ + "/src/t.db", randomBytes(40000, 8));
        writeFile(work_ + "/plain", "x");
        QFile huge(work_ + "/huge.db");
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(3LL << 30));  // sparse
        huge.close();
        TBackupFile b;
        wire(b);
        b.MaxSize = 20000;
        QVERIFY(b.Backup({work_ + "/src/t.db"}, work_ + "/v.bck"));
        QFile::remove(work_ + "/v.002");
        QDir().mkpath(work_ + "/out");
        args.replaceInStrings("@", work_);
        QString err;
        QCOMPARE(cli(args, &err), exitCode);
        QVERIFY2(err.contains(named.replace("@", work_)), qPrintable(err));
        QVERIFY(!QFile::exists(work_ + "/b.bck"));
    }
};

QTEST_GUILESS_MAIN(TestBackupFaults)
#include "tst_backup_faults.moc"

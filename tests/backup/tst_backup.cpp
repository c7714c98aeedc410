// The backup engine against archives written out by hand from the format's tables, and round
// trips through real files.
#include "backup/BlockCompressor.h"
#include "backup/DosDate.h"
#include "backup/LZRW1KH.h"
#include "backup/ArchiveBytes.h"
#include "backup/backup.h"
#include "tests/backup/ArchiveBytes.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {

using namespace testbytes;

// A zlib stream at level 0 of a single byte, written out from RFC 1950/1951.
QByteArray storedZlibOneByte(uchar byte)
{
    const quint32 a = 1 + byte, s = a;
    QByteArray z = QByteArray::fromHex("7801010100feff");
    z.append(char(byte));
    const quint32 adler = s << 16 | a;
    for (int i = 3; i >= 0; --i) z.append(char((adler >> (8 * i)) & 0xFF));
    return z;
}

}  // namespace

class TestBackup : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString work_;
    QStringList errors_;

    TBackupFile* engine(TBackupFile& b)
    {
        b.OnError = [this](TBackupFile*, qint32 code, const QString& msg) {
            errors_ << QString("%1 %2").arg(code).arg(msg);
        };
        return &b;
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

    void newInstance()
    {
        TBackupFile b;
        QCOMPARE(b.property("Version").toString(), QString("3.00"));
        b.setProperty("Version", "9");
        QCOMPARE(b.Version(), QString("3.00"));
        QCOMPARE(b.BackupMode, TBackupFile::bmAll);
        QCOMPARE(b.CompressionLevel, TBackupFile::clFastest);
        QVERIFY(!b.SetArchiveFlag);
        b.setProperty("BackupMode", TBackupFile::bmIncremental);
        QVERIFY(b.SetArchiveFlag);
        QCOMPARE(TBackupFile::volumeName("/x/dados.bck", 2), QString("/x/dados.002"));
        QCOMPARE(TBackupFile::volumeName("/x/dados.bck", 1234), QString("/x/dados.234"));
        QCOMPARE(TBackupFile::percent(1500000000LL, 3000000000LL), 50);  // no 32-bit overflow
    }

    void noFilesAndEmptyFile()
    {
        TBackupFile b;
        engine(b);
        b.BackupTitle = "Tolmare";
        const QString arc = work_ + "/a.bck";
        QVERIFY(b.Backup({}, arc));
        QCOMPARE(readFile(arc), text("Tolmare") + le(0) + le(0) + le(0));
        QCOMPARE(b.CompressionRate(), 0);

        const QString empty = work_ + "/data/empty.db";
        writeFile(empty, {});
        b.BackupTitle.clear();
        QVERIFY(b.Backup({empty}, arc));
        QCOMPARE(readFile(arc), le(0) + le(0) + le(1) + text(QFile::encodeName(empty))
                                    + le(dosDateOf(empty)) + QByteArray("EC2\0", 4) + le(0) + le(0));
        QFile::remove(empty);
        QVERIFY(b.Restore(arc, work_ + "/out"));
        QVERIFY(QFileInfo(work_ + "/out/empty.db").exists());
        QCOMPARE(QFileInfo(work_ + "/out/empty.db").size(), 0);
        QVERIFY(errors_.isEmpty());
    }

    void chunksAtLevelNone_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("16384") << 16384;
        QTest::newRow("16385") << 16385;
    }
    void chunksAtLevelNone()
    {
        QFETCH(int, size);
        const QByteArray data = QByteArray(size, 'x');
        const QString file = work_ + "/f.bin";
        writeFile(file, data);
        TBackupFile b;
        engine(b);
        b.CompressionLevel = TBackupFile::clNone;
        const QString arc = work_ + "/a.bck";
        QVERIFY(b.Backup({file}, arc));
        QByteArray blocks = le(-16384) + data.left(16384);
        if (size == 16385) blocks += le(12) + storedZlibOneByte('x');
        QCOMPARE(readFile(arc), le(0) + le(size) + le(1) + text(QFile::encodeName(file))
                                    + le(dosDateOf(file)) + QByteArray("EC2\0", 4) + blocks + le(0)
                                    + le(0));
        if (size == 16384) QCOMPARE(b.CompressionRate(), 0);
    }

    void roundTrips_data()
    {
        QTest::addColumn<int>("level");
        QTest::newRow("fastest") << int(TBackupFile::clFastest);
        QTest::newRow("none") << int(TBackupFile::clNone);
        QTest::newRow("default") << int(TBackupFile::clDefault);
        QTest::newRow("max") << int(TBackupFile::clMax);
    }
    void roundTrips()
    {
        QFETCH(int, level);
        QRandomGenerator rng(quint32(level) + 11);
        QMap<QString, QByteArray> files;
        for (int i = 0; i < 6; ++i) {
            const int size = int(rng.bounded(70000));
            QByteArray bytes = i % 2 ? randomBytes(size, quint32(i)) : QByteArray(size, char('a' + i));
            files[QString("f%1.db").arg(i)] = bytes;
            writeFile(work_ + "/src/" + QString("f%1.db").arg(i), bytes);
        }
        TBackupFile b;
        engine(b);
        b.CompressionLevel = TBackupFile::TCompressionLevel(level);
        const QString arc = work_ + "/a.bck";
        QVERIFY(b.Backup({work_ + "/src/*.db"}, arc));
        QCOMPARE(b.FilesDone, 6);
        QVERIFY(b.Restore(arc, work_ + "/dst"));
        QCOMPARE(b.FilesDone, 6);
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            QCOMPARE(readFile(work_ + "/dst/" + it.key()), it.value());
        QVERIFY(errors_.isEmpty());
    }

    void compressingAheadWritesTheSameBytes()
    {
        QByteArray data;
        for (int i = 0; i < 12; ++i) data += i % 3 ? randomBytes(10000, quint32(i)) : QByteArray(30000, char('a' + i));
        writeFile(work_ + "/m.bin", data);
        TBackupFile b;
        engine(b);
        b.MaxSize = 60000;
        b.OnNeedDisk = [](TBackupFile*, quint16, bool& cont) { cont = true; };
        QList<QByteArray> archives;
        for (int threads : {0, 2}) {
            backupfmt::setCompressionThreads(threads);
            const QString dirName = work_ + QString("/t%1").arg(threads);
            QDir().mkpath(dirName);
            QVERIFY(b.Backup({work_ + "/m.bin"}, dirName + "/a.bck"));
            QByteArray all;
            for (const QString& f : QDir(dirName).entryList(QDir::Files, QDir::Name))
                all += withoutMark(readFile(dirName + "/" + f));
            archives << all;
        }
        backupfmt::setCompressionThreads(-1);
        QCOMPARE(archives[1], archives[0]);
    }

    void incompressibleBlocksAreStored()
    {
        const QByteArray data = randomBytes(20000, 5);
        writeFile(work_ + "/r.bin", data);
        TBackupFile b;
        engine(b);
        const QString arc = work_ + "/a.bck";
        QVERIFY(b.Backup({work_ + "/r.bin"}, arc));
        const QByteArray bytes = readFile(arc);
        QVERIFY(bytes.contains(le(-16384) + data.left(16384)));
        QVERIFY(b.CompressionRate() <= 0);  // stored data does not shrink
        QVERIFY(b.Restore(arc, work_ + "/out"));
        QCOMPARE(readFile(work_ + "/out/r.bin"), data);
    }

    void volumes()
    {
        const QByteArray data = randomBytes(40000, 9);
        writeFile(work_ + "/big.bin", data);
        writeFile(work_ + "/small.txt", "abc");
        TBackupFile b;
        engine(b);
        QList<int> asked;
        b.OnNeedDisk = [&](TBackupFile*, quint16 disk, bool& cont) {
            asked << disk;
            cont = true;
        };
        b.MaxSize = 20000;
        b.CompressionLevel = TBackupFile::clNone;
        const QString arc = work_ + "/v.bck";
        QVERIFY(b.Backup({work_ + "/big.bin", work_ + "/small.txt"}, arc));
        // The small file's entry starts in a full volume: its first block goes to volume 4.
        QCOMPARE(asked, QList<int>({2, 3, 4}));
        const QByteArray v1 = withoutMark(readFile(arc));
        QVERIFY(v1.endsWith(le(0) + text("NEXT:DISK002")));
        const QByteArray v2 = withoutMark(readFile(work_ + "/v.002"));
        QVERIFY(v2.startsWith(QByteArray("EC2\0", 4) + le(-16384) + data.mid(16384, 16384) + le(0)));
        QVERIFY(v2.endsWith(text("NEXT:DISK003")));
        QVERIFY(withoutMark(readFile(work_ + "/v.003")).endsWith(text("NEXT:DISK004")));
        QVERIFY(withoutMark(readFile(work_ + "/v.004")).endsWith(le(0) + le(0)));
        asked.clear();
        QVERIFY(b.Restore(arc, work_ + "/out"));
        QCOMPARE(asked, QList<int>({2, 3, 4}));
        QCOMPARE(readFile(work_ + "/out/big.bin"), data);
        QCOMPARE(readFile(work_ + "/out/small.txt"), QByteArray("abc"));
        QCOMPARE(backupfmt::fileDate(work_ + "/out/big.bin"), dosDateOf(work_ + "/big.bin"));
    }

    void cancelAtDiskPrompt()
    {
        writeFile(work_ + "/big.bin", randomBytes(40000, 3));
        TBackupFile b;
        engine(b);
        b.OnNeedDisk = [](TBackupFile*, quint16, bool& cont) { cont = false; };
        b.MaxSize = 20000;
        QVERIFY(!b.Backup({work_ + "/big.bin"}, work_ + "/v.bck"));
        QVERIFY(errors_.isEmpty());
        QVERIFY(!b.Busy());
    }

    void unknownTagAndEcsSegments()
    {
        const QByteArray head = le(0) + le(30) + le(1) + text("c:\\dados\\grupo.db") + le(0x54210000);
        // ECS: the three blocks of the decoder's worked examples, then a stored block.
        QByteArray blocks;
        for (const char* hex : {"8041424344", "40800000000441", "404000610012", "80"})
            blocks += text(QByteArray::fromHex(hex));
        const QByteArray ecs = head + QByteArray("ECS\0", 4) + le(qint32(blocks.size())) + blocks + le(0);
        QBuffer in;
        in.setData(ecs);
        in.open(QIODevice::ReadOnly);
        TBackupFile b;
        engine(b);
        b.RestoreStream = &in;
        QVERIFY(b.Restore(":STREAM", work_ + "/out"));
        QCOMPARE(readFile(work_ + "/out/grupo.db"), QByteArray("ABCD") + QByteArray(20, 'A') + QByteArray(6, 'a'));

        QBuffer bad;
        bad.setData(head + QByteArray(4, '\0') + le(0) + le(0));
        bad.open(QIODevice::ReadOnly);
        b.RestoreStream = &bad;
        QVERIFY(!b.Restore(":STREAM", work_ + "/out2"));
        QCOMPARE(errors_, QStringList({"1 Cannot read file"}));
        bad.seek(0);
        b.RestoreMode = TBackupFile::rmExisting;  // passed over: the tag reaches the caller
        QVERIFY_THROWS_EXCEPTION(BackupException, b.Restore(":STREAM", work_ + "/out3"));
        QVERIFY(!b.Busy());
    }

    void decoder_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<QByteArray>("expected");  // "-" for a rejected block
        QTest::newRow("stored") << QByteArray::fromHex("8041424344") << QByteArray("ABCD");
        QTest::newRow("run") << QByteArray::fromHex("40800000000441") << QByteArray(20, 'A');
        QTest::newRow("copy") << QByteArray::fromHex("404000610012") << QByteArray(6, 'a');
        QTest::newRow("stored empty") << QByteArray::fromHex("80") << QByteArray();
        QTest::newRow("three bytes") << QByteArray::fromHex("400000") << QByteArray();
        QTest::newRow("copy before start") << QByteArray::fromHex("40800000a0") << QByteArray("-");
        QTest::newRow("run past end") << QByteArray::fromHex("408000000f") << QByteArray("-");
        QTest::newRow("huge run") << QByteArray::fromHex("4080000ff0ff41") + QByteArray::fromHex("0000ff41")
                                  << QByteArray("-");
    }
    void decoder()
    {
        QFETCH(QByteArray, block);
        QFETCH(QByteArray, expected);
        QByteArray out(lzrw1kh::kBlockSize, '\0');
        const int n = lzrw1kh::decode(reinterpret_cast<const uint8_t*>(block.constData()),
                                      int(block.size()), reinterpret_cast<uint8_t*>(out.data()));
        if (expected == "-") QCOMPARE(n, -1);
        else QCOMPARE(out.left(n), expected);
    }

    void restoreModes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("targets");  // which of old/new/missing get restored
        QTest::newRow("all") << int(TBackupFile::rmAll) << "old new missing";
        QTest::newRow("no overwrite") << int(TBackupFile::rmNoOverwrite) << "missing";
        QTest::newRow("newer") << int(TBackupFile::rmNewer) << "old missing";
        QTest::newRow("existing") << int(TBackupFile::rmExisting) << "old new";
        QTest::newRow("existing newer") << int(TBackupFile::rmExistingNewer) << "old";
    }
    void restoreModes()
    {
        QFETCH(int, mode);
        QFETCH(QString, targets);
        const QDateTime archived = QDateTime(QDate(2026, 5, 1), QTime(10, 0), Qt::LocalTime);
        for (const char* n : {"old", "new", "missing"}) {
            writeFile(work_ + "/src/" + n, "archived");
            backupfmt::setFileDate(work_ + "/src/" + n, backupfmt::toDos(archived));
        }
        TBackupFile b;
        engine(b);
        QVERIFY(b.Backup({work_ + "/src/*"}, work_ + "/a.bck"));
        writeFile(work_ + "/dst/old", "old");
        backupfmt::setFileDate(work_ + "/dst/old", backupfmt::toDos(archived.addDays(-1)));
        writeFile(work_ + "/dst/new", "new");
        backupfmt::setFileDate(work_ + "/dst/new", backupfmt::toDos(archived.addDays(1)));
        b.RestoreMode = TBackupFile::TRestoreMode(mode);
        QVERIFY(b.Restore(work_ + "/a.bck", work_ + "/dst"));
        QStringList restored;
        for (const char* n : {"old", "new", "missing"})
            if (readFile(work_ + "/dst/" + n) == "archived") restored << n;
        QCOMPARE(restored.join(' '), targets);
        QCOMPARE(b.FilesDone, int(restored.size()));
    }

    void incrementalTwice()
    {
        writeFile(work_ + "/src/a.db", "1");
        writeFile(work_ + "/src/b.db", "2");
        TBackupFile b;
        engine(b);
        b.setBackupMode(TBackupFile::bmIncremental);
        QVERIFY(b.Backup({work_ + "/src/*.db"}, work_ + "/1.bck"));
        QCOMPARE(b.FileCount, 2);
        QVERIFY(b.Backup({work_ + "/src/*.db"}, work_ + "/2.bck"));
        QCOMPARE(b.FileCount, 0);
        QTest::qWait(20);
        writeFile(work_ + "/src/b.db", "changed");
        QVERIFY(b.Backup({work_ + "/src/*.db"}, work_ + "/3.bck"));
        QCOMPARE(b.FileCount, 1);
    }

    void listsDuplicatesAndItself()
    {
        writeFile(work_ + "/src/a.db", "1");
        writeFile(work_ + "/src/sub.db/c.db", "3");
        writeFile(work_ + "/src/other/d.db", "4");
        TBackupFile b;
        engine(b);
        b.SaveFileID = true;
        const QString arc = work_ + "/src/self.db";
        QVERIFY(b.Backup({work_ + "/src/a.db", work_ + "/src/*.db /s", work_ + "/src/a.db"}, arc));
        QCOMPARE(b.FileCount, 2);  // a.db once, sub.db/c.db; not other/, not the archive
        QStringList list{"untouched"};
        QString title;
        b.GetArchiveInfo(arc, &list, title);
        QCOMPARE(list.size(), 2);
        QVERIFY(list[0].startsWith(work_ + "/src/a.db\t"));
        QVERIFY(list[0].endsWith("=1"));
        QVERIFY(list[1].startsWith(work_ + "/src/sub.db/c.db\t"));
        b.SaveFileID = false;
        QVERIFY(b.Backup({work_ + "/src/a.db"}, work_ + "/plain.bck"));
        QStringList keep{"untouched"};
        b.GetArchiveInfo(work_ + "/plain.bck", &keep, title);
        QCOMPARE(keep, QStringList({"untouched"}));
    }

    // A first volume just large enough for a block has room for the header and little else:
    // the file list goes on in the next volume, and is read from there.
    void listContinuedInTheNextVolume()
    {
        QByteArray random(40000, '\0');
        quint32 x = 7;
        for (char& ch : random) ch = char((x = x * 1103515245u + 12345u) >> 24);
        writeFile(work_ + "/src/a.db", random);
        writeFile(work_ + "/src/b.db", "b");
        TBackupFile b;
        engine(b);
        b.SaveFileID = true;
        b.BackupTitle = "Mensal";
        b.MaxSize = backupfmt::kMinVolume;
        b.OnNeedDisk = [](TBackupFile*, quint16, bool& cont) { cont = true; };
        QVERIFY(b.Backup({work_ + "/src/*.db"}, work_ + "/m.bck"));
        QVERIFY(QFile::exists(work_ + "/m.002"));
        QStringList list;
        QString title;
        b.GetArchiveInfo(work_ + "/m.bck", &list, title);
        QCOMPARE(title, QString("Mensal"));
        QCOMPARE(list.size(), 2);
        QVERIFY(list[1].startsWith(work_ + "/src/b.db\t"));
        QVERIFY2(errors_.isEmpty(), qPrintable(errors_.join('\n')));
    }

    void neverWritesOutsideTheDestination_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("fullPath");
        QTest::addColumn<QString>("expected");  // relative to the destination, "-" when refused
        QTest::newRow("windows name") << QByteArray("c:\\dados\\grupo.db") << false << "grupo.db";
        QTest::newRow("windows full path") << QByteArray("c:\\dados\\grupo.db") << true << "dados/grupo.db";
        QTest::newRow("dot dot file") << QByteArray("..") << false << "-";
        QTest::newRow("dot dot folders") << QByteArray("c:\\dados\\..\\..\\evil") << true << "-";
        QTest::newRow("unix dot dot") << QByteArray("/x/../../evil") << true << "-";
    }
    void neverWritesOutsideTheDestination()
    {
        QFETCH(QByteArray, stored);
        QFETCH(bool, fullPath);
        QFETCH(QString, expected);
        QBuffer in;
        in.setData(le(0) + le(3) + le(1) + text(stored) + le(0x54210000) + QByteArray("EC2\0", 4)
                   + le(-3) + "abc" + le(0) + le(0));
        in.open(QIODevice::ReadOnly);
        TBackupFile b;
        engine(b);
        b.RestoreStream = &in;
        b.RestoreFullPath = fullPath;
        const QString dest = work_ + "/dest/inner";
        QDir().mkpath(dest);
        const bool ok = b.Restore(":STREAM", dest);
        if (expected == "-") {
            QVERIFY(!ok);
            QCOMPARE(errors_, QStringList({"1 Cannot read file"}));
            QVERIFY(!QFile::exists(work_ + "/dest/evil") && !QFile::exists(work_ + "/evil"));
        } else {
            QVERIFY(ok);
            QCOMPARE(readFile(dest + "/" + expected), QByteArray("abc"));
        }
    }

    // Checking an archive decodes its blocks ahead on the other cores: whatever the damage,
    // the outcome is the one of reading block by block, even when the damage found first
    // while reading ahead lies after the one found first in order.
    void verifyAheadAgreesWithBlockByBlock_data()
    {
        QTest::addColumn<int>("flip");   // a byte changed in the block of this number
        QTest::addColumn<int>("cut");    // the archive ends inside this block
        QTest::addColumn<int>("huge");   // this block's length says more than a chunk
        QTest::addColumn<QString>("outcome");
        QTest::newRow("sound") << -1 << -1 << -1 << "true";
        QTest::newRow("flipped") << 90 << -1 << -1 << "false 6";
        QTest::newRow("cut") << -1 << 120 << -1 << "false 1";
        QTest::newRow("too long") << -1 << -1 << 130 << "false 1";
        QTest::newRow("flipped before a cut") << 9 << 30 << -1 << "false 6";
        QTest::newRow("flipped before too long") << 9 << -1 << 12 << "false 6";
    }
    void verifyAheadAgreesWithBlockByBlock()
    {
        QFETCH(int, flip);
        QFETCH(int, cut);
        QFETCH(int, huge);
        QFETCH(QString, outcome);
        QByteArray data;
        for (int i = 0; i < 150; ++i)
            data += i % 4 == 3 ? randomBytes(16384, quint32(i)) : QByteArray(16384, char('a' + i % 26));
        writeFile(work_ + "/m.bin", data);
        TBackupFile b;
        engine(b);
        QVERIFY(b.Backup({work_ + "/m.bin"}, work_ + "/a.bck"));
        QByteArray bytes = readFile(work_ + "/a.bck");
        QList<qsizetype> blocks;  // where each block's length is
        for (qsizetype at = bytes.indexOf(QByteArray("EC2\0", 4)) + 4;;) {
            const qint32 length = qFromLittleEndian<qint32>(bytes.constData() + at);
            if (length == 0) break;
            blocks << at;
            at += 4 + std::abs(length);
        }
        QCOMPARE(blocks.size(), 150);
        if (flip >= 0) bytes[blocks[flip] + 20] = char(bytes[blocks[flip] + 20] ^ 0x55);
        if (huge >= 0) qToLittleEndian<qint32>(20000, bytes.data() + blocks[huge]);
        if (cut >= 0) bytes.truncate(blocks[cut] + 10);
        writeFile(work_ + "/d.bck", bytes);
        for (int threads : {0, -1}) {
            backupfmt::setCompressionThreads(threads);
            errors_.clear();
            QString got;
            try {
                got = b.Verify(work_ + "/d.bck") ? "true" : "false";
            } catch (const BackupException&) {
                got = "exception";
            }
            if (!errors_.isEmpty()) got += " " + errors_.first().section(' ', 0, 0);
            QCOMPARE(got, outcome);
        }
        backupfmt::setCompressionThreads(-1);
    }

    void truncatedArchivesEndCleanly()
    {
        writeFile(work_ + "/src/a.db", QByteArray(30000, 'q') + randomBytes(5000, 2));
        TBackupFile b;
        engine(b);
        b.SaveFileID = true;
        QVERIFY(b.Backup({work_ + "/src/a.db"}, work_ + "/a.bck"));
        const QByteArray whole = readFile(work_ + "/a.bck");
        for (int cut = 0; cut < whole.size(); cut += 97) {
            QBuffer in;
            in.setData(whole.left(cut));
            in.open(QIODevice::ReadOnly);
            b.RestoreStream = &in;
            try {
                QVERIFY(!b.Restore(":STREAM", work_ + "/t"));
            } catch (const BackupException&) {
            }
            QVERIFY(!b.Busy());
            QStringList list;
            QString title;
            in.seek(0);
            b.GetArchiveInfo(":STREAM", &list, title);
        }
    }
};

QTEST_GUILESS_MAIN(TestBackup)
#include "tst_backup.moc"

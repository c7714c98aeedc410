// The archive check against real archives made by the engine, sound and damaged byte by byte.
#include "backup/ArchiveCheck.h"
#include "backup/backup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Half text (compresses), half random (stored blocks).
QByteArray mixed(int n, quint32 seed)
{
    QRandomGenerator rng(seed);
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = (i / 4096) % 2 ? char(rng.bounded(256)) : char('A' + (i * 7 + i / 100) % 26);
    return b;
}

}  // namespace

class TestArchiveCheck : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString work_;

    // Backs the files of work_/src up into `name`; volumes follow without asking.
    QString backup(const QString& name, bool fileIds, qint32 maxSize = 0,
                   TBackupFile::TCompressionLevel level = TBackupFile::clFastest)
    {
        TBackupFile b;
        b.SaveFileID = fileIds;
        b.MaxSize = maxSize;
        b.CompressionLevel = level;
        b.OnNeedDisk = [](TBackupFile*, quint16, bool& cont) { cont = true; };
        const QString archive = work_ + "/" + name;
        if (!b.Backup({work_ + "/src/*"}, archive)) return {};
        return archive;
    }

    void sources()
    {
        QDir().mkpath(work_ + "/src");
        writeFile(work_ + "/src/GRUPO.DB", mixed(40000, 1));
        writeFile(work_ + "/src/VAZIO.DB", {});
        writeFile(work_ + "/src/EXATO.DB", mixed(16384, 2));
    }

private slots:
    void init()
    {
        static int n = 0;
        work_ = dir_.filePath(QString("w%1").arg(++n));
        QDir().mkpath(work_);
        qputenv("TOLMARE_ARCHIVE_STATE", (work_ + "/archive-state.txt").toUtf8());
        sources();
    }

    void soundArchivesPass_data()
    {
        QTest::addColumn<bool>("fileIds");
        QTest::addColumn<int>("maxSize");
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("volumes");  // at least
        QTest::newRow("plain") << false << 0 << int(TBackupFile::clFastest) << 1;
        QTest::newRow("file information") << true << 0 << int(TBackupFile::clMax) << 1;
        QTest::newRow("no compression") << false << 0 << int(TBackupFile::clNone) << 1;
        QTest::newRow("three volumes") << true << 20000 << int(TBackupFile::clNone) << 3;
    }
    void soundArchivesPass()
    {
        QFETCH(bool, fileIds);
        QFETCH(int, maxSize);
        QFETCH(int, level);
        QFETCH(int, volumes);
        const QString archive =
            backup("a.bck", fileIds, maxSize, TBackupFile::TCompressionLevel(level));
        QVERIFY(!archive.isEmpty());
        const QByteArray before = readFile(archive);
        const QStringList files = QDir(work_).entryList(QDir::Files);
        const backupcheck::Report r = backupcheck::verify(archive);
        QVERIFY2(r.ok, qPrintable(r.problem));
        QCOMPARE(r.volumes, QDir(work_).entryList({"a.*"}).size());
        QVERIFY(r.volumes >= volumes);
        QCOMPARE(r.entries.size(), 3);
        QHash<QString, qint64> sizes;
        for (const backupcheck::Entry& e : r.entries) sizes.insert(QFileInfo(e.name).fileName(), e.size);
        QCOMPARE(sizes.value("GRUPO.DB"), 40000);
        QCOMPARE(sizes.value("EXATO.DB"), 16384);
        QCOMPARE(sizes.value("VAZIO.DB"), 0);
        QCOMPARE(readFile(archive), before);  // nothing written
        QCOMPARE(QDir(work_).entryList(QDir::Files), files);
        QCOMPARE(backupcheck::entryNames(archive).size(), 3);
    }

    // Each damage is caught, and the message names the volume file.
    void damageIsCaught_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("expected");
        QTest::newRow("flipped byte in a block") << "flip" << "bloco danificado no arquivo";
        QTest::newRow("archive cut short") << "cut" << "termina antes do fim";
        QTest::newRow("bytes after the end marker") << "tail" << "depois do fim";
        QTest::newRow("total in the header") << "total" << "total de bytes";
        QTest::newRow("unknown segment tag") << "tag" << "segmento de dados inválido";
        QTest::newRow("second volume missing") << "volume" << "não pode ser lido";
    }
    void damageIsCaught()
    {
        QFETCH(QString, damage);
        QFETCH(QString, expected);
        const bool volumes = damage == "volume";
        const QString archive = backup("a.bck", false, volumes ? 20000 : 0);
        QVERIFY(!archive.isEmpty());
        QByteArray bytes = readFile(archive);
        // Header: title length 0, total, count; the first entry's name, date, tag, length.
        const int nameLength = qFromLittleEndian<qint32>(bytes.constData() + 12);
        const int tag = 16 + nameLength + 4;
        const int firstBlock = tag + 8;
        QString broken = archive;
        if (damage == "flip") bytes[firstBlock + 20] = char(bytes[firstBlock + 20] ^ 0x10);
        else if (damage == "cut") bytes.chop(4);
        else if (damage == "tail") bytes.append("x");
        else if (damage == "total") qToLittleEndian<qint32>(40000 + 16384 + 1, bytes.data() + 4);
        else if (damage == "tag") bytes[tag] = 'X';
        else broken = TBackupFile::volumeName(archive, 2);
        if (volumes) QVERIFY(QFile::remove(broken));
        else writeFile(archive, bytes);
        const backupcheck::Report r = backupcheck::verify(archive);
        QVERIFY(!r.ok);
        QVERIFY2(r.problem.contains(expected), qPrintable(r.problem));
        QVERIFY2(r.problem.contains(broken), qPrintable(r.problem));
    }

    // The command line: verificar-backup exits 0 only for a sound archive; backup checks what
    // it wrote unless told not to.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("damaged");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        QTest::newRow("sound") << QStringList{"verificar-backup", "@a.bck"} << false << 0
                               << "Backup verificado: 3 arquivo(s), 56384 bytes, 1 volume(s).";
        QTest::newRow("damaged") << QStringList{"verificar-backup", "@a.bck"} << true << 1
                                 << "Backup danificado: ";
        QTest::newRow("no archive") << QStringList{"verificar-backup"} << false << 2 << "Uso:";
        QTest::newRow("backup checks") << QStringList{"backup", "@b.bck", "@src/*"} << false << 0
                                       << "Backup verificado: 3 arquivo(s)";
        QTest::newRow("backup unchecked")
            << QStringList{"backup", "@b.bck", "@src/*", "--sem-verificacao"} << false << 0
            << "3 arquivo(s), 56384 bytes";
    }
    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, damaged);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        const QString archive = backup("a.bck", true);
        QVERIFY(!archive.isEmpty());
        if (damaged) {
            QByteArray bytes = readFile(archive);
            bytes[bytes.size() - 8] = char(bytes[bytes.size() - 8] ^ 1);
            writeFile(archive, bytes);
        }
        for (QString& a : args)
            if (a.startsWith('@')) a = work_ + "/" + a.mid(1);
        QProcess cli;
        cli.start(QCoreApplication::applicationDirPath() + "/tolmare-cli", args);
        QVERIFY(cli.waitForFinished(60000));
        const QString text = QString::fromUtf8(cli.readAllStandardOutput() + cli.readAllStandardError());
        QCOMPARE(cli.exitCode(), exitCode);
        QVERIFY2(text.contains(output), qPrintable(text));
        QCOMPARE(text.contains("verificado"), !args.contains("--sem-verificacao") && exitCode == 0);
    }

    void missingArchive()
    {
        const backupcheck::Report r = backupcheck::verify(work_ + "/none.bck");
        QVERIFY(!r.ok);
        QVERIFY(r.problem.contains("none.bck"));
        QVERIFY(backupcheck::entryNames(work_ + "/none.bck").isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestArchiveCheck)
#include "tst_archivecheck.moc"

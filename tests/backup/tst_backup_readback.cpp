// tolmare-cli backup reads the archive it wrote back before it answers 0, unless told not to;
// an archive damaged after the backup fails the same reading.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestBackupReadBack : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    int cli(const QStringList& args, QString* out)
    {
        QProcess p;
        p.start(QCoreApplication::applicationDirPath() + "/tolmare-cli", args);
        if (!p.waitForFinished(60000)) return -1;
        *out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        return p.exitCode();
    }

private slots:
    void initTestCase()
    {
        qputenv("TOLMARE_ARCHIVE_STATE", dir_.filePath("archive-state.txt").toUtf8());
        QDir().mkpath(dir_.filePath("src"));
        for (const char* name : {"GRUPO.DB", "VAZIO.DB"}) {
            QFile f(dir_.filePath(QString("src/") + name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            if (QByteArray(name) == "GRUPO.DB") f.write(QByteArray("Grupo;Conta\r\n").repeated(5000));
        }
    }

    void backupReadsBack_data()
    {
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<bool>("readBack");
        QTest::newRow("read back") << QStringList() << true;
        QTest::newRow("not read back") << QStringList{"--sem-verificacao"} << false;
    }
    void backupReadsBack()
    {
        QFETCH(QStringList, extra);
        QFETCH(bool, readBack);
        const QString archive = dir_.filePath(QString("a%1.bck").arg(readBack));
        QString out;
        QCOMPARE(cli(QStringList{"backup", archive, dir_.filePath("src/*")} + extra, &out), 0);
        QVERIFY2(out.contains("2 arquivo(s), 65000 bytes"), qPrintable(out));
        QCOMPARE(out.contains("Backup íntegro: 2 arquivo(s)"), readBack);

        QFile f(archive);  // a byte of GRUPO.DB's first block changed
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        const qsizetype at = bytes.indexOf("GRUPO.DB") + 8 + 4 + 4 + 4 + 6;
        bytes[at] = char(bytes[at] ^ 0x55);
        f.seek(0);
        f.write(bytes);
        f.close();
        QCOMPARE(cli({"verificar-backup", archive}, &out), 1);
        QVERIFY2(out.contains("Backup com defeito ou incompleto: " + archive), qPrintable(out));
    }
};

QTEST_GUILESS_MAIN(TestBackupReadBack)
#include "tst_backup_readback.moc"

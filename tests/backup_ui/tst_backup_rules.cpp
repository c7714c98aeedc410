// The backup window's rules without a window: folders, default files, choices and texts.
#include "backup/DosDate.h"
#include "backup/rules/BackupChoices.h"
#include "backup/rules/BackupFolders.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestBackupRules : public QObject {
    Q_OBJECT
private slots:
    void dataFolder_data()
    {
        QTest::addColumn<QStringList>("params");
        QTest::addColumn<QString>("folder");
        QTest::newRow("PATH=") << QStringList{"PATH=/dados/tolmare", "X=1"} << "/dados/tolmare/";
        QTest::newRow("bare line") << QStringList{"/dados/"} << "/dados/";
        QTest::newRow("after the first =") << QStringList{"PATH=/a=b"} << "/a=b/";
        QTest::newRow("backslashes") << QStringList{"PATH=C:\\Dados"} << "C:/Dados/";
        QTest::newRow("no line") << QStringList{} << "";
        QTest::newRow("empty line") << QStringList{""} << "";
    }
    void dataFolder()
    {
        QFETCH(QStringList, params);
        QFETCH(QString, folder);
        QCOMPARE(fmbackup::dataFolder(params), folder);
    }

    void backupFolderIsBesideTheDataFolder()
    {
        QCOMPARE(fmbackup::backupFolder("/x/Tolmare/Dados/"), QString("/x/Tolmare/Backup"));
        QCOMPARE(fmbackup::typedPath("\\x\\y"), QString("/x/y"));
        QCOMPARE(fmbackup::archiveName("/b/c"), QString("/b/c.bck"));
        QCOMPARE(fmbackup::archiveName("\\b\\c.Bck"), QString("/b/c.Bck"));
        const QDate day(2026, 3, 7);
        QCOMPARE(fmbackup::backupTitle(day), QString("Tolmare_07-03-2026"));
        QCOMPARE(fmbackup::proposedArchive("/b", day), QString("/b/Backup Tolmare 07-03-2026.Bck"));
    }

    void excludedName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("excluded");
        QTest::newRow("table") << "GRUPO.DB" << false;
        QTest::newRow("lower case") << "grupo.db" << false;
        QTest::newRow("copy, accent small") << QString::fromUtf8("Cópia de GRUPO.DB") << true;
        QTest::newRow("copy, accent capital") << QString::fromUtf8("CÓPIA DE GRUPO.DB") << true;
        QTest::newRow("copy, other accent") << QString::fromUtf8("Cópía de GRUPO.DB") << false;
        QTest::newRow("key violations") << "KEYVIOL.DB" << true;
        QTest::newRow("restructure") << "resttemp.db" << true;
        QTest::newRow("digit") << "GRUPO2.DB" << true;
    }
    void excludedName()
    {
        QFETCH(QString, name);
        QFETCH(bool, excluded);
        QCOMPARE(fmbackup::excludedName(name), excluded);
    }

    void defaultFilesAndArchives()
    {
        QTemporaryDir dir;
        QDir().mkpath(dir.filePath("PASTA.DB"));
        for (const char* name : {"GRUPO.DB", "GRUPO.MB", "associados.db", "KEYVIOL.DB",
                                 "Cópia de GRUPO.DB", "GRUPO2.DB", ".oculto.DB", "notas.txt",
                                 "b.bck", "A.BCK", "c.bck.txt"}) {
            QFile f(dir.filePath(QString::fromUtf8(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        const QString d = QDir(dir.path()).absolutePath() + "/";
        QCOMPARE(fmbackup::defaultFiles(dir.path()),
                 QStringList({d + "associados.db", d + "GRUPO.DB", d + "GRUPO.MB"}));
        QCOMPARE(fmbackup::archivesIn(dir.path()), QStringList({"A.BCK", "b.bck"}));
    }

    void choices()
    {
        QCOMPARE(fmbackup::levelForItem(0), TBackupFile::clFastest);  // "Rápido"
        QCOMPARE(fmbackup::levelForItem(1), TBackupFile::clDefault);  // "Padrão"
        QCOMPARE(fmbackup::levelForItem(2), TBackupFile::clMax);      // "Máxima"
        QCOMPARE(fmbackup::levelForItem(3), TBackupFile::clNone);     // "Nenhuma"
        QCOMPARE(fmbackup::modeForItem(0), TBackupFile::bmAll);
        QCOMPARE(fmbackup::modeForItem(1), TBackupFile::bmIncremental);
    }

    void volumeBytes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("bytes");  // -1: refused
        QTest::newRow("empty: one volume") << " " << 0;
        QTest::newRow("one MB") << "1" << 1000000;
        QTest::newRow("largest") << "2000" << 2000000000;
        QTest::newRow("too large") << "2001" << -1;
        QTest::newRow("zero") << "0" << -1;
        QTest::newRow("not a number") << "1,4" << -1;
    }
    void volumeBytes()
    {
        QFETCH(QString, text);
        QFETCH(int, bytes);
        const std::optional<qint32> v = fmbackup::volumeBytes(text);
        QCOMPARE(v.has_value() ? *v : -1, bytes);
    }

    void texts_data()
    {
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("total");
        QTest::addColumn<QString>("line");
        QTest::newRow("half rounds down to even") << 2 << 2560 << "2 files, 2 KB total";
        QTest::newRow("half rounds up to even") << 3 << 3584 << "3 files, 4 KB total";
        QTest::newRow("above half") << 1 << 1537 << "1 files, 2 KB total";
        QTest::newRow("nothing") << 0 << 0 << "0 files, 0 KB total";
    }
    void texts()
    {
        QFETCH(int, files);
        QFETCH(int, total);
        QFETCH(QString, line);
        QCOMPARE(fmbackup::summaryLine(files, total), line);
    }

    void fileLineAndRestoreMessages()
    {
        const qint32 dos = backupfmt::toDos(QDateTime(QDate(2025, 12, 31), QTime(13, 30, 10)));
        QCOMPARE(fmbackup::fileLine("/d/GRUPO.DB\t" + QString::number(dos) + "=8192"),
                 QString("/d/GRUPO.DB from 31/12/2025, 8192 bytes"));
        QCOMPARE(fmbackup::fileLine("sem tabulação"), QString("sem tabulação"));
        QCOMPARE(fmbackup::restoreDoneMessage(4, 5),
                 QString("Arquivos restaurados com sucesso, 4 de um total de 5 arquivos"));
        QCOMPARE(fmbackup::restoreFailedMessage({"A.DB"}, {}, true),
                 QString("Falha na restauração ou cancelado pelo usuário.\n\nArquivos restaurados: "
                         "A.DB\nArquivos não restaurados: nenhum"));
        QVERIFY(fmbackup::restoreFailedMessage({}, {"B.DB", "C.DB"}, true)
                    .endsWith("restaurados: nenhum\nArquivos não restaurados: B.DB, C.DB"));
        QVERIFY(fmbackup::restoreFailedMessage({"A.DB"}, {"B.DB"}, false)
                    .endsWith("não restaurados: B.DB, e os que vinham depois no backup"));
        QVERIFY(fmbackup::restoreFailedMessage({}, {}, false)
                    .endsWith("não restaurados: os que vinham depois no backup"));
    }
};

QTEST_GUILESS_MAIN(TestBackupRules)
#include "tst_backup_rules.moc"

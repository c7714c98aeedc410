// The operations the backup window and tolmare-cli share, on a real data folder and real
// files: a backup read back and logged, refused when it would take nothing, stopped, on a
// full disk, cut short before its reading back; a restore whole or of a cut-short archive.
#include "backup/operation/BackupOperation.h"
#include "core/Historico.h"
#include "core/engine/Database.h"
#include "tests/backup/ArchiveBytes.h"
#include "tests/common/SmallDisk.h"
#include "tests/common/TestData.h"

#include <QTest>

#include <optional>

using namespace testbytes;
using Kind = backup::RunError::Kind;

class TestBackupOperation : public testdata::DataFolderTest {
    Q_OBJECT

    // The log lines of one operation, in the data folder's log.
    QStringList logged(const QString& operacao)
    {
        QStringList lines;
        for (const historico::Linha& l :
             historico::ler(db::Session::instance().connectionFor("Tolmare")))
            if (l.operacao == operacao) lines << l.detalhe;
        return lines;
    }

private slots:
    void init()
    {
        freshFolder();
        qputenv("TOLMARE_ARCHIVE_STATE", (folder_ + "-archive-state.txt").toUtf8());
    }

    void backUp_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("written");
        QTest::addColumn<int>("kind");
        QTest::newRow("sound") << "" << true << int(Kind::None);
        QTest::newRow("no file matches") << "nothing" << false << int(Kind::NothingToDo);
        QTest::newRow("stopped") << "stop" << false << int(Kind::Cancelled);
        QTest::newRow("disk full") << "full" << false << int(Kind::DiskFull);
        QTest::newRow("cut before read back") << "cut" << true << int(Kind::ArchiveDamaged);
    }
    void backUp()
    {
        QFETCH(QString, fault);
        QFETCH(bool, written);
        QFETCH(int, kind);
        writeFile(folder_ + "/MEMO.MB", randomBytes(100000, 11));
        std::optional<testdata::SmallDisk> disk;
        if (fault == "full" && !disk.emplace(folder_ + "-disk", "64k").mounted())
            QSKIP("cannot mount a tmpfs here (needs root)");
        const QString archive = (fault == "full" ? folder_ + "-disk" : folder_ + "-arc") + "/a.bck";
        writeFile(archive, "old archive");
        TBackupFile engine;
        engine.OnError = [](TBackupFile*, qint32, const QString&) {};
        engine.OnProgress = [&](TBackupFile*, const QString& file, int percent, bool& cont) {
            if (fault == "stop" && !file.isEmpty()) cont = false;
            if (fault == "cut" && file.isEmpty() && percent == 100)
                writeFile(archive, readFile(archive).left(40000));
        };
        const QStringList files = fault == "nothing"
                                      ? QStringList{folder_ + "/*.XYZ"}
                                      : QStringList{folder_ + "/*.DB", folder_ + "/*.MB"};
        const backup::Outcome done = backup::runBackup(engine, files, archive, true);
        QCOMPARE(done.written, written);
        QCOMPARE(done.ok, fault.isEmpty());
        QCOMPARE(int(done.error.kind), kind);
        QVERIFY(done.ok || !done.error.message().isEmpty());
        if (fault.isEmpty()) QCOMPARE(done.checked, 6);  // five tables and MEMO.MB
        QCOMPARE(logged("Backup").size(), fault.isEmpty() ? 1 : 0);
        if (!written) QCOMPARE(readFile(archive), QByteArray("old archive"));
    }

    void restore_data()
    {
        QTest::addColumn<bool>("cut");
        QTest::newRow("whole") << false;
        QTest::newRow("cut short") << true;
    }
    void restore()
    {
        QFETCH(bool, cut);
        const QString src = folder_ + "-src", out = folder_ + "-out", archive = folder_ + "-r.bck";
        writeFile(src + "/A.DB", randomBytes(30000, 1));
        writeFile(src + "/B.DB", randomBytes(30000, 2));
        writeFile(out + "/B.DB", "before");
        TBackupFile engine;
        engine.OnError = [](TBackupFile*, qint32, const QString&) {};
        engine.SaveFileID = true;
        QVERIFY(engine.Backup({src + "/*.DB"}, archive));
        if (cut) writeFile(archive, readFile(archive).left(45000));  // inside B.DB's data
        const backup::RestoreOutcome done = backup::runRestore(engine, archive, out);
        QVERIFY(done.started);
        QCOMPARE(done.ok, !cut);
        QCOMPARE(done.restored.join(' '), QString(cut ? "A.DB" : "A.DB B.DB"));
        QCOMPARE(done.notRestored.join(' '), QString(cut ? "B.DB" : ""));
        QCOMPARE(readFile(out + "/B.DB") == "before", cut);
        const QStringList lines = logged("Restauração");
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines.first().contains("com falhas"), cut);
    }
};

QTEST_GUILESS_MAIN(TestBackupOperation)
#include "tst_backup_operation.moc"

// The backup and restore window, offscreen, through its handlers with the real engine, real
// table files and real archives: default files, backup, the read-back check, Cancel, archive
// information, restore refusals, a restore over open tables and a restore that fails.
#include "backup/backup.h"
#include "backup/ui/UFmBackup.h"
#include "core/dm/UDMTolmare.h"
#include "core/engine/EngineConfig.h"
#include "core/engine/Table.h"
#include "tests/common/ScriptedDialogs.h"
#include "tests/common/TestData.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray randomBytes(int n)
{
    QRandomGenerator rng(7);
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i) b[i] = char(rng.bounded(256));
    return b;
}

QStringList lines(const QListWidget* list)
{
    QStringList l;
    for (int i = 0; i < list->count(); ++i) l << list->item(i)->text();
    return l;
}

}  // namespace

class TestBackupWindow : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir_;
    QString data_;     // the data folder, ".../Tolmare/Dados"
    QString backups_;  // ".../Tolmare/Backup"
    int ended_ = 0;    // times the program was ended

    // A fresh data folder with the five tables and one parameters row.
    void tables()
    {
        testdata::makeDataFolder(data_);
        testdata::addRow("PARAMETROS.DB", {{"EMP_NOME", "Associação"}});
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Aposentados"}});
    }

    // Backs the data folder up through the window into `name` in the backup folder.
    QString backupThroughWindow(TFmBackup& w, testdata::ScriptedDialogs& dialogs,
                                const QString& name)
    {
        dialogs.fileName = backups_ + "/" + name;
        w.Button2Click();
        return dialogs.fileName;
    }

    void selectArchive(TFmBackup& w, const QString& name)
    {
        w.showArchivesOf(backups_);
        const QList<QListWidgetItem*> found = w.FileListBox1->findItems(name, Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        w.FileListBox1->setCurrentItem(found.first());
    }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        data_ = dir_->filePath("Tolmare/Dados");
        backups_ = dir_->filePath("Tolmare/Backup");
        QDir().mkpath(data_);
        db::EngineConfig::overrideAlias("Tolmare", data_);
        qputenv("TOLMARE_ARCHIVE_STATE", dir_->filePath("archive-state.txt").toUtf8());
        ended_ = 0;
        TFmBackup::setProgramEnd([this] { ++ended_; });
    }

    void defaultFilesOnOpening()
    {
        for (const char* name : {"GRUPO.DB", "GRUPO.MB", "ASSOCIADOS.DB", "KEYVIOL.DB",
                                 "Cópia de GRUPO.DB", "GRUPO2.DB"})
            writeFile(data_ + "/" + QString::fromUtf8(name), "x");
        testdata::ScriptedDialogs dialogs;
        TFmBackup w;
        w.show();
        QCOMPARE(w.windowTitle(), QString("Backup / Restauração"));
        QCOMPARE(lines(w.FileListBox), QStringList({data_ + "/ASSOCIADOS.DB", data_ + "/GRUPO.DB",
                                                    data_ + "/GRUPO.MB"}));
        QVERIFY(QFileInfo(backups_).isDir());
        QCOMPARE(w.archiveFolder(), backups_);
        QCOMPARE(w.EdPath->text(), data_ + "/");
        QCOMPARE(w.EdBackupTitle->text(),
                 "Tolmare_" + QDate::currentDate().toString("dd-MM-yyyy"));
        QVERIFY(dialogs.shown.isEmpty());
        w.Button5Click();
        QCOMPARE(w.FileListBox->count(), 0);
        dialogs.fileName = data_ + "/GRUPO.MB";
        w.Button1Click();
        w.Button1Click();  // the same file is listed once
        QCOMPARE(lines(w.FileListBox), QStringList({data_ + "/GRUPO.MB"}));
        w.BtnCancelClick();  // nothing runs: closes
        QVERIFY(!w.isVisible());
    }

    void dataFolderMissing()
    {
        db::EngineConfig::overrideAlias("Tolmare", dir_->filePath("none/Dados"));
        testdata::ScriptedDialogs dialogs;
        TFmBackup w;
        w.show();
        QCOMPARE(dialogs.shown, QStringList({"Erro ao localizar a pasta DADOS."}));
        QCOMPARE(w.FileListBox->count(), 0);
    }

    // A backup and a restore through the window's handlers: the parameters table is closed
    // during the backup and open after it; the restore closes every table and connection
    // before it writes, puts the files back as they were, and ends the program.
    void backupAndRestore()
    {
        tables();
        TDMTolmare dm;
        dm.TParametros->open();
        testdata::ScriptedDialogs dialogs;
        TFmBackup w;
        w.show();
        QCOMPARE(w.FileListBox->count(), 5);
        w.CbSaveFileID->setChecked(true);
        w.CompressionLevelItems->button(2)->setChecked(true);
        bool parametersClosed = false;
        const auto progress = w.Backupfile1->OnProgress;
        w.Backupfile1->OnProgress = [&](TBackupFile* s, const QString& f, int p, bool& c) {
            parametersClosed = parametersClosed || (!f.isEmpty() && !dm.TParametros->active());
            progress(s, f, p, c);
        };
        const QString archive = backupThroughWindow(w, dialogs, "dados");
        QCOMPARE(dialogs.proposed,
                 backups_ + "/Backup Tolmare " + QDate::currentDate().toString("dd-MM-yyyy")
                     + ".Bck");
        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY2(dialogs.shown.first().startsWith(
                     "Backup concluído com sucesso. Taxa de compactação = "),
                 qPrintable(dialogs.shown.first()));
        QVERIFY(dialogs.shown.first().endsWith(" %"));
        QVERIFY(parametersClosed);
        QVERIFY(dm.TParametros->active());
        QCOMPARE(w.ProgressBar1->value(), 0);
        QVERIFY(QFile::exists(archive + ".bck"));

        selectArchive(w, "dados.bck");
        w.FileListBox1Click();
        QCOMPARE(w.Edit2->text(), w.EdBackupTitle->text());
        QVERIFY(w.Edit1->text().startsWith("5 files, "));
        const QStringList shown = w.MeFiles->toPlainText().split('\n');
        QCOMPARE(shown.size(), 5);
        const QString today = QDate::currentDate().toString("dd/MM/yyyy");
        QVERIFY2(shown.first().startsWith(data_ + "/ASSOCIADOS.DB from " + today + ", "),
                 qPrintable(shown.first()));
        QVERIFY(shown.first().endsWith(" bytes"));
        // TOLMARE_SCREENSHOTS=folder keeps a picture of both tabs, to look at by eye.
        if (const QString shots = qEnvironmentVariable("TOLMARE_SCREENSHOTS"); !shots.isEmpty()) {
            for (int tab : {0, 1}) {
                w.PageControl1->setCurrentIndex(tab);
                w.grab().save(QString("%1/backup-tab%2.png").arg(shots).arg(tab));
            }
        }

        // Changed after the backup, and held open by a table while the restore runs.
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Depois"}});
        db::Table grupo;
        grupo.setTableName("GRUPO.DB");
        grupo.open();
        QCOMPARE(grupo.recordCount(), 2);
        dialogs.shown.clear();
        w.EdPath->setText(QString(data_).replace('/', '\\'));  // typed with "\"
        w.Button3Click();
        QCOMPARE(dialogs.shown,
                 QStringList({"Arquivos restaurados com sucesso, 5 de um total de 5 arquivos",
                              "Será necessário SAIR do SISTEMA para finlizar!"}));
        QVERIFY(!grupo.active());
        QVERIFY(!dm.TParametros->active());
        QCOMPARE(ended_, 1);
        QVERIFY(!w.isVisible());
        QCOMPARE(testdata::countRows(data_, "GRUPO.DB"), 1);
        QCOMPARE(testdata::countRows(data_, "PARAMETROS.DB"), 1);
        grupo.open();  // the restored file opens on a fresh connection
        QCOMPARE(grupo.recordCount(), 1);
    }

    // An incremental backup with nothing changed writes nothing: the archive of that name stays.
    void nothingChangedKeepsTheArchive()
    {
        writeFile(data_ + "/TEXTO.DB", "texto");
        testdata::ScriptedDialogs dialogs;
        TFmBackup w;
        w.show();
        w.BackupModeItems->button(1)->setChecked(true);
        const QString archive = backupThroughWindow(w, dialogs, "inc") + ".bck";
        const auto readFile = [](const QString& path) {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        const QByteArray first = readFile(archive);
        QVERIFY(!first.isEmpty());
        backupThroughWindow(w, dialogs, "inc");
        QCOMPARE(dialogs.shown.size(), 2);
        QVERIFY2(dialogs.shown[1].startsWith("Nenhum arquivo da lista"), qPrintable(dialogs.shown[1]));
        QCOMPARE(readFile(archive), first);
    }

    // Cancel while the backup runs asks first (once the files are read, so that no read lock
    // is held while the operator answers); Yes ends it as a failure, No goes on.
    void cancelDuringBackup_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("yes") << true << "Backup falhou ou foi abortado.";
        QTest::newRow("no") << false << "Backup concluído com sucesso. Taxa de compactação = ";
    }
    void cancelDuringBackup()
    {
        QFETCH(bool, yes);
        QFETCH(QString, outcome);
        writeFile(data_ + "/GRANDE.DB", randomBytes(1 << 20));
        writeFile(data_ + "/OUTRO.DB", randomBytes(1 << 20));
        testdata::ScriptedDialogs dialogs;
        dialogs.answer = yes;
        TFmBackup w;
        w.show();
        QCOMPARE(lines(w.FileListBox), QStringList({data_ + "/GRANDE.DB", data_ + "/OUTRO.DB"}));
        const auto progress = w.Backupfile1->OnProgress;
        bool clicked = false;
        QStringList filesAfterAnswer;
        w.Backupfile1->OnProgress = [&](TBackupFile* s, const QString& f, int p, bool& c) {
            progress(s, f, p, c);
            if (!dialogs.shown.isEmpty() && !f.isEmpty()) filesAfterAnswer << f;
            if (f.isEmpty() || clicked) return;
            clicked = true;
            QCOMPARE(w.Label1->text(), f);
            QVERIFY(!w.Button2->isEnabled());
            w.close();  // refused while busy
            QTest::mouseClick(w.BtnCancel, Qt::LeftButton);
        };
        const QString archive = backupThroughWindow(w, dialogs, "grande.bck");
        QVERIFY(clicked);
        QCOMPARE(dialogs.shown.size(), 2);
        QCOMPARE(dialogs.shown[0], QString("Do you want to abort the operation"));
        QVERIFY2(dialogs.shown[1].startsWith(outcome), qPrintable(dialogs.shown[1]));
        QVERIFY(filesAfterAnswer.isEmpty());  // asked once the tables were read, not before
        QCOMPARE(QFile::exists(archive), !yes);
        QVERIFY(w.isVisible());
        QVERIFY(w.Button2->isEnabled());
    }

    // The read-back check runs on the archive as it lies on disk once the engine has closed it:
    // one flipped byte in a block turns the message into a failure naming the archive.
    void checkCatchesAFlippedByte()
    {
        writeFile(data_ + "/TEXTO.DB", QByteArray("Associado;Grupo;Conta;Valor\r\n").repeated(2000));
        testdata::ScriptedDialogs dialogs;
        TFmBackup w;
        w.show();
        const QString archive = backups_ + "/virado.bck";
        const auto progress = w.Backupfile1->OnProgress;
        w.Backupfile1->OnProgress = [&](TBackupFile* s, const QString& f, int p, bool& c) {
            progress(s, f, p, c);
            if (p != 100 || !f.isEmpty()) return;
            QFile file(archive);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QByteArray bytes = file.readAll();
            // Header, then the entry's name length, name, date, tag and block length.
            const int block = 12 + w.EdBackupTitle->text().size() + 4
                              + (data_ + "/TEXTO.DB").toUtf8().size() + 4 + 4 + 4;
            bytes[block + 10] = char(bytes[block + 10] ^ 0x04);
            file.seek(0);
            file.write(bytes);
        };
        backupThroughWindow(w, dialogs, "virado.bck");
        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY2(dialogs.shown.first().startsWith("Backup falhou: o arquivo " + archive),
                 qPrintable(dialogs.shown.first()));
        QVERIFY(dialogs.shown.first().contains(data_ + "/TEXTO.DB"));  // and the file it hit
    }

    void archiveInformation_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("fileIds");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("files");
        QTest::newRow("no title") << "" << true << "" << "";
        QTest::newRow("no file information")
            << "Mensal" << false << "1 files, 2 KB total"
            << "No extended file information in this archive";
    }
    void archiveInformation()
    {
        QFETCH(QString, title);
        QFETCH(bool, fileIds);
        QFETCH(QString, summary);
        QFETCH(QString, files);
        writeFile(data_ + "/GRUPO.DB", QByteArray(2048, 'g'));
        testdata::ScriptedDialogs dialogs;
        TFmBackup w;
        w.show();
        TBackupFile b;
        b.BackupTitle = title;
        b.SaveFileID = fileIds;
        QVERIFY(b.Backup({data_ + "/GRUPO.DB"}, backups_ + "/a.bck"));
        w.Edit2->setText("antes");
        w.Edit1->setText("antes");
        selectArchive(w, "a.bck");
        w.FileListBox1Click();
        QCOMPARE(w.Edit2->text(), title);
        QCOMPARE(w.Edit1->text(), summary);
        QCOMPARE(w.MeFiles->toPlainText(), files);
    }

    // Refusals leave everything as it was: the program goes on with its parameters open.
    void restoreRefusals_data()
    {
        QTest::addColumn<bool>("select");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message");
        QTest::newRow("no archive") << false << "/" << "Selecione um arquivo!";
        QTest::newRow("no folder") << true << "  " << "Informe um local para restauração.";
        QTest::newRow("missing folder") << true << "/nao/existe"
                                        << "O diretório informado: /nao/existe não existe.\r"
                                           "Informe um diretório válido.";
        QTest::newRow("a file") << true << "@file"
                                << "não existe.\rInforme um diretório válido.";
    }
    void restoreRefusals()
    {
        QFETCH(bool, select);
        QFETCH(QString, path);
        QFETCH(QString, message);
        tables();
        TDMTolmare dm;
        dm.TParametros->open();
        testdata::ScriptedDialogs dialogs;
        TFmBackup w;
        w.show();
        TBackupFile b;
        QVERIFY(b.Backup({data_ + "/GRUPO.DB"}, backups_ + "/a.bck"));
        if (select) selectArchive(w, "a.bck");
        else w.FileListBox1->setCurrentItem(nullptr);
        w.EdPath->setText(path == "@file" ? data_ + "/GRUPO.DB" : path);
        w.Button3Click();
        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY2(dialogs.shown.first().endsWith(message), qPrintable(dialogs.shown.first()));
        QVERIFY(dm.TParametros->active());
        QCOMPARE(ended_, 0);
        QVERIFY(w.isVisible());
    }

    // A restore that fails part-way says which files were restored and which were not (by name
    // when the archive lists its files), and the program still ends.
    void failedRestoreSaysWhatWasRestored_data()
    {
        QTest::addColumn<bool>("fileIds");
        QTest::addColumn<QString>("notRestored");
        QTest::newRow("listed") << true << "B.DB, C.DB";
        QTest::newRow("not listed") << false << "B.DB, e os que vinham depois no backup";
    }
    void failedRestoreSaysWhatWasRestored()
    {
        QFETCH(bool, fileIds);
        QFETCH(QString, notRestored);
        writeFile(data_ + "/A.DB", QByteArray(5000, 'a'));
        writeFile(data_ + "/B.DB", QByteArray(5000, 'b'));
        writeFile(data_ + "/C.DB", QByteArray(5000, 'c'));
        TBackupFile b;
        b.SaveFileID = fileIds;
        const QString archive = backups_ + "/abc.bck";
        QDir().mkpath(backups_);
        QVERIFY(b.Backup({data_ + "/*.DB"}, archive));
        QFile file(archive);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        // B.DB's only block: its check value's last byte.
        const int second = bytes.lastIndexOf("B.DB") + 4 + 4 + 8;  // name, date, tag, length
        const qint32 length = qFromLittleEndian<qint32>(bytes.constData() + second - 4);
        QVERIFY(length > 0 && length < 200);
        bytes[second + length - 1] = char(bytes[second + length - 1] ^ 0x20);
        file.seek(0);
        file.write(bytes);
        file.close();
        const QString dest = dir_->filePath("destino");
        QDir().mkpath(dest);
        writeFile(dest + "/B.DB", "antes");

        testdata::ScriptedDialogs dialogs;
        TFmBackup w;
        w.show();
        selectArchive(w, "abc.bck");
        w.EdPath->setText(dest);
        w.Button3Click();
        QCOMPARE(dialogs.shown.size(), 3);
        QVERIFY(dialogs.shown[0].startsWith("Compression error"));  // the engine's own report
        QCOMPARE(dialogs.shown[1], "Falha na restauração ou cancelado pelo usuário.\n\n"
                                   "Arquivos restaurados: A.DB\nArquivos não restaurados: "
                                   + notRestored);
        QCOMPARE(dialogs.shown[2], QString("Será necessário SAIR do SISTEMA para finlizar!"));
        QCOMPARE(ended_, 1);
        QFile kept(dest + "/B.DB");  // the file that failed is left as it was
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("antes"));
    }
};

QTEST_MAIN(TestBackupWindow)
#include "tst_backup_window.moc"

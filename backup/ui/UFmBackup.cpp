#include "backup/ui/UFmBackup.h"

#include "backup/EventPump.h"
#include "backup/operation/BackupOperation.h"
#include "backup/rules/BackupChoices.h"
#include "backup/rules/BackupFolders.h"
#include "core/Dialogs.h"
#include "core/dm/UDMTolmare.h"
#include "core/engine/EngineConfig.h"
#include "core/engine/EngineError.h"
#include "core/engine/Table.h"
#include "core/store/TableReadLock.h"
#include "core/ui/PrepararJanela.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextCursor>
#include <QTreeView>

#include <memory>

TFmBackup* FmBackup = nullptr;

namespace {

std::function<void()>& programEnd()
{
    static std::function<void()> end = [] { QCoreApplication::exit(0); };
    return end;
}

void say(dialogs::Kind kind, const QString& text) { dialogs::current().message(kind, text); }

void warnNotLogged(const QString& problem)
{
    if (!problem.isEmpty())
        say(dialogs::Kind::Warning,
            QString::fromUtf8("A operação não pôde ser registrada no histórico: ") + problem);
}

}  // namespace

void TFmBackup::setProgramEnd(std::function<void()> end) { programEnd() = std::move(end); }

TFmBackup::TFmBackup(QWidget* parent) : QDialog(parent)
{
    setObjectName("FmBackup");
    setWindowTitle(QString::fromUtf8("Backup / Restauração"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    setFixedSize(533, 418);

    createControls();

    Backupfile1 = new TBackupFile(this);
    Backupfile1->setObjectName("Backupfile1");
    Backupfile1->setBackupMode(TBackupFile::bmIncremental);  // as stored: SetArchiveFlag true
    Backupfile1->CompressionLevel = TBackupFile::clFastest;
    Backupfile1->RestoreMode = TBackupFile::rmAll;
    Backupfile1->OnProgress = [this](TBackupFile* s, const QString& f, int p, bool& c) {
        Backupfile1Progress(s, f, p, c);
    };
    // The tables are read under one read lock over them all, so that the copy is one committed
    // state. The lock is never held while the operator is asked something: a Cancel pressed
    // meanwhile is asked about once the files are read and the lock let go (see BtnCancelClick).
    Backupfile1->ReadLock = [this](const QStringList& paths, QString& failed) -> std::shared_ptr<void> {
        askCancel();
        std::shared_ptr<void> lock = store::readLockTables(paths, failed);
        if (!lock) return {};
        ++locksHeld_;
        return std::shared_ptr<void>(lock.get(), [this, lock](void*) mutable {
            lock.reset();
            if (--locksHeld_ == 0) askCancel();
        });
    };

    connect(Button4, &QPushButton::clicked, this, &TFmBackup::Button4Click);
    connect(Button1, &QPushButton::clicked, this, &TFmBackup::Button1Click);
    connect(Button5, &QPushButton::clicked, this, &TFmBackup::Button5Click);
    connect(Button2, &QPushButton::clicked, this, &TFmBackup::Button2Click);
    connect(BtnCancel, &QPushButton::clicked, this, &TFmBackup::BtnCancelClick);
    connect(Button6, &QPushButton::clicked, this, &TFmBackup::BtnCancelClick);
    connect(Button3, &QPushButton::clicked, this, &TFmBackup::Button3Click);
    connect(FileListBox1, &QListWidget::itemClicked, this, &TFmBackup::FileListBox1Click);
    connect(DirectoryListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& index) { showArchivesOf(folders_->filePath(index)); });

    // While the engine runs, the window's events go through every few hundredths of a second,
    // so that it repaints and Cancel reaches Abort; its questions go to the operator.
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    backupui::setEventPump([clock] {
        if (clock->elapsed() < 30) return;
        QCoreApplication::processEvents();
        clock->restart();
    });
    backupui::setErrorBox([](const QString& text) { say(dialogs::Kind::Error, text); });
    backupui::setDiskPrompt([](const QString& text) { return dialogs::current().confirm(text); });
    FmBackup = this;
}

TFmBackup::~TFmBackup()
{
    backupui::setEventPump({});
    backupui::setErrorBox({});
    backupui::setDiskPrompt({});
    if (FmBackup == this) FmBackup = nullptr;
}

void TFmBackup::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TFmBackup::FormShow() { Button4Click(); }

// While a backup or restore runs the window stays open: only Cancel (with its question)
// reaches the engine.
void TFmBackup::closeEvent(QCloseEvent* event)
{
    if (running_) event->ignore();
    else QDialog::closeEvent(event);
}

void TFmBackup::reject()
{
    if (!running_) QDialog::reject();
}

void TFmBackup::setRunning(bool on)
{
    running_ = on;
    for (QWidget* w : {static_cast<QWidget*>(Button1), static_cast<QWidget*>(Button2),
                       static_cast<QWidget*>(Button3), static_cast<QWidget*>(Button4),
                       static_cast<QWidget*>(Button5), static_cast<QWidget*>(FileListBox1)})
        w->setEnabled(!on);
}

void TFmBackup::Button4Click()
{
    FileListBox->clear();
    const QString data = fmbackup::dataFolder(db::EngineConfig::aliasParams("Tolmare"));
    const QString backups = fmbackup::backupFolder(data);
    if (data.isEmpty() || !QFileInfo(data).isDir()
        || (!QFileInfo(backups).isDir() && !QDir().mkdir(backups))) {
        say(dialogs::Kind::Plain, "Erro ao localizar a pasta DADOS.");
        return;
    }
    EdPath->setText(data);
    EdPath->setCursorPosition(0);
    showArchivesOf(backups);
    FileListBox->addItems(fmbackup::defaultFiles(data));
    EdBackupTitle->setText(fmbackup::backupTitle(QDate::currentDate()));
}

void TFmBackup::showArchivesOf(const QString& folder)
{
    archiveFolder_ = folder;
    const QModelIndex index = folders_->index(folder);
    if (index.isValid() && DirectoryListBox1->currentIndex() != index) {
        DirectoryListBox1->setCurrentIndex(index);  // comes back here through currentChanged
        DirectoryListBox1->scrollTo(index);
    }
    FileListBox1->clear();
    FileListBox1->addItems(fmbackup::archivesIn(folder));
}

void TFmBackup::Button1Click()
{
    const QStringList chosen = dialogs::current().openFileNames(
        "Adicionar arquivos", fmbackup::dataFolder(db::EngineConfig::aliasParams("Tolmare")));
    for (const QString& file : chosen) {
        const QString path = QFileInfo(file).absoluteFilePath();
        if (FileListBox->findItems(path, Qt::MatchExactly).isEmpty()) FileListBox->addItem(path);
    }
}

void TFmBackup::Button5Click() { FileListBox->clear(); }

void TFmBackup::reopenParameters()
{
    if (!DMTolmare) return;
    try {
        DMTolmare->TParametros->open();
    } catch (const db::EngineError& e) {
        say(dialogs::Kind::Error, e.message());
    }
}

void TFmBackup::Button2Click()
{
    struct ResetBar {
        QProgressBar* bar;
        ~ResetBar() { bar->setValue(0); }
    } resetBar{ProgressBar1};
    if (FileListBox->count() == 0) {
        say(dialogs::Kind::Plain, QString::fromUtf8("Não existe nenhu arquivo adicionado."));
        return;
    }
    const QString data = fmbackup::dataFolder(db::EngineConfig::aliasParams("Tolmare"));
    const QString chosen = dialogs::current().saveFileName(
        "Salvar backup", fmbackup::proposedArchive(fmbackup::backupFolder(data), QDate::currentDate()),
        "Backup archives (*.bck)");
    if (chosen.isEmpty()) return;
    const QString archive = fmbackup::archiveName(chosen);
    const std::optional<qint32> maxSize = fmbackup::volumeBytes(EdVolumeSize->text());
    if (!maxSize) {
        say(dialogs::Kind::Plain, QString::fromUtf8(
                "Tamanho de volume inválido: informe os megabytes de cada volume (1 a 2000), "
                "ou deixe em branco para um só volume."));
        return;
    }
    QStringList files;
    for (int i = 0; i < FileListBox->count(); ++i) files << FileListBox->item(i)->text();

    if (DMTolmare) DMTolmare->TParametros->close();
    Backupfile1->MaxSize = *maxSize;
    Backupfile1->BackupTitle = EdBackupTitle->text();
    Backupfile1->setBackupMode(fmbackup::modeForItem(BackupModeItems->checkedId()));
    Backupfile1->CompressionLevel = fmbackup::levelForItem(CompressionLevelItems->checkedId());
    Backupfile1->SaveFileID = CbSaveFileID->isChecked();
    setRunning(true);
    backup::Follow follow;
    follow.checking = [this](const QString& file, int percent) {
        ProgressBar1->setMaximum(100);
        ProgressBar1->setValue(percent);
        Label1->setText(QString::fromUtf8("Verificando ") + QFileInfo(file).fileName());
    };
    const backup::Outcome done = backup::runBackup(*Backupfile1, files, archive, true, follow);
    cancelPending_ = false;  // the run is over: nothing left to stop
    Label1->clear();
    setRunning(false);
    reopenParameters();
    if (done.error.kind == backup::RunError::Kind::NothingToDo) {
        // A backup of nothing would only replace the archive of that name.
        say(dialogs::Kind::Plain, QString::fromUtf8(
                "Nenhum arquivo da lista existe ou mudou desde o último backup incremental: "
                "nenhum backup foi gravado."));
    } else if (!done.written) {
        say(dialogs::Kind::Plain, "Backup falhou ou foi abortado.");
    } else if (!done.ok) {
        say(dialogs::Kind::Error,
            QString::fromUtf8("Backup falhou: o arquivo %1 não pôde ser lido de volta.\n%2")
                .arg(archive, done.error.described()));
    } else {
        warnNotLogged(done.logProblem);
        say(dialogs::Kind::Plain,
            QString::fromUtf8("Backup concluído com sucesso. Taxa de compactação = %1 %")
                .arg(Backupfile1->CompressionRate()));
    }
    showArchivesOf(archiveFolder_);
}

void TFmBackup::Backupfile1Progress(TBackupFile*, const QString& fileName, int, bool&)
{
    if (locksHeld_ == 0) askCancel();
    ProgressBar1->setMaximum(std::max(Backupfile1->FileCount, 1));
    ProgressBar1->setValue(std::min(Backupfile1->FilesDone, ProgressBar1->maximum()));
    Label1->setText(fileName);
    update();
}

void TFmBackup::BtnCancelClick()
{
    if (!Backupfile1->Busy()) {
        // Once the archive is complete, reading it back is not stopped.
        if (!running_) close();
        return;
    }
    cancelPending_ = true;
    if (locksHeld_ == 0) askCancel();
}

void TFmBackup::askCancel()
{
    if (!cancelPending_) return;
    cancelPending_ = false;
    if (dialogs::current().yesNo("Do you want to abort the operation")) Backupfile1->Abort();
}

void TFmBackup::FileListBox1Click()
{
    MeFiles->clear();
    QListWidgetItem* item = FileListBox1->currentItem();
    if (!item) return;
    QStringList lines;
    QString title;
    Backupfile1->GetArchiveInfo(QDir(archiveFolder_).filePath(item->text()), &lines, title);
    Edit2->setText(title);
    if (title.isEmpty()) {
        Edit1->clear();
        return;
    }
    Edit1->setText(fmbackup::summaryLine(Backupfile1->FileCount, Backupfile1->TotalSize));
    for (const QString& line : lines) MeFiles->appendPlainText(fmbackup::fileLine(line));
    if (lines.isEmpty()) MeFiles->appendPlainText("No extended file information in this archive");
    MeFiles->moveCursor(QTextCursor::Start);
}

void TFmBackup::Button3Click()
{
    QListWidgetItem* item = FileListBox1->currentItem();
    if (!item) {
        say(dialogs::Kind::Plain, "Selecione um arquivo!");
        return;
    }
    const QString typed = EdPath->text();
    if (typed.trimmed().isEmpty()) {
        say(dialogs::Kind::Plain, QString::fromUtf8("Informe um local para restauração."));
        return;
    }
    const QString dest = fmbackup::typedPath(typed);
    if (!QFileInfo(dest).isDir()) {
        say(dialogs::Kind::Plain,
            QString::fromUtf8("O diretório informado: %1 não existe.\rInforme um diretório válido.")
                .arg(typed));
        return;
    }
    const QString archive = QDir(archiveFolder_).filePath(item->text());
    if (DMTolmare) DMTolmare->TParametros->close();
    Backupfile1->RestoreMode = TBackupFile::rmAll;
    Backupfile1->RestoreFullPath = false;
    backup::Follow follow;
    follow.missingVolume = [](int disk, const QString&) {
        return dialogs::current().confirm(
            QString("Insira o disco %1 e click em OK para continuar.").arg(disk));
    };
    setRunning(true);
    const backup::RestoreOutcome done = backup::runRestore(*Backupfile1, archive, dest, follow);
    setRunning(false);
    ProgressBar1->setValue(0);
    if (!done.reported && done.error.code != 0) say(dialogs::Kind::Error, done.error.described());
    if (!done.started) {
        // The archive could not be read at all: nothing was written, the program goes on.
        reopenParameters();
        return;
    }
    warnNotLogged(done.logProblem);
    if (done.ok)
        say(dialogs::Kind::Plain,
            fmbackup::restoreDoneMessage(Backupfile1->FilesDone, Backupfile1->FileCount));
    else
        say(dialogs::Kind::Plain,
            fmbackup::restoreFailedMessage(done.restored, done.notRestored, done.listed));
    say(dialogs::Kind::Information, QString::fromUtf8("Será necessário SAIR do SISTEMA para finlizar!"));
    endProgram();
}

void TFmBackup::endProgram()
{
    QDialog::reject();
    if (programEnd()) programEnd()();
}

void abrirBackup(QWidget* parent)
{
    TFmBackup window(parent);
    window.exec();
}

void TFmBackup::setVisible(bool visible)
{
    if (visible) prepararJanela(this);
    QDialog::setVisible(visible);
}

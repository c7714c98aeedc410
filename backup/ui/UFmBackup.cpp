#include "backup/ui/UFmBackup.h"

#include "backup/EventPump.h"
#include "backup/rules/BackupChoices.h"
#include "backup/rules/BackupFolders.h"
#include "core/Dialogs.h"
#include "core/Historico.h"
#include "core/dm/UDMTolmare.h"
#include "core/engine/Database.h"
#include "core/engine/EngineConfig.h"
#include "core/engine/EngineError.h"
#include "core/engine/Table.h"
#include "core/store/TableReadLock.h"
#include "core/ui/PrepararJanela.h"
#include "remittance/RetornosImportados.h"

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
    if (Backupfile1->Busy() || checking_) event->ignore();
    else QDialog::closeEvent(event);
}

void TFmBackup::reject()
{
    if (!Backupfile1->Busy() && !checking_) QDialog::reject();
}

void TFmBackup::setRunning(bool on)
{
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
    // A backup of nothing would only replace the archive of that name.
    if (Backupfile1->ListFiles(files, archive).isEmpty()) {
        reopenParameters();
        say(dialogs::Kind::Plain, QString::fromUtf8(
                "Nenhum arquivo da lista existe ou mudou desde o último backup incremental: "
                "nenhum backup foi gravado."));
        return;
    }
    // Further volumes are files beside the first: nothing to change, no question.
    Backupfile1->OnNeedDisk = [](TBackupFile*, quint16, bool& cont) { cont = true; };
    bool ok = false;
    setRunning(true);
    try {
        ok = Backupfile1->Backup(files, archive);
    } catch (const BackupException& e) {
        say(dialogs::Kind::Error, e.message());
    }
    cancelPending_ = false;  // the run is over: nothing left to stop
    const QString damaged = ok ? readBack(archive) : QString();
    Label1->clear();
    setRunning(false);
    reopenParameters();
    if (!ok) {
        say(dialogs::Kind::Plain, "Backup falhou ou foi abortado.");
    } else if (!damaged.isEmpty()) {
        say(dialogs::Kind::Error,
            QString::fromUtf8("Backup falhou: o arquivo %1 não pôde ser lido de volta.\n%2")
                .arg(archive, damaged));
    } else {
        logOperation("Backup", QString("arquivo %1: %2 arquivo(s), %3 bytes, lido de volta")
                                   .arg(archive).arg(Backupfile1->FilesDone)
                                   .arg(Backupfile1->TotalSize));
        say(dialogs::Kind::Plain,
            QString::fromUtf8("Backup concluído com sucesso. Taxa de compactação = %1 %")
                .arg(Backupfile1->CompressionRate()));
    }
    showArchivesOf(archiveFolder_);
}

QString TFmBackup::readBack(const QString& archive)
{
    TBackupFile check;
    QString problem;
    check.OnError = [&problem](TBackupFile* b, qint32, const QString& message) {
        problem = b->ErrorFile.isEmpty() ? message : message + ": " + b->ErrorFile;
        if (!b->ErrorDetail.isEmpty()) problem += "\n" + b->ErrorDetail;
    };
    check.OnProgress = [this](TBackupFile*, const QString& file, int percent, bool&) {
        ProgressBar1->setMaximum(100);
        ProgressBar1->setValue(percent);
        Label1->setText(QString::fromUtf8("Verificando ") + QFileInfo(file).fileName());
    };
    check.OnNeedDisk = [archive](TBackupFile*, quint16 disk, bool& cont) {
        cont = QFile::exists(TBackupFile::volumePath(archive, disk));
    };
    checking_ = true;
    bool ok = false;
    try {
        ok = check.Verify(archive);
    } catch (const BackupException& e) {
        problem = e.message();
    }
    checking_ = false;
    if (ok) return {};
    return problem.isEmpty() ? QString::fromUtf8("a leitura não chegou ao fim do backup") : problem;
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
    if (checking_) return;  // the archive is complete; reading it back is not stopped
    if (!Backupfile1->Busy()) {
        close();
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
    // The archive's files, when it lists them; not restored until the engine says so.
    QStringList pending;
    QString title;
    QStringList listed;
    Backupfile1->GetArchiveInfo(archive, &listed, title);
    for (const QString& line : listed)
        pending << fmbackup::typedPath(line.section('\t', 0, 0)).section('/', -1);
    const bool complete = !listed.isEmpty();

    // No table file may stay open while it is replaced: every dataset and connection of the
    // program is closed before the first file is written.
    if (DMTolmare) DMTolmare->TParametros->close();
    db::Session::instance().closeAll();
    const retorno::RetDebitoAntes retDebito = retorno::antesDaRestauracao(
        fmbackup::dataFolder(db::EngineConfig::aliasParams("Tolmare")));

    // A file counts as restored once the engine has gone on to the next one with it done;
    // the file a failed run was on is not counted, whatever the engine's count says.
    QStringList restored;
    QString current;
    bool attempted = false;
    qint32 doneBefore = 0;
    auto settle = [&](bool finished) {
        const QString name = QFileInfo(current).fileName();
        if (finished && !current.isEmpty() && Backupfile1->FilesDone > doneBefore) {
            restored << name;
            pending.removeOne(name);
        } else if (!current.isEmpty() && !pending.contains(name)) {
            pending << name;
        }
        current.clear();
    };
    Backupfile1->OnRestoreFile = [&](TBackupFile*, QString& target, qint32, bool& doRestore) {
        settle(true);
        attempted = true;
        if (doRestore) current = target;
        doneBefore = Backupfile1->FilesDone;
    };
    Backupfile1->OnNeedDisk = [archive](TBackupFile*, quint16 disk, bool& cont) {
        cont = QFile::exists(TBackupFile::volumePath(archive, disk))
               || dialogs::current().confirm(
                   QString("Insira o disco %1 e click em OK para continuar.").arg(disk));
    };
    Backupfile1->RestoreMode = TBackupFile::rmAll;
    Backupfile1->RestoreFullPath = false;
    bool ok = false;
    bool started = false;
    setRunning(true);
    try {
        ok = Backupfile1->Restore(archive, dest);
        started = true;
    } catch (const BackupException& e) {
        started = attempted;
        say(dialogs::Kind::Error, e.message());
    }
    settle(ok);
    Backupfile1->OnRestoreFile = nullptr;
    setRunning(false);
    ProgressBar1->setValue(0);
    if (!started) {
        // The archive could not be read at all: nothing was written, the program goes on.
        reopenParameters();
        return;
    }
    // A copy of RET_DEBITO.DB put back also undoes the return imports recorded after it.
    const QString detalhe = QString::fromUtf8("arquivo %1 em %2: %3 arquivo(s) restaurado(s)%4")
                                .arg(archive, dest).arg(restored.size())
                                .arg(ok ? QString() : QString::fromUtf8(", com falhas"));
    try {
        retorno::registrarRestauracao(db::Session::instance().connectionFor("Tolmare"), detalhe,
                                      retDebito);
    } catch (const db::EngineError& e) {
        say(dialogs::Kind::Warning,
            QString::fromUtf8("A operação não pôde ser registrada no histórico: ") + e.message());
    }
    if (ok)
        say(dialogs::Kind::Plain,
            fmbackup::restoreDoneMessage(Backupfile1->FilesDone, Backupfile1->FileCount));
    else
        say(dialogs::Kind::Plain, fmbackup::restoreFailedMessage(restored, pending, complete));
    say(dialogs::Kind::Information, QString::fromUtf8("Será necessário SAIR do SISTEMA para finlizar!"));
    endProgram();
}

void TFmBackup::logOperation(const QString& operacao, const QString& detalhe)
{
    try {
        historico::registrar(operacao, detalhe);
    } catch (const db::EngineError& e) {
        say(dialogs::Kind::Warning,
            QString::fromUtf8("A operação não pôde ser registrada no histórico: ") + e.message());
    }
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

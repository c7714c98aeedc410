// The backup and restore window: backs the data files up into an archive, which is read back
// before the backup is said to be done, and restores an archive over them, after which the
// program ends.
#pragma once

#include "backup/backup.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QButtonGroup;
class QGroupBox;
class QTabWidget;
class QTreeView;
class QFileSystemModel;

class TFmBackup : public QDialog {
    Q_OBJECT
public:
    explicit TFmBackup(QWidget* parent = nullptr);
    ~TFmBackup() override;
    // Before the first show: the layout scaled to the font, controls named (prepararJanela).
    void setVisible(bool visible) override;

    // How the program ends after a restore (QCoreApplication::exit by default; tests count).
    static void setProgramEnd(std::function<void()> end);

    QTabWidget* PageControl1;
    QProgressBar* ProgressBar1;
    QLabel* Label1;
    // Tab "Backup".
    QListWidget* FileListBox;
    QPushButton* Button4;
    QPushButton* Button1;
    QPushButton* Button5;
    QLineEdit* EdBackupTitle;
    QGroupBox* rgBackupMode;
    QButtonGroup* BackupModeItems;
    QGroupBox* rgCompressionLevel;
    QButtonGroup* CompressionLevelItems;
    QCheckBox* CbSaveFileID;
    QLineEdit* EdVolumeSize;  // megabytes per volume; empty: one volume
    QPushButton* Button2;
    QPushButton* BtnCancel;
    // Tab "Restaurar".
    QTreeView* DirectoryListBox1;
    QListWidget* FileListBox1;
    QLineEdit* Edit2;
    QLineEdit* Edit1;
    QPlainTextEdit* MeFiles;
    QGroupBox* gbRestorepath;
    QLineEdit* EdPath;
    QPushButton* Button3;
    QPushButton* Button6;

    TBackupFile* Backupfile1;

    void Button4Click();
    void Button1Click();
    void Button5Click();
    void Button2Click();
    void BtnCancelClick();
    void FileListBox1Click();
    void Button3Click();
    void Backupfile1Progress(TBackupFile* sender, const QString& fileName, int percent, bool& cont);

    // The folder whose archives FileListBox1 lists.
    QString archiveFolder() const { return archiveFolder_; }
    void showArchivesOf(const QString& folder);
    // The restore tab with the archive at `path` chosen and its content shown; false when the
    // archive is not among its folder's archives.
    bool chooseArchive(const QString& path);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void createControls();  // UFmBackupControls.cpp
    void FormShow();
    void setRunning(bool on);
    void reopenParameters();
    void endProgram();
    void askCancel();

    QFileSystemModel* folders_;
    QString archiveFolder_;
    int locksHeld_ = 0;           // table read locks the running backup holds
    bool running_ = false;        // a backup (with its reading back) or a restore runs
    bool cancelPending_ = false;  // Cancel pressed while a lock was held: asked when released
};

extern TFmBackup* FmBackup;

// Opens the window modally and frees it when it closes.
void abrirBackup(QWidget* parent);
// The same, on the restore tab with the archive at `archive` chosen (chooseArchive).
void abrirBackupNoArquivo(QWidget* parent, const QString& archive);

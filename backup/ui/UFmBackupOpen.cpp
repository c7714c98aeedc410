// Opening the window on one archive (a backup file opened from the desktop): the restore tab,
// the archive's folder listed, the archive chosen and its content shown.
#include "backup/ui/UFmBackup.h"

#include "core/Dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QTabWidget>

bool TFmBackup::chooseArchive(const QString& path)
{
    const QFileInfo info(path);
    PageControl1->setCurrentIndex(1);
    showArchivesOf(info.absolutePath());
    const QList<QListWidgetItem*> found =
        FileListBox1->findItems(info.fileName(), Qt::MatchExactly);
    if (found.isEmpty()) return false;
    FileListBox1->setCurrentItem(found.first());
    FileListBox1Click();
    return true;
}

void abrirBackupNoArquivo(QWidget* parent, const QString& archive)
{
    TFmBackup window(parent);
    window.show();  // the opening's default files first, as from the main window
    if (!window.chooseArchive(archive))
        dialogs::current().message(dialogs::Kind::Error,
                                   "O arquivo de backup " + QDir::toNativeSeparators(archive)
                                       + " não foi encontrado.\nEscolha o backup na lista da "
                                         "aba Restaurar.");
    window.exec();
}

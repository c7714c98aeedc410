// The controls of the backup and restore window, laid out in its fixed client area.
#include "backup/ui/UFmBackup.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// A path wider than the list is shown shortened in the middle, so its file name stays
// readable; the item keeps the whole path.
class ShortenedPaths : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        QStyleOptionViewItem o(option);
        if (auto* view = qobject_cast<QAbstractItemView*>(parent()))
            o.rect.setRight(std::min(o.rect.right(), view->viewport()->rect().right()));
        o.textElideMode = Qt::ElideMiddle;
        QStyledItemDelegate::paint(painter, o, index);
    }
};

QPushButton* button(QWidget* parent, const QString& name, const QString& caption)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

QLineEdit* edit(QWidget* parent, const QString& name, bool readOnly = false)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setReadOnly(readOnly);
    return e;
}

// A radio group: a titled box of exclusive items, the first one checked.
QGroupBox* radioGroup(QWidget* parent, const QString& name, const QString& title,
                      const QStringList& items, QButtonGroup*& group)
{
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(name);
    auto* layout = new QVBoxLayout(box);
    group = new QButtonGroup(box);
    for (int i = 0; i < items.size(); ++i) {
        auto* item = new QRadioButton(items[i], box);
        item->setObjectName(name + QString::number(i));
        item->setChecked(i == 0);
        group->addButton(item, i);
        layout->addWidget(item);
    }
    return box;
}

}  // namespace

void TFmBackup::createControls()
{
    auto* outer = new QVBoxLayout(this);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    outer->addWidget(PageControl1, 1);
    auto* strip = new QHBoxLayout;
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    Label1->setMinimumWidth(300);
    strip->addWidget(ProgressBar1, 1);
    strip->addWidget(Label1, 2);
    outer->addLayout(strip);

    // Tab "Backup": the list on the left, the buttons and choices on the right.
    auto* backupTab = new QWidget;
    backupTab->setObjectName("TabBackup");
    PageControl1->addTab(backupTab, "Backup");
    auto* bl = new QHBoxLayout(backupTab);
    FileListBox = new QListWidget(backupTab);
    FileListBox->setObjectName("FileListBox");
    FileListBox->setItemDelegate(new ShortenedPaths(FileListBox));
    FileListBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    bl->addWidget(FileListBox, 1);
    auto* side = new QVBoxLayout;
    bl->addLayout(side);
    Button4 = button(backupTab, "Button4", QString::fromUtf8("Adicionar arquivo(s) padrões."));
    Button1 = button(backupTab, "Button1", "Loc. Arquivo(s) e adicionar a lista");
    Button5 = button(backupTab, "Button5", "Lipar lista de arquivo(s)");
    side->addWidget(Button4);
    side->addWidget(Button1);
    side->addWidget(Button5);
    side->addWidget(new QLabel(QString::fromUtf8("Título do Backup:"), backupTab));
    EdBackupTitle = edit(backupTab, "EdBackupTitle");
    EdBackupTitle->setText("My backup");
    side->addWidget(EdBackupTitle);
    auto* groups = new QHBoxLayout;
    rgBackupMode = radioGroup(backupTab, "rgBackupMode", "Modo do Backup",
                              {"Completo", "Incremental"}, BackupModeItems);
    rgCompressionLevel = radioGroup(
        backupTab, "rgCompressionLevel", QString::fromUtf8("Nível de Compactação"),
        {QString::fromUtf8("Rápido"), QString::fromUtf8("Padrão"), QString::fromUtf8("Máxima"),
         "Nenhuma"},
        CompressionLevelItems);
    groups->addWidget(rgBackupMode, 0, Qt::AlignTop);
    groups->addWidget(rgCompressionLevel);
    side->addLayout(groups);
    CbSaveFileID = new QCheckBox("Salvar atributos", backupTab);
    CbSaveFileID->setObjectName("CbSaveFileID");
    side->addWidget(CbSaveFileID);
    auto* volume = new QHBoxLayout;
    volume->addWidget(new QLabel("Volumes de (MB):", backupTab));
    EdVolumeSize = edit(backupTab, "EdVolumeSize");
    EdVolumeSize->setPlaceholderText("um só volume");
    EdVolumeSize->setToolTip("Tamanho de cada volume em megabytes; em branco, um só arquivo.");
    volume->addWidget(EdVolumeSize);
    side->addLayout(volume);
    side->addStretch(1);
    auto* runButtons = new QHBoxLayout;
    Button2 = button(backupTab, "Button2", "Fazer &Backup");
    BtnCancel = button(backupTab, "BtnCancel", "Cancelar");
    runButtons->addWidget(Button2);
    runButtons->addWidget(BtnCancel);
    side->addLayout(runButtons);

    // Tab "Restaurar": a folder tree and the archives of the chosen folder stand in for the
    // drive, folder and file boxes.
    auto* restoreTab = new QWidget;
    restoreTab->setObjectName("TabRestaurar");
    PageControl1->addTab(restoreTab, "Restaurar");
    auto* rl = new QGridLayout(restoreTab);
    folders_ = new QFileSystemModel(this);
    folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    folders_->setRootPath("/");
    DirectoryListBox1 = new QTreeView(restoreTab);
    DirectoryListBox1->setObjectName("DirectoryListBox1");
    DirectoryListBox1->setModel(folders_);
    for (int c = 1; c < folders_->columnCount(); ++c) DirectoryListBox1->hideColumn(c);
    DirectoryListBox1->header()->hide();
    FileListBox1 = new QListWidget(restoreTab);
    FileListBox1->setObjectName("FileListBox1");
    rl->addWidget(DirectoryListBox1, 0, 0, 3, 1);
    rl->addWidget(FileListBox1, 3, 0, 3, 1);
    rl->addWidget(new QLabel("Archive title:", restoreTab), 0, 1);
    Edit2 = edit(restoreTab, "Edit2", true);
    rl->addWidget(Edit2, 0, 2);
    rl->addWidget(new QLabel("Content:", restoreTab), 1, 1);
    Edit1 = edit(restoreTab, "Edit1", true);
    rl->addWidget(Edit1, 1, 2);
    MeFiles = new QPlainTextEdit(restoreTab);
    MeFiles->setObjectName("MeFiles");
    MeFiles->setReadOnly(true);
    MeFiles->setLineWrapMode(QPlainTextEdit::NoWrap);
    MeFiles->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MeFiles->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    rl->addWidget(MeFiles, 2, 1, 2, 2);
    gbRestorepath = new QGroupBox(QString::fromUtf8("Local de restauração"), restoreTab);
    gbRestorepath->setObjectName("gbRestorepath");
    auto* pathLayout = new QVBoxLayout(gbRestorepath);
    EdPath = edit(gbRestorepath, "EdPath");
    pathLayout->addWidget(EdPath);
    rl->addWidget(gbRestorepath, 4, 1, 1, 2);
    auto* restoreButtons = new QHBoxLayout;
    Button3 = button(restoreTab, "Button3", "Restaurar Backup!");
    Button6 = button(restoreTab, "Button6", "Cancelar");
    restoreButtons->addWidget(Button3);
    restoreButtons->addWidget(Button6);
    rl->addLayout(restoreButtons, 5, 1, 1, 2);
    rl->setColumnStretch(0, 1);
    rl->setColumnStretch(2, 1);
}

#include "core/ui/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace ui {

namespace {

QWidget* parentWindow() { return QApplication::activeWindow(); }

QString titleOr(const QString& title)
{
    return title.isEmpty() ? QApplication::applicationDisplayName() : title;
}

}  // namespace

void QtDialogs::message(dialogs::Kind kind, const QString& text, const QString& title)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (kind) {
    case dialogs::Kind::Plain: break;
    case dialogs::Kind::Information: icon = QMessageBox::Information; break;
    case dialogs::Kind::Warning: icon = QMessageBox::Warning; break;
    case dialogs::Kind::Error: icon = QMessageBox::Critical; break;
    }
    QMessageBox box(icon, titleOr(title), text, QMessageBox::Ok, parentWindow());
    box.exec();
}

bool QtDialogs::confirm(const QString& text, const QString& title)
{
    QMessageBox box(QMessageBox::Question, titleOr(title), text,
                    QMessageBox::Ok | QMessageBox::Cancel, parentWindow());
    return box.exec() == QMessageBox::Ok;
}

bool QtDialogs::yesNo(const QString& text, const QString& title)
{
    QMessageBox box(QMessageBox::Question, titleOr(title), text,
                    QMessageBox::Yes | QMessageBox::No, parentWindow());
    return box.exec() == QMessageBox::Yes;
}

QString QtDialogs::saveFileName(const QString& title, const QString& proposed,
                                const QString& filter)
{
    QFileDialog d(parentWindow(), title, QString(), filter);
    d.setAcceptMode(QFileDialog::AcceptSave);
    d.setOption(QFileDialog::DontConfirmOverwrite);
    d.selectFile(proposed);
    return d.exec() == QDialog::Accepted && !d.selectedFiles().isEmpty() ? d.selectedFiles().first()
                                                                          : QString();
}

QString QtDialogs::openFileName(const QString& title, const QString& folder,
                                const QString& filter, const QString& defaultSuffix)
{
    QFileDialog d(parentWindow(), title, folder, filter);
    d.setAcceptMode(QFileDialog::AcceptOpen);
    d.setFileMode(QFileDialog::ExistingFile);
    d.setDefaultSuffix(defaultSuffix);
    return d.exec() == QDialog::Accepted && !d.selectedFiles().isEmpty() ? d.selectedFiles().first()
                                                                          : QString();
}

QStringList QtDialogs::openFileNames(const QString& title, const QString& folder,
                                    const QString& filter)
{
    QFileDialog d(parentWindow(), title, folder, filter);
    d.setAcceptMode(QFileDialog::AcceptOpen);
    d.setFileMode(QFileDialog::ExistingFiles);
    d.setOption(QFileDialog::ReadOnly);
    return d.exec() == QDialog::Accepted ? d.selectedFiles() : QStringList();
}

}  // namespace ui

#include "core/ui/Manual.h"

#include "core/Dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QUrl>
#include <QWidget>

namespace ui {

QString manualFolder()
{
    const QString given = qEnvironmentVariable("TOLMARE_MANUAL");
    if (!given.isEmpty()) return given;
    const QDir bin(QCoreApplication::applicationDirPath());
    for (const char* candidate : {"../share/doc/tolmare/manual", "../manual"})
        if (QFile::exists(bin.filePath(candidate + QString("/index.html"))))
            return QDir::cleanPath(bin.filePath(candidate));
    return QDir::cleanPath(bin.filePath("../share/doc/tolmare/manual"));
}

QString manualPage(const QString& folder, const QString& windowName)
{
    QFile list(QDir(folder).filePath("janelas.txt"));
    if (windowName.isEmpty() || !list.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    while (!list.atEnd()) {
        const QList<QByteArray> parts = list.readLine().simplified().split(' ');
        if (parts.size() == 2 && QString::fromUtf8(parts[0]) == windowName)
            return QString::fromUtf8(parts[1]);
    }
    return {};
}

namespace {

void openManualFor(QWidget* widget)
{
    const QString folder = manualFolder();
    QString page;
    for (QWidget* w = widget ? widget->window() : nullptr; w && page.isEmpty();
         w = w->parentWidget() ? w->parentWidget()->window() : nullptr)
        page = manualPage(folder, w->objectName());
    const QString path = QDir(folder).filePath(page.isEmpty() ? "index.html" : page);
    if (!QFile::exists(path)) {
        dialogs::current().message(dialogs::Kind::Error,
                                   "O manual não foi encontrado em "
                                       + QDir::toNativeSeparators(folder)
                                       + ".\nInstale o pacote tolmare, que o traz.");
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        dialogs::current().message(dialogs::Kind::Error,
                                   "Não foi possível abrir o manual.\nAbra " +
                                       QDir::toNativeSeparators(path) + " num navegador.");
}

class ManualKey : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress
            || static_cast<QKeyEvent*>(event)->key() != Qt::Key_F1
            || static_cast<QKeyEvent*>(event)->modifiers() != Qt::NoModifier)
            return false;
        QWidget* w = qobject_cast<QWidget*>(watched);
        openManualFor(w ? w : QApplication::activeWindow());
        return true;
    }
};

}  // namespace

void installManualKey(QApplication& app) { app.installEventFilter(new ManualKey(&app)); }

}  // namespace ui

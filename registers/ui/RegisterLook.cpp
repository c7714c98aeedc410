#include "registers/ui/RegisterLook.h"

#include "components/DBEdit.h"

#include <QDialog>
#include <QFrame>
#include <QKeyEvent>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace registers_ui {

namespace {

QFrame* bluePanel(QWidget* parent, const QString& name)
{
    auto* p = new QFrame(parent);
    p->setObjectName(name);
    QPalette pal = p->palette();
    pal.setColor(QPalette::Window, panelColour());
    p->setPalette(pal);
    p->setAutoFillBackground(true);
    return p;
}

}  // namespace

void frameWindow(QDialog* window, int width, int height, QFrame** body, QFrame** bar)
{
    window->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                           | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    window->setFixedSize(width, height);
    QPalette pal = window->palette();
    pal.setColor(QPalette::Window, Qt::white);
    window->setPalette(pal);
    window->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);  // the white rule above the button bar
    *body = bluePanel(window, "Panel1");
    *bar = bluePanel(window, "Panel2");
    layout->addWidget(*body, 1);
    layout->addWidget(*bar);
}

QPushButton* flatButton(QWidget* parent, const QString& objectName, const QString& caption,
                        QStyle::StandardPixmap picture)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(objectName);
    b->setFlat(true);
    b->setAutoDefault(false);
    b->setDefault(false);
    b->setIcon(b->style()->standardIcon(picture));
    return b;
}

components::DBEdit* dataEdit(QWidget* parent, const char* objectName, db::DataSource* source,
                             const char* field)
{
    auto* e = new components::DBEdit(parent);
    e->setObjectName(objectName);
    if (source) e->setDataSource(source);
    e->setDataField(field);
    return e;
}

bool isDialogKey(const QKeyEvent* event)
{
    const int k = event->key();
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    return plain && (k == Qt::Key_Escape || k == Qt::Key_Return || k == Qt::Key_Enter);
}

}  // namespace registers_ui

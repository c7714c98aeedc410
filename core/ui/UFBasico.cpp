#include "core/ui/UFBasico.h"

#include "components/DBNavigator.h"
#include "core/UVariaveis.h"
#include "core/engine/Table.h"
#include "core/ui/PrepararJanela.h"

#include <QApplication>
#include <QKeyEvent>

TFBasico::TFBasico(QWidget* parent) : QDialog(parent)
{
    setFont(QFont("MS Sans Serif"));
    FormCreate();
    qApp->installEventFilter(this);
}

TFBasico::~TFBasico() { qApp->removeEventFilter(this); }

void TFBasico::FormCreate()
{
    if (UsuarioAtual == 0) UsuarioAtual = 1;
}

void TFBasico::setVisible(bool visible)
{
    if (visible) prepararJanela(this);
    QDialog::setVisible(visible);
}

void TFBasico::FormKeyDown(int&, Qt::KeyboardModifiers) {}

bool TFBasico::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && isVisible()) {
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && w->window() == this) {
            auto* ke = static_cast<QKeyEvent*>(event);
            int key = ke->key();
            FormKeyDown(key, ke->modifiers());
            if (key == 0) return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFBasico::Controla_Davegador(db::Table* table, components::DBNavigator* nav,
                                  Qt::KeyboardModifiers shift, int& key)
{
    using B = components::DBNavigator::Button;
    const Qt::KeyboardModifiers mods = shift & ~Qt::KeypadModifier;
    auto exactly = [&](Qt::KeyboardModifier m) { return mods == Qt::KeyboardModifiers(m); };
    auto press = [&](B b) {
        if (nav) nav->btnClick(b);
        key = 0;
    };
    if (key == Qt::Key_Insert) {
        press(B::Insert);
    } else if (key == Qt::Key_Delete && exactly(Qt::ControlModifier)) {
        press(B::Delete);
        if (table) table->flushBuffers();
    } else if (key == Qt::Key_S && exactly(Qt::ControlModifier)) {
        press(B::Post);
        if (table) table->flushBuffers();
    } else if (key == Qt::Key_Escape && exactly(Qt::ShiftModifier)) {
        press(B::Cancel);
    } else if (key == Qt::Key_Home && exactly(Qt::ControlModifier)) {
        press(B::First);
    } else if (key == Qt::Key_End && exactly(Qt::ControlModifier)) {
        press(B::Last);
    } else if (key == Qt::Key_PageUp) {
        press(B::Prior);
    } else if (key == Qt::Key_PageDown) {
        press(B::Next);
    }
}

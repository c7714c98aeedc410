// What the collection windows share: their look and the buttons of their bottom bar.
#pragma once

#include <QString>

class QBoxLayout;
class QDialog;
class QLabel;
class QPushButton;
class QTableView;
class QWidget;

namespace cobranca_ui {

// The program's light blue background.
void fundo(QWidget* w);
// A flat button named `objectName`, added to `bar`.
QPushButton* botao(QWidget* parent, QBoxLayout* bar, const QString& objectName,
                   const QString& text);
// A label `text` with its shortcut and then `control`, added to `bar`; the label is the
// control's buddy, so its shortcut reaches it and a screen reader announces its text.
QLabel* rotulado(QWidget* parent, QBoxLayout* bar, const QString& text, QWidget* control);
// A read-only table, whole rows selected, columns fitted to their contents.
QTableView* grade(QWidget* parent, const QString& objectName);

// The bottom bar of a list window: its totals in bold on the left; "Visualizar",
// "Exportar…" and "Fechar" (which closes `w`) on the right.
struct BarraLista {
    QLabel* totais;
    QPushButton* visualizar;
    QPushButton* exportar;
    QPushButton* fechar;
};
BarraLista barraLista(QDialog* w, QBoxLayout* layout);

}  // namespace cobranca_ui

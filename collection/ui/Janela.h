// What the collection windows share: their look and the buttons of their bottom bar.
#pragma once

#include <QString>

class QBoxLayout;
class QPushButton;
class QTableView;
class QWidget;

namespace cobranca_ui {

// The program's light blue background.
void fundo(QWidget* w);
// A flat button named `objectName`, added to `bar`.
QPushButton* botao(QWidget* parent, QBoxLayout* bar, const QString& objectName,
                   const QString& text);
// A read-only table, whole rows selected, columns fitted to their contents.
QTableView* grade(QWidget* parent, const QString& objectName);

}  // namespace cobranca_ui

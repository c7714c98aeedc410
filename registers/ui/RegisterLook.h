// The look the register windows share: light-blue panels inside a white 4-pixel frame, a button
// bar at the bottom under a white rule, the flat close button "&Fechar"; and the keys a dialog
// would otherwise take for itself (Enter and Escape do not close these windows).
#pragma once

#include <QColor>
#include <QStyle>

namespace components { class DBEdit; }
namespace db { class DataSource; }

class QDialog;
class QFrame;
class QKeyEvent;
class QPushButton;
class QWidget;

namespace registers_ui {

inline QColor panelColour() { return QColor(151, 203, 255); }

// Gives `window` the fixed client size, the white frame and two panels: the body (returned in
// `body`) and the button bar (`bar`), both light blue.
void frameWindow(QDialog* window, int width, int height, QFrame** body, QFrame** bar);

// A flat button with a picture, not pressed by Enter.
QPushButton* flatButton(QWidget* parent, const QString& objectName, const QString& caption,
                        QStyle::StandardPixmap picture);

// A data-aware edit on `field` of `source` (absent when the window has no data module).
components::DBEdit* dataEdit(QWidget* parent, const char* objectName, db::DataSource* source,
                             const char* field);

// True when `event` is Enter or Escape without modifiers, which these windows ignore.
bool isDialogKey(const QKeyEvent* event);

}  // namespace registers_ui

// F1 in any window: the treasurer's manual opened at that window's page.
#pragma once

#include <QString>

class QApplication;

namespace ui {

// The manual's folder: $TOLMARE_MANUAL when set, else the installed one
// (<program folder>/../share/doc/tolmare/manual), else the build tree's
// (<program folder>/../manual).
QString manualFolder();

// The page about the window named `windowName` (its object name), from the manual's list of
// windows (janelas.txt in `folder`, lines "NAME page.html"); empty when no page names it.
QString manualPage(const QString& folder, const QString& windowName);

// F1 anywhere opens, through QDesktopServices, the page of the active window, of the nearest
// window under it that has one, or the manual's first page.
void installManualKey(QApplication& app);

}  // namespace ui

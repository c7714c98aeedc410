// The "let pending events through" step the backup engine takes after every block, and the
// two questions it may ask the operator (next disk, error box). The defaults do nothing, answer
// Cancel and print to standard error; the windows and the command line install their own.
#pragma once

#include <QString>

#include <functional>

namespace backupui {

void setEventPump(std::function<void()> pump);
void pumpEvents();

// OK (true) or Cancel (false).
void setDiskPrompt(std::function<bool(const QString& text)> prompt);
bool askDisk(const QString& text);

void setErrorBox(std::function<void(const QString& text)> box);
void showError(const QString& text);

}  // namespace backupui

#include "backup/EventPump.h"

#include <QTextStream>

namespace backupui {

namespace {
std::function<void()> g_pump;
std::function<bool(const QString&)> g_disk;
std::function<void(const QString&)> g_error;
}  // namespace

void setEventPump(std::function<void()> pump) { g_pump = std::move(pump); }
void pumpEvents()
{
    if (g_pump) g_pump();
}

void setDiskPrompt(std::function<bool(const QString&)> prompt) { g_disk = std::move(prompt); }
bool askDisk(const QString& text)
{
    if (g_disk) return g_disk(text);
    QTextStream(stderr) << text << "\n";
    return false;
}

void setErrorBox(std::function<void(const QString&)> box) { g_error = std::move(box); }
void showError(const QString& text)
{
    if (g_error) g_error(text);
    else QTextStream(stderr) << text << "\n";
}

}  // namespace backupui

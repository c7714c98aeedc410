#include "core/Dialogs.h"

#include <QTextStream>

namespace dialogs {

namespace {

class ConsoleDialogs : public Dialogs {
public:
    void message(Kind, const QString& text, const QString&) override
    {
        QTextStream(stderr) << text << "\n";
    }
    bool confirm(const QString& text, const QString& title) override
    {
        message(Kind::Plain, text, title);
        return false;
    }
    bool yesNo(const QString& text, const QString& title) override
    {
        message(Kind::Plain, text, title);
        return false;
    }
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString openFileName(const QString&, const QString&, const QString&, const QString&) override
    {
        return {};
    }
};

ConsoleDialogs g_console;
Dialogs* g_current = nullptr;

}  // namespace

Dialogs& current() { return g_current ? *g_current : g_console; }
void install(Dialogs* d) { g_current = d; }

}  // namespace dialogs

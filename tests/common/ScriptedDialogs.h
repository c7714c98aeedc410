// Test support: dialogs that answer from a script and record what they were shown.
#pragma once

#include "core/Dialogs.h"

#include <QStringList>

namespace testdata {

class ScriptedDialogs : public dialogs::Dialogs {
public:
    ScriptedDialogs() { dialogs::install(this); }
    ~ScriptedDialogs() override { dialogs::install(nullptr); }

    QStringList shown;          // every message and question, in order
    QList<dialogs::Kind> kinds; // the kind of every message box, in order
    QStringList titles;         // the title of each file dialog
    bool answer = true;         // for confirm and yesNo
    QString fileName;           // for the file dialogs; empty: cancel
    QString proposed;           // the name a save dialog proposed

    void message(dialogs::Kind kind, const QString& text, const QString&) override
    {
        kinds << kind;
        shown << text;
    }
    bool confirm(const QString& text, const QString&) override
    {
        shown << text;
        return answer;
    }
    bool yesNo(const QString& text, const QString&) override
    {
        shown << text;
        return answer;
    }
    QString saveFileName(const QString& title, const QString& name, const QString&) override
    {
        titles << title;
        proposed = name;
        return fileName;
    }
    QString openFileName(const QString& title, const QString&, const QString&,
                         const QString&) override
    {
        titles << title;
        return fileName;
    }
};

}  // namespace testdata

// How logic and windows ask the operator something: message boxes and file dialogs behind a
// small interface. The windows install the Qt implementation; tests install a scripted one;
// without either, messages go to standard error and every question is answered "no".
#pragma once

#include <QString>
#include <QStringList>

namespace dialogs {

enum class Kind { Plain, Information, Warning, Error };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A message with an OK button.
    virtual void message(Kind kind, const QString& text, const QString& title = {}) = 0;
    // OK and Cancel; true for OK.
    virtual bool confirm(const QString& text, const QString& title = {}) = 0;
    // Yes and No; true for Yes.
    virtual bool yesNo(const QString& text, const QString& title = {}) = 0;
    // A file name, or empty when the operator cancels. `filter` as Qt writes it
    // ("Arquivos Remessa (*.txt);;Todos Arquivos (*.*)").
    virtual QString saveFileName(const QString& title, const QString& proposed,
                                 const QString& filter = {}) = 0;
    virtual QString openFileName(const QString& title, const QString& folder,
                                 const QString& filter = {}, const QString& defaultSuffix = {}) = 0;
    // Several existing files; empty when the operator cancels. By default one, as above.
    virtual QStringList openFileNames(const QString& title, const QString& folder,
                                      const QString& filter = {})
    {
        const QString one = openFileName(title, folder, filter);
        return one.isEmpty() ? QStringList() : QStringList{one};
    }
};

Dialogs& current();
// Installs `d` (not owned); nullptr goes back to the default.
void install(Dialogs* d);

}  // namespace dialogs

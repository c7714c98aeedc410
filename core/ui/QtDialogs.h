// The dialogs interface on Qt's message boxes and file dialogs.
#pragma once

#include "core/Dialogs.h"

namespace ui {

class QtDialogs : public dialogs::Dialogs {
public:
    void message(dialogs::Kind kind, const QString& text, const QString& title = {}) override;
    bool confirm(const QString& text, const QString& title = {}) override;
    bool yesNo(const QString& text, const QString& title = {}) override;
    QString saveFileName(const QString& title, const QString& proposed,
                         const QString& filter = {}) override;
    QString openFileName(const QString& title, const QString& folder, const QString& filter = {},
                         const QString& defaultSuffix = {}) override;
    QStringList openFileNames(const QString& title, const QString& folder,
                              const QString& filter = {}) override;
};

}  // namespace ui

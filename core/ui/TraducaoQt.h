// Qt's own texts (the Yes and No of a question, the file and print dialogs) in Brazilian
// Portuguese: the system's translation of Qt, where it is installed. Texts that Qt moved to
// another class since the translation was made are looked up under the class that had them
// before (a file dialog's "Folder" is "Pasta").
#pragma once

#include <QTranslator>

class TraducaoQt : public QTranslator {
public:
    // Loads the translation from Qt's translations folder; false when there is none.
    bool carregar();
    QString translate(const char* context, const char* sourceText,
                      const char* disambiguation = nullptr, int n = -1) const override;
};

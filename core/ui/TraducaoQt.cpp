#include "core/ui/TraducaoQt.h"

#include <QLibraryInfo>
#include <QLocale>

#include <cstring>

bool TraducaoQt::carregar()
{
    return load(QLocale(QLocale::Portuguese, QLocale::Brazil), "qtbase", "_",
                QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

QString TraducaoQt::translate(const char* context, const char* sourceText,
                              const char* disambiguation, int n) const
{
    QString t = QTranslator::translate(context, sourceText, disambiguation, n);
    // The file type names ("Folder", "Drive", "%1 File") were the file dialog's.
    if (t.isEmpty() && context && std::strcmp(context, "QAbstractFileIconProvider") == 0)
        t = QTranslator::translate("QFileDialog", sourceText, disambiguation, n);
    return t;
}

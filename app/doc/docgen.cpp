// tolmare-docgen: writes the manual pages and the bash completion from the programs' own help
// at build time, so that the pages say what the programs print.
//   tolmare-docgen man tolmare|tolmare-cli pt|en FILE
//   tolmare-docgen completion FILE
#include "app/cli/Cli.h"
#include "app/doc/ManPage.h"

#include <QCoreApplication>
#include <QSaveFile>

#include <algorithm>
#include <cstdio>

namespace {

QList<usage::CommandDoc> commandDocs(usage::Lang lang)
{
    QList<cli::Command> list = cli::commands();
    std::sort(list.begin(), list.end(),
              [](const cli::Command& a, const cli::Command& b) { return a.name < b.name; });
    QList<usage::CommandDoc> docs;
    for (const cli::Command& c : list) {
        const QString en = usage::commandHelpEn(c.name);
        docs.append({c.name, c.usage, lang == usage::Lang::En && !en.isEmpty() ? en : c.help});
    }
    return docs;
}

bool write(const QString& path, const QString& text)
{
    QSaveFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) >= 0 && f.commit();
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments().mid(1);
    QString text;
    if (a.size() == 4 && a[0] == "man" && (a[2] == "pt" || a[2] == "en")) {
        const usage::Lang lang = a[2] == "pt" ? usage::Lang::Pt : usage::Lang::En;
        if (a[1] == "tolmare") text = usage::manPage(usage::gui(), lang, {});
        else if (a[1] == "tolmare-cli")
            text = usage::manPage(usage::cli(), lang, commandDocs(lang));
    } else if (a.size() == 2 && a[0] == "completion") {
        text = usage::bashCompletion(usage::cli(), commandDocs(usage::Lang::Pt));
    }
    if (text.isEmpty()) {
        std::fputs("uso: tolmare-docgen man tolmare|tolmare-cli pt|en ARQUIVO\n"
                   "     tolmare-docgen completion ARQUIVO\n", stderr);
        return 2;
    }
    if (!write(a.last(), text)) {
        std::fprintf(stderr, "não foi possível gravar %s\n", qPrintable(a.last()));
        return 1;
    }
    return 0;
}

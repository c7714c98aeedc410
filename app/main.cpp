// Tolmare: collects a members' association's monthly dues by debit through PREVI.
// Start-up: the application, the main data module (which checks the tables), the main
// window, the return report's filter and the import summary (hidden), then the message loop
// until the main window closes.
#include "app/Modules.h"
#include "app/doc/Usage.h"
#include "backup/ui/UFmBackup.h"
#include "core/DataFolder.h"
#include "core/Dialogs.h"
#include "core/MakeDBx.h"
#include "core/dm/UDMTolmare.h"
#include "core/engine/EngineConfig.h"
#include "core/engine/EngineError.h"
#include "core/ui/QtDialogs.h"
#include "core/ui/Manual.h"
#include "core/ui/Status.h"
#include "core/ui/TraducaoQt.h"
#include "core/ui/UTolmare.h"
#include "remittance/ui/ULogImpBB.h"
#include "remittance/ui/URRetorno.h"

#include <QApplication>
#include <QLocale>
#include <QTimer>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc == 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "--version"))) {
        const QString text = !std::strcmp(argv[1], "--help") ? usage::helpHead(usage::gui())
                                                             : "tolmare " + usage::version() + "\n";
        std::fputs(text.toUtf8().constData(), stdout);
        return 0;
    }
    datafolder::privateFiles();
    // Qt's own dialogs take dates and month names from the system's locale: Brazilian
    // Portuguese for them too ("10 dez"), numbers left to the program.
    qputenv("LC_TIME", "pt_BR.UTF-8");
    qputenv("LC_MESSAGES", "pt_BR.UTF-8");
    QApplication app(argc, argv);
    nameApplication();
    QGuiApplication::setDesktopFileName("org.tolmare.Tolmare");
    ui::installManualKey(app);
    // A backup archive named on the command line (opened from the desktop) is shown on the
    // backup window's restore tab once the main window is up.
    QString archive;
    for (const QString& a : app.arguments().mid(1))
        if (!a.startsWith('-')) archive = a;
    const QLocale brasil(QLocale::Portuguese, QLocale::Brazil);
    QLocale::setDefault(brasil);
    // Qt's own texts in Portuguese too, where the system has their translation.
    TraducaoQt qtTexts;
    if (qtTexts.carregar()) app.installTranslator(&qtTexts);
    ui::QtDialogs qtDialogs;
    dialogs::install(&qtDialogs);
    makedbx::setStatusCallback(StatusCallback);
    registerModules();

    // A missing data folder is named to the operator before anything is created.
    if (!datafolder::ensureForWindow(db::EngineConfig::aliasFolder("Tolmare"), dialogs::current()))
        return 1;

    TDMTolmare dmTolmare;
    try {
        dmTolmare.DataModuleCreate();
    } catch (const db::EngineError& e) {
        closeStatusWindow();
        dialogs::current().message(dialogs::Kind::Error, e.message());
    }

    TFTolmare main;
    TFRRetorno rRetorno(&main);   // created once and kept hidden, as is
    TfmLogImpBB logImpBB(&main);
    main.showMaximized();
    if (!archive.isEmpty())
        QTimer::singleShot(0, &main, [&main, archive] { abrirBackupNoArquivo(&main, archive); });
    const int rc = app.exec();
    dialogs::install(nullptr);
    return rc;
}

// Tolmare: collects a members' association's monthly dues by debit through PREVI.
// Start-up: the application, the main data module (which checks the tables), the main
// window, the return report's filter and the import summary (hidden), then the message loop
// until the main window closes.
#include "app/Modules.h"
#include "core/DataFolder.h"
#include "core/Dialogs.h"
#include "core/MakeDBx.h"
#include "core/dm/UDMTolmare.h"
#include "core/engine/EngineConfig.h"
#include "core/engine/EngineError.h"
#include "core/ui/QtDialogs.h"
#include "core/ui/Status.h"
#include "core/ui/TraducaoQt.h"
#include "core/ui/UTolmare.h"
#include "remittance/ui/ULogImpBB.h"
#include "remittance/ui/URRetorno.h"

#include <QApplication>
#include <QLocale>

int main(int argc, char** argv)
{
    datafolder::privateFiles();
    // Qt's own dialogs take dates and month names from the system's locale: Brazilian
    // Portuguese for them too ("10 dez"), numbers left to the program.
    qputenv("LC_TIME", "pt_BR.UTF-8");
    qputenv("LC_MESSAGES", "pt_BR.UTF-8");
    QApplication app(argc, argv);
    nameApplication();
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
    const int rc = app.exec();
    dialogs::install(nullptr);
    return rc;
}

#include "app/Modules.h"

#include "core/ui/UTolmare.h"
#include "legacy_import/ui/UImport.h"
#include "remittance/ui/URemessa_Previ.h"
#include "remittance/ui/URet_Debito.h"

void registerModules()
{
    TFTolmare::setOpener("SpeedButton5", abrirRemessaPrevi);
    TFTolmare::setOpener("SpeedButton7", abrirImport);
    TFTolmare::setOpener("SpeedButton6", abrirRetDebito);
}

#include "app/Modules.h"

#include "backup/ui/UFmBackup.h"
#include "core/ui/UTolmare.h"
#include "remittance/ui/URemessa_Previ.h"
#include "remittance/ui/URet_Debito.h"

void registerModules()
{
    TFTolmare::setOpener("SpeedButton8", abrirBackup);
    TFTolmare::setOpener("SpeedButton5", abrirRemessaPrevi);
    TFTolmare::setOpener("SpeedButton6", abrirRetDebito);
}

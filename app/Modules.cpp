#include "app/Modules.h"

#include "core/ui/UTolmare.h"
#include "debits/ui/UDebito.h"
#include "remittance/ui/URemessa_Previ.h"
#include "remittance/ui/URet_Debito.h"

void registerModules()
{
    TFTolmare::setOpener("SpeedButton3", abrirDebito);
    TFTolmare::setOpener("SpeedButton5", abrirRemessaPrevi);
    TFTolmare::setOpener("SpeedButton6", abrirRetDebito);
}

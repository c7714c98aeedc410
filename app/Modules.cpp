#include "app/Modules.h"

#include "core/ui/UTolmare.h"
#include "remittance/ui/URemessa_Previ.h"

void registerModules()
{
    TFTolmare::setOpener("SpeedButton5", abrirRemessaPrevi);
}

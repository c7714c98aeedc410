#include "app/Modules.h"

#include "backup/ui/UFmBackup.h"
#include "core/ui/UTolmare.h"
#include "debits/ui/UDebito.h"
#include "legacy_import/ui/UImport.h"
#include "registers/ui/UAssociados.h"
#include "registers/ui/UGrupo.h"
#include "registers/ui/UParametros.h"
#include "remittance/ui/URemessa_Previ.h"
#include "remittance/ui/URet_Debito.h"

void registerModules()
{
    TFTolmare::setOpener("Btn_Parametros", abrirParametros);
    TFTolmare::setOpener("SpeedButton4", abrirGrupo);
    TFTolmare::setOpener("SpeedButton2", abrirAssociados);
    TFTolmare::setOpener("SpeedButton3", abrirDebito);
    TFTolmare::setOpener("SpeedButton8", abrirBackup);
    TFTolmare::setOpener("SpeedButton5", abrirRemessaPrevi);
    TFTolmare::setOpener("SpeedButton7", abrirImport);
    TFTolmare::setOpener("SpeedButton6", abrirRetDebito);
}

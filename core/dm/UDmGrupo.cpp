#include "core/dm/UDmGrupo.h"

TDmGrupo* DmGrupo = nullptr;

TDmGrupo::TDmGrupo(QObject* parent) : QObject(parent)
{
    setObjectName("DmGrupo");
    TGrupo = dm::makeTable(this, "TGrupo", "GRUPO.DB",
                           {"GRP_ID", "GRP_DESCRICAO", "GRP_USR_ID", "GRP_DTA_CAD"});
    TGrupo->setIndexName("GRP_DESCRICAO_ID");
    TGrupo->onNewRecord = [this](db::Dataset& ds) { TGrupoNewRecord(ds); };
    DsTGrupo = dm::makeSource(this, "DsTGrupo", TGrupo);
    DmGrupo = this;
}

TDmGrupo::~TDmGrupo()
{
    if (DmGrupo == this) DmGrupo = nullptr;
}

void TDmGrupo::TGrupoNewRecord(db::Dataset& ds)
{
    dm::stampNewRow(ds, "GRP_DTA_CAD", "GRP_USR_ID");
}

#include "core/dm/UDMAssociados.h"

TDMAssociados* DMAssociados = nullptr;

TDMAssociados::TDMAssociados(QObject* parent) : QObject(parent)
{
    setObjectName("DMAssociados");
    TAssociados = dm::makeTable(this, "TAssociados", "ASSOCIADOS.DB",
                                {"ASS_ID", "ASS_NOME", "ASS_GRP_ID", "ASS_AGENCIA",
                                 "ASS_CONTA_CORRENTE", "ASS_IDENTIFICADOR", "ASS_DTA_CAD",
                                 "ASS_USR_ID", "ASS_MATRICULA"});
    TAssociados->setIndexName("ID_ASSOCIADOS_NOME");
    TAssociados->setFieldRequired("ASS_GRP_ID", true);
    TAssociados->setFieldEditMask("ASS_AGENCIA", "cccc-c");
    TAssociados->onNewRecord = [this](db::Dataset& ds) { TAssociadosNewRecord(ds); };
    DsTAssociados = dm::makeSource(this, "DsTAssociados", TAssociados);

    TGrupos = dm::makeTable(this, "TGrupos", "GRUPO.DB");
    DsTGrupos = dm::makeSource(this, "DsTGrupos", TGrupos);

    TBusca_Associados = dm::makeTable(this, "TBusca_Associados", "ASSOCIADOS.DB",
                                      {"ASS_NOME", "ASS_AGENCIA", "ASS_CONTA_CORRENTE",
                                       "ASS_IDENTIFICADOR", "ASS_GRP_ID", "Nome_Grupo", "ASS_ID"});
    TBusca_Associados->addLookupField("Nome_Grupo", 50, "ASS_GRP_ID", TGrupos, "GRP_ID",
                                      "GRP_DESCRICAO");
    DsTBusca_Associados = dm::makeSource(this, "DsTBusca_Associados", TBusca_Associados);
    DMAssociados = this;
}

TDMAssociados::~TDMAssociados()
{
    if (DMAssociados == this) DMAssociados = nullptr;
}

void TDMAssociados::TAssociadosNewRecord(db::Dataset& ds)
{
    dm::stampNewRow(ds, "ASS_DTA_CAD", "ASS_USR_ID");
}

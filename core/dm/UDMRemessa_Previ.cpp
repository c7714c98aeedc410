#include "core/dm/UDMRemessa_Previ.h"

TDMRemessa_Previ* DMRemessa_Previ = nullptr;

TDMRemessa_Previ::TDMRemessa_Previ(QObject* parent) : QObject(parent)
{
    setObjectName("DMRemessa_Previ");
    TDebito = dm::makeTable(this, "TDebito", "DEBITO.DB",
                            {"DEB_DATA", "DEB_ASS_ID", "DEB_VALOR", "DEB_DTA_CAD", "DEB_USR_ID"});
    TDebito->setFieldRequired("DEB_DTA_CAD", true);
    TDebito->setFieldRequired("DEB_USR_ID", true);
    DsTDebito = dm::makeSource(this, "DsTDebito", TDebito);

    TParametros = dm::makeTable(this, "TParametros", "PARAMETROS.DB",
                                {"EMP_NOME", "EMP_COD_VERBA_PREVI", "EMP_COD_INT_PREVI",
                                 "EMP_NR_REM_PREVI"});

    TAssociados = dm::makeTable(this, "TAssociados", "ASSOCIADOS.DB",
                                {"ASS_ID", "ASS_NOME", "ASS_GRP_ID", "ASS_AGENCIA",
                                 "ASS_CONTA_CORRENTE", "ASS_IDENTIFICADOR", "ASS_DTA_CAD",
                                 "ASS_USR_ID", "ASS_MATRICULA"});
    TAssociados->setIndexFieldNames("ASS_ID");
    TAssociados->setMasterSource(TDebito, "DEB_ASS_ID", "ASS_ID");

    TRet_Debito = dm::makeTable(this, "TRet_Debito", "RET_DEBITO.DB");
    TRet_Debito->setIndexFieldNames("DEB_DATA;DEB_ASS_ID");
    TRet_Debito->setFieldRequired("DEB_DTA_CAD", true);
    TRet_Debito->setFieldRequired("DEB_USR_ID", true);
    TRet_Debito->onNewRecord = [this](db::Dataset& ds) { TRet_DebitoNewRecord(ds); };
    DMRemessa_Previ = this;
}

TDMRemessa_Previ::~TDMRemessa_Previ()
{
    if (DMRemessa_Previ == this) DMRemessa_Previ = nullptr;
}

void TDMRemessa_Previ::TRet_DebitoNewRecord(db::Dataset& ds)
{
    dm::stampNewRow(ds, "DEB_DTA_CAD", "DEB_USR_ID");
}

#include "core/dm/UDMRet_Debito.h"

TDMRet_Debito* DMRet_Debito = nullptr;

TDMRet_Debito::TDMRet_Debito(QObject* parent) : QObject(parent)
{
    setObjectName("DMRet_Debito");
    TAssociados = dm::makeTable(this, "TAssociados", "ASSOCIADOS.DB");

    TRet_Debito = dm::makeTable(this, "TRet_Debito", "RET_DEBITO.DB");
    TRet_Debito->setFieldRequired("DEB_DTA_CAD", true);
    TRet_Debito->setFieldRequired("DEB_USR_ID", true);
    TRet_Debito->addLookupField("Nome_Associado", 50, "DEB_ASS_ID", TAssociados, "ASS_ID",
                                "ASS_NOME");
    TRet_Debito->addLookupField("Agencia_Associado", 20, "DEB_ASS_ID", TAssociados, "ASS_ID",
                                "ASS_AGENCIA");
    TRet_Debito->addLookupField("CC_Associado", 30, "DEB_ASS_ID", TAssociados, "ASS_ID",
                                "ASS_CONTA_CORRENTE");
    TRet_Debito->addLookupField("Indent_Associado", 20, "DEB_ASS_ID", TAssociados, "ASS_ID",
                                "ASS_IDENTIFICADOR");
    DsTRet_Debito = dm::makeSource(this, "DsTRet_Debito", TRet_Debito);
    DMRet_Debito = this;
}

TDMRet_Debito::~TDMRet_Debito()
{
    if (DMRet_Debito == this) DMRet_Debito = nullptr;
}

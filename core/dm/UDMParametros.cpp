#include "core/dm/UDMParametros.h"

TDMParametros* DMParametros = nullptr;

TDMParametros::TDMParametros(QObject* parent) : QObject(parent)
{
    setObjectName("DMParametros");
    TParametros = dm::makeTable(this, "TParametros", "PARAMETROS.DB");
    TParametros->setFieldEditMask("EMP_CGC", "##.###.###/####-##");
    TParametros->setFieldEditMask("EMP_CEP", "00000-000");
    TParametros->onNewRecord = [this](db::Dataset& ds) { TAssociadosNewRecord(ds); };
    DsTParametros = dm::makeSource(this, "DsTParametros", TParametros);
    DMParametros = this;
}

TDMParametros::~TDMParametros()
{
    if (DMParametros == this) DMParametros = nullptr;
}

void TDMParametros::TAssociadosNewRecord(db::Dataset& ds)
{
    dm::stampNewRow(ds, "EMP_DTA_CAD", "EMP_USR_ID");
}

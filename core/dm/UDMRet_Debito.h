// The returns' data module: the debits sent with their outcome and member lookups, and the
// members the return import searches.
#pragma once

#include "core/dm/DataModule.h"

class TDMRet_Debito : public QObject {
    Q_OBJECT
public:
    explicit TDMRet_Debito(QObject* parent = nullptr);
    ~TDMRet_Debito() override;

    db::Table* TRet_Debito;
    db::DataSource* DsTRet_Debito;
    db::Table* TAssociados;
};

extern TDMRet_Debito* DMRet_Debito;

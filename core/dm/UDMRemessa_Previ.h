// The remittance generation's data module: the pending debits, the company parameters, the
// debited member (a detail of the current debit) and the debits sent.
#pragma once

#include "core/dm/DataModule.h"

class TDMRemessa_Previ : public QObject {
    Q_OBJECT
public:
    explicit TDMRemessa_Previ(QObject* parent = nullptr);
    ~TDMRemessa_Previ() override;

    db::Table* TDebito;
    db::DataSource* DsTDebito;
    db::Table* TParametros;
    db::Table* TAssociados;  // the member of TDebito's current row (ASS_ID = DEB_ASS_ID)
    db::Table* TRet_Debito;  // by DEB_DATA, DEB_ASS_ID

    void TRet_DebitoNewRecord(db::Dataset& ds);
};

extern TDMRemessa_Previ* DMRemessa_Previ;

// The parameters register's data module: the company parameters table with its edit masks.
#pragma once

#include "core/dm/DataModule.h"

class TDMParametros : public QObject {
    Q_OBJECT
public:
    explicit TDMParametros(QObject* parent = nullptr);
    ~TDMParametros() override;

    db::Table* TParametros;
    db::DataSource* DsTParametros;

    // New row of TParametros (the handler keeps its historical name).
    void TAssociadosNewRecord(db::Dataset& ds);
};

extern TDMParametros* DMParametros;

// The groups register's data module.
#pragma once

#include "core/dm/DataModule.h"

class TDmGrupo : public QObject {
    Q_OBJECT
public:
    explicit TDmGrupo(QObject* parent = nullptr);
    ~TDmGrupo() override;

    db::Table* TGrupo;  // GRUPO by description
    db::DataSource* DsTGrupo;

    void TGrupoNewRecord(db::Dataset& ds);
};

extern TDmGrupo* DmGrupo;

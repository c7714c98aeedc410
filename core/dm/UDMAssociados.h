// The members register's data module, also used by its member search.
#pragma once

#include "core/dm/DataModule.h"

class TDMAssociados : public QObject {
    Q_OBJECT
public:
    explicit TDMAssociados(QObject* parent = nullptr);
    ~TDMAssociados() override;

    db::Table* TAssociados;  // ASSOCIADOS by name; ASS_GRP_ID required here
    db::DataSource* DsTAssociados;
    db::Table* TGrupos;      // GRUPO, for choosing a member's group
    db::DataSource* DsTGrupos;
    db::Table* TBusca_Associados;  // the search dialog's table, with Nome_Grupo
    db::DataSource* DsTBusca_Associados;

    void TAssociadosNewRecord(db::Dataset& ds);
};

extern TDMAssociados* DMAssociados;

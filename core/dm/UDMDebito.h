// The debits' data module: the debit table with its member lookups, the debit list query,
// the member search table and the group and member tables the lookups read.
#pragma once

#include "core/dm/DataModule.h"

class TDMDebito : public QObject {
    Q_OBJECT
public:
    explicit TDMDebito(QObject* parent = nullptr);
    ~TDMDebito() override;

    db::Table* TDebito;  // DEBITO; every post and delete is written through at once
    db::DataSource* DsTDebito;
    db::Query* QDebito;  // the debit list: debits joined with their member and group
    db::DataSource* DsQDebito;
    db::Table* TBusca_Associados;
    db::DataSource* DsTBusca_Associados;
    db::Table* TGrupos;
    db::DataSource* DsTGrupos;
    db::Table* TAssociados;
    db::DataSource* DsTAssociados;

    // The lines of QDebito's base statement; the debit list builds on them.
    static QStringList baseStatement();

    void TDebitoNewRecord(db::Dataset& ds);
    void TDebitoAfterPost(db::Dataset& ds);
    void TDebitoAfterDelete(db::Dataset& ds);
};

extern TDMDebito* DMDebito;

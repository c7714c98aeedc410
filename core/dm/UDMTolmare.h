// The main data module: the company parameters and the connection used by the schema check.
// Created first at start-up and kept for the whole run.
#pragma once

#include "core/dm/DataModule.h"
#include "core/engine/Database.h"

class TDMTolmare : public QObject {
    Q_OBJECT
public:
    // Creates the datasets; `DataModuleCreate` is run by the caller, which shows its error.
    explicit TDMTolmare(QObject* parent = nullptr);
    ~TDMTolmare() override;

    db::Table* TParametros;
    db::Database* DB_Tolmade_Ver;

    // Connects, checks and creates the tables, disconnects, tells the operator of every table
    // replaced because its file could not be read, and opens TParametros. An error of the
    // first three steps leaves the rest undone and is thrown.
    void DataModuleCreate();
};

extern TDMTolmare* DMTolmare;

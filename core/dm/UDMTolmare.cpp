#include "core/dm/UDMTolmare.h"

#include "core/Dialogs.h"
#include "core/MakeDBx.h"

TDMTolmare* DMTolmare = nullptr;

TDMTolmare::TDMTolmare(QObject* parent) : QObject(parent)
{
    setObjectName("DMTolmare");
    TParametros = dm::makeTable(this, "TParametros", "PARAMETROS.DB");
    DB_Tolmade_Ver = new db::Database(this);
    DB_Tolmade_Ver->setObjectName("DB_Tolmade_Ver");
    DB_Tolmade_Ver->setAliasName("Tolmare");
    DB_Tolmade_Ver->setDatabaseName("DB_Tolmade_Ver");
    DMTolmare = this;
}

TDMTolmare::~TDMTolmare()
{
    if (DMTolmare == this) DMTolmare = nullptr;
}

void TDMTolmare::DataModuleCreate()
{
    DB_Tolmade_Ver->connect();
    const QString folder = DB_Tolmade_Ver->directory();
    const QStringList replaced = makedbx::checkDataFolder(folder);
    DB_Tolmade_Ver->disconnect();
    // A replaced table is told in a box that stays until the operator answers it.
    for (const QString& text : replaced) dialogs::current().message(dialogs::Kind::Warning, text);
    TParametros->open();
}

#include "core/dm/DataModule.h"

#include "core/UVariaveis.h"

#include <QDateTime>

namespace dm {

db::Table* makeTable(QObject* parent, const QString& objectName, const QString& fileName,
                     const QStringList& fields)
{
    auto* t = new db::Table(parent);
    t->setObjectName(objectName);
    t->setDatabaseName("Tolmare");
    t->setTableName(fileName);
    t->setFieldList(fields);
    return t;
}

db::DataSource* makeSource(QObject* parent, const QString& objectName, db::Dataset* ds)
{
    auto* s = new db::DataSource(ds, parent);
    s->setObjectName(objectName);
    return s;
}

void stampNewRow(db::Dataset& ds, const QString& dateField, const QString& userField)
{
    if (!dateField.isEmpty()) ds.fieldByName(dateField).setAsDateTime(QDateTime::currentDateTime());
    if (!userField.isEmpty()) ds.fieldByName(userField).setAsInteger(UsuarioAtual);
}

}  // namespace dm

// What the data modules share: building their tables, and the new-row defaults (the current
// date and time, the current user).
#pragma once

#include "core/engine/DataSource.h"
#include "core/engine/Query.h"
#include "core/engine/Table.h"

namespace dm {

// A table on the database "Tolmare" over `fileName`, with `fields` as its field list (empty:
// every field), child of `parent`.
db::Table* makeTable(QObject* parent, const QString& objectName, const QString& fileName,
                     const QStringList& fields = {});
db::DataSource* makeSource(QObject* parent, const QString& objectName, db::Dataset* ds);

// New-row defaults: `dateField` gets the current date and time (a date field keeps the date),
// `userField` the current user number.
void stampNewRow(db::Dataset& ds, const QString& dateField, const QString& userField);

}  // namespace dm

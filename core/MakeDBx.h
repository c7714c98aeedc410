// The schema check's program side: loads TBLSCN.DLL, hands it the five tables' definitions
// and the status callback, and raises the component's error.
#pragma once

#include "tblscn/tblscn_api.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace makedbx {

// The status callback the check passes; the windows install the status window's, the
// command line keeps the quiet default (always "go on").
void setStatusCallback(TblscnStatusCallback cb);
TblscnStatusCallback statusCallback();

// Checks and creates the tables. `params`: Boolean false, the database folder (long text),
// the status callback's address. Throws db::EngineError with the component's or the loading's
// message ("CheckTables invalid parameter", "TBLSCN.DLL is busy", "Could not find TBLSCN.DLL",
// "<path> invalid version").
void CheckTables(const std::vector<TblscnValue>& params);

// The usual call: the folder of the alias "Tolmare" and the installed status callback.
// Returns one message for the operator per table whose file could not be read and was
// replaced (which table, how many rows the new file holds, where the old file was kept);
// empty when none was.
// Tables found in the older format are converted, each told in a message of its own (rows
// taken, rows refused and where they are listed, where the old files went); one the check
// could not read is named in a message too and left where it is.
QStringList checkDataFolder(const QString& folder);

// What the last checkDataFolder did besides what its messages say.
struct Outcome {
    int replaced = 0;    // unreadable table files replaced by new ones
    int converted = 0;   // tables of the older format converted
    bool refused = false;  // some converted row was refused by the definition
    int unreadable = 0;  // tables of the older format that could not be read (left as they were)
};
Outcome lastOutcome();

}  // namespace makedbx

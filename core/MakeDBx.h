// The schema check's program side: loads TBLSCN.DLL, hands it the five tables' definitions
// and the status callback, and raises the component's error.
#pragma once

#include "tblscn/tblscn_api.h"

#include <QString>

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
void checkDataFolder(const QString& folder);

}  // namespace makedbx

// Inside the component: a table found in the older (Paradox) format, converted into a table
// file of the store.
//
// The rows are written into a private file beside the table (".<TABLE>.conversao") with the
// definition's field types, in one transaction, and the rows the definition refuses are listed
// with their values in a report beside it. Once both are complete they are renamed to carry
// the subfolder the old files go to (".<TABLE>.Paradox-AAAAMMDD-HHMMSS" and its ".txt"):
// that rename is the point of no return. Then the report and every companion of the old table
// (same base name: .PX, .X02, .Y02, .VAL, .MB ...) are moved into that subfolder, the old
// table file is linked there too, and the new file is renamed over the old one. A stop before
// the point of no return leaves the old table in place and the next check starts over; a stop
// after it leaves a complete new file that the next check puts in place.
#pragma once

#include "tblscn/Restructure.h"

#include <string>

namespace tblscn {

// True when the file at `path` is a file of the older format (told by its header).
bool isOldFormat(const std::string& path);

// True when a conversion of the table reached its point of no return and was not finished.
bool conversionPending(const std::string& folder, const store::TableSpec& spec);

// Converts the old table `file` of `folder` (the table's file, possibly in another letter
// case) into `spec`, or finishes the pending conversion. Action::Converted with `refused` the
// rows the definition refused; Action::Unreadable when the old file could not be read (it
// stays where it is, `text` says why); `error` for a failure of the folder (permissions, a
// full disk).
Result convertOldTable(const std::string& folder, const std::string& file,
                       const store::TableSpec& spec);

}  // namespace tblscn

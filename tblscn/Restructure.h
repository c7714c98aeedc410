// What the component does to one table file: verify it against its definition, create it when
// missing, bring it to the definition keeping its rows, rebuild it when damaged.
//
// A table is served by exactly one file, named as its definition names it ("GRUPO.DB"). When
// that file is missing and a single file differing only in letter case is there ("grupo.db"),
// that file is renamed to the defined name and checked; two or more such files stop the check,
// since only the operator can tell which one holds the table. Beside an exactly named file,
// files differing in case are never read.
//
// "Busy" is never "damaged": a file another program holds locked is waited for a bounded time,
// then left as it is and reported. A file SQLite can read is changed only inside one write
// transaction of its own, so a kill leaves it as before or as after. Only a file SQLite cannot
// read, or one failing its integrity check, is replaced: by a new file holding every row that
// could be read, the old one kept beside it.
#pragma once

#include "core/store/StoreSchema.h"

#include <string>
#include <vector>

namespace tblscn {

// Converted: a table of the older format taken into the store; Unreadable: a table of the
// older format that could not be read, left where it is (the other tables go on).
enum class Action { Verified, Created, Modified, Rebuilt, Converted, Unreadable };

struct Result {
    Action action = Action::Verified;
    std::string text;   // the action text shown to the operator
    std::string error;  // empty on success; the operator's message otherwise
    long refused = 0;   // Converted: rows the definition refused (listed in the report)
};

// The file that serves `fileName` in `folder`: the exact name when it exists, else the single
// file differing only in case; empty when there is none. `others` gets every further
// candidate (case variants beside the chosen one, or all of them when they are several).
std::string tableFile(const std::string& folder, const std::string& fileName,
                      std::vector<std::string>* others = nullptr);

// Works on the table `spec` in `folder` so that its file holds the definition. A matching,
// sound file is only read.
Result bringToDefinition(const std::string& folder, const store::TableSpec& spec);

}  // namespace tblscn

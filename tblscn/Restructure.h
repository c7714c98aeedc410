// What the component does to one table file: verify it against its definition, create it when
// missing, bring it to the definition keeping its rows, rebuild it when damaged.
#pragma once

#include "core/store/StoreSchema.h"

#include <string>

namespace tblscn {

enum class Action { Verified, Created, Modified, Rebuilt };

struct Result {
    Action action = Action::Verified;
    std::string text;   // the action text shown to the operator
    std::string error;  // empty on success
};

// The state the component reports first for a file: creating when it is missing, else verifying.
bool fileExists(const std::string& path);

// Works on `path` so that it holds `spec`. A matching, sound file is only read.
Result bringToDefinition(const std::string& path, const store::TableSpec& spec);

}  // namespace tblscn

// Inside the component: table files written anew beside the old name and put in place
// complete: a missing table created, a damaged one replaced by the rows still readable.
#pragma once

#include "tblscn/Restructure.h"

namespace tblscn {

// Creates the missing table file `path`, private to its owner, never over a file another
// program created meanwhile (that one is checked instead).
Result create(const std::string& path, const store::TableSpec& spec);

// Copies every row that can still be read from the damaged file at `path` into a new file,
// keeps the damaged one beside it ("<file>.damaged", ".damaged.2", ...) and puts the new one
// in its place.
Result salvage(const std::string& path, const store::TableSpec& spec);

}  // namespace tblscn

// Files found sound by the integrity check, remembered so that a start-up does not read every
// page of an unchanged file again.
//
// A file is remembered by its size, modification time and inode in a state file of the user's
// data folder ($XDG_DATA_HOME or ~/.local/share, "Tolmare/tblscn-verified.txt";
// TOLMARE_TBLSCN_STATE names another) and is checked again once it has changed. Nothing is
// added to the data folder.
#pragma once

#include <string>

namespace tblscn {

bool knownSound(const std::string& path);
void rememberSound(const std::string& path);

}  // namespace tblscn

// The file operations the component needs around a table file: private creation, placing a
// finished file without replacing one that appeared meanwhile, making renames durable, and the
// operator's words for a failed system call.
#pragma once

#include <string>

namespace tblscn {

// Creates an empty file readable and writable by its owner only (0600, whatever the umask).
// Fails when the name exists. Returns 0 or the errno.
int createPrivateFile(const std::string& path);

// Gives `from` the name `to` when `to` does not exist. Returns 0 or the errno (EEXIST when
// `to` exists).
int renameNoReplace(const std::string& from, const std::string& to);

// Makes the folder's entries (creations, renames) durable.
void syncFolder(const std::string& folder);

// True when `path` is a symbolic link.
bool isSymlink(const std::string& path);

// The folder part of a path ("." when there is none).
std::string folderOf(const std::string& path);

// What the operator reads when creating or renaming a table file failed with `err`.
std::string errnoText(int err, const std::string& fileName);

}  // namespace tblscn

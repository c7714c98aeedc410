// The data folder before the tables are checked. Members' names, accounts and enrolment
// numbers live in it: a folder the program creates is readable by its owner only, and it is
// created only once the operator has been told which folder that is, so a mistyped path never
// quietly becomes a new, empty set of tables.
#pragma once

#include <QString>

namespace dialogs {
class Dialogs;
}

namespace datafolder {

// Every file the program creates from here on (tables, the operation log, remittance files,
// reports, exports, backups, restored files, and their temporary files) is readable by its
// owner only, and so is every folder it creates: the process's umask becomes 077. Folders and
// files that already exist keep their modes. Called first thing by both programs.
void privateFiles();

// Creates `folder` and the missing folders above it, each readable by its owner only (0700,
// whatever the umask). Empty on success, else the operator's message.
QString create(const QString& folder);

// True when the folder holds a table file of the system (in any letter case).
bool holdsTables(const QString& folder);

// What the operator is asked when the data folder does not exist.
QString missingQuestion(const QString& folder);

// The windows' start-up: a missing data folder is named to the operator, who answers whether
// to create it. True when the folder exists afterwards; false when the operator declined or
// the creation failed (said in an error box).
bool ensureForWindow(const QString& folder, dialogs::Dialogs& d);

}  // namespace datafolder

// Keeping members attached to their group: a group that still has members is not deleted, since
// their debits would drop out of the debit list (which joins members to groups) unnoticed.
#pragma once

#include <QVariant>

namespace db { class Dataset; }

namespace registers {

// The number of members whose ASS_GRP_ID is `groupId`.
int membersOfGroup(const QVariant& groupId);

// Throws an EngineError with a message saying what to do when the current group of `grupo`
// still has members; returns when it may be deleted.
void checkGroupDeletable(db::Dataset& grupo);

}  // namespace registers

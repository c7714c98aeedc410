// The archive attribute, which file systems here do not have: a file "has" it until a backup
// clears it, and again after any later change of the file. What a backup cleared is kept as
// the file's size and modification time in nanoseconds, in a state file of the user's data
// folder (`TOLMARE_ARCHIVE_STATE` names another one), keyed by the file's absolute path.
#pragma once

#include <QHash>
#include <QString>

namespace archiveflag {

// The state file read once; changes are written back by save(), once per run.
class State {
public:
    State();
    bool has(const QString& path) const;
    void clear(const QString& path);
    // Clears it as the file was when `stamp` (of stamp()) was taken: a change made while the
    // file was being read gives it the attribute again.
    void clear(const QString& path, const QString& stamp);
    // Writes the state file when something was cleared; false when it cannot be written.
    bool save();

private:
    QHash<QString, QString> map_;
    bool dirty_ = false;
};

bool has(const QString& path);
void clear(const QString& path);
// The file's size and modification time; empty when it cannot be read.
QString stamp(const QString& path);

}  // namespace archiveflag

// What went wrong in a run of the backup engine, or in a backup, check or restore as a whole:
// its kind, the engine's error code (1 to 7, whose English texts callers of TBackupFile are
// given), the file it concerns and, for the operator in Portuguese, what failed and what to do.
#pragma once

#include <QString>

class QFileDevice;

namespace backup {

struct RunError {
    enum class Kind {
        None,
        SourceUnreadable,   // a file to back up could not be read
        ArchiveUnreadable,  // the archive (or a volume of it) could not be opened
        ArchiveDamaged,     // not an archive, cut short, a block that does not decode, mixed sets
        WriteFailed,        // the archive or a restored file could not be written
        DiskFull,           // the same, for want of room on the disk
        Cancelled,          // stopped by the operator, or a volume asked for was not given
        Busy,               // a table stayed locked by another program past the wait
        NothingToDo,        // no file to back up
    };

    Kind kind = Kind::None;
    int code = 0;    // the engine's code; 0 for what the engine does not report
    QString file;    // the file it concerns; empty when none
    QString detail;  // what failed and what to do, when the kind's message does not say it all

    explicit operator bool() const { return kind != Kind::None; }
    // The engine's text for its code ("Cannot read file"...); empty for 0.
    static QString engineText(int code);
    // For the operator: the detail when there is one, else the kind's own message.
    QString message() const;
    // The engine's text and the file ("Cannot read file: /dados/GRUPO.DB"), then the message
    // on a line of its own; the message alone when the engine has no code for it.
    QString described() const;
};

// The kind of a failed write on `device`: DiskFull when the disk had no room left.
RunError::Kind writeFailure(const QFileDevice& device);

}  // namespace backup

// One run of the backup engine (a backup, a restore, the check of an archive) as the archive
// writer, the archive reader and the restore run share it: the continue flag, the run's error,
// the byte counts behind the progress and the file at hand; and what a run asks of the one it
// runs for (RunEvents).
#pragma once

#include "backup/RunError.h"

#include <QString>

namespace backup {

struct RunState {
    bool going = true;     // the continue flag: false once stopped or failed
    RunError error;        // the run's error (the last one raised); kind None while there is none
    qint64 processed = 0;  // bytes read from files (backup), decoded (restore, check)
    qint64 written = 0;    // data bytes written into the archive
    qint64 total = 0;      // what `processed` is measured against
    QString currentFile;   // the file progress names

    // A fresh run.
    void start() { *this = RunState(); }
    // Records an error and stops the run.
    void fail(RunError::Kind kind, int code, const QString& file = {}, const QString& detail = {})
    {
        error = {kind, code, file, detail};
        going = false;
    }
    bool failed() const { return error.code != 0; }
};

// What a run asks of its owner, synchronously, from inside the run.
class RunEvents {
public:
    // `processed` or `currentFile` changed; the owner may stop the run.
    virtual void progress() = 0;
    // Volume `volume` (2 and up) is wanted; false stops the run.
    virtual bool needDisk(int volume) = 0;
    // A file was wholly restored or checked.
    virtual void fileDone() = 0;
    // Whether an entry is restored to `target` (which may be changed), given whether the
    // target exists and is older than the stored date `date`.
    virtual bool restoreFile(QString& target, qint32 date, bool exists, bool older) = 0;

protected:
    ~RunEvents() = default;
};

}  // namespace backup

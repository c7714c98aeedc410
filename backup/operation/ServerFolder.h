// The private temporary folder through which a server store's tables pass as table files (a
// backup's snapshot, a restore's extraction, the snapshot a reading command runs on). It holds
// copies of the association's data, so none is left behind: the folder is removed when the
// operation ends, and one left by a run that was killed is removed by the next run. A running
// operation holds a lock on a file in its folder (released by the system when its process
// ends), which tells its folder from a left one.
#pragma once

#include <QString>
#include <QTemporaryDir>

namespace backup {

class ServerFolder {
public:
    // Makes this run's folder and removes those of ended runs; on a failure `error` says why
    // in Portuguese and path() is empty.
    ServerFolder();
    ~ServerFolder();
    ServerFolder(const ServerFolder&) = delete;
    ServerFolder& operator=(const ServerFolder&) = delete;

    QString path() const { return ok_ ? dir_.path() : QString(); }
    QString error() const { return error_; }

private:
    QTemporaryDir dir_;
    int lock_ = -1;
    bool ok_ = false;
    QString error_;
};

}  // namespace backup

// One restore run: the entries of an archive read in order, each restored file
// written beside its target and put in place only when all of its data was read and written.
// The same run checks an archive, reading every block and writing nothing.
#pragma once

#include "backup/ArchiveReader.h"
#include "backup/RunState.h"
#include "backup/VolumeSet.h"

#include <QFile>
#include <QHash>
#include <QString>

#include <memory>

class RestoreRun {
public:
    struct Settings {
        QString dest;           // the destination folder; empty: the stored names themselves
        bool fullPath = false;  // below the destination with the stored folders
        bool verify = false;    // check the archive: read every block, write nothing
    };
    // Reads from `dev` (the archive `file` when it is one, opened, past its header), into
    // `run`; each entry is decided on and each file done told to `events`.
    RestoreRun(backup::RunState& run, backup::RunEvents& events, QIODevice* dev,
               std::unique_ptr<QFile> file, const QString& archiveName, Settings settings);
    ~RestoreRun();
    // Reads the entries up to the end marker; throws BackupException for an archive that
    // ends early or holds what no archive holds.
    void run();

    // Where a stored name is restored; empty for a name that is refused (an empty, "." or
    // ".." part, or a place outside the destination).
    static QString targetFor(const QByteArray& stored, const QString& dest, bool fullPath);

private:
    struct Target;
    bool nextVolume(const QByteArray& name);
    void entry(const QByteArray& name, qint32 date);
    bool safeTarget(const QString& target) const;
    void readPending();
    void finishPending();
    void readSizes();
    // The file of the volume being read (the archive's name for a stream).
    QString volume() const { return file_ ? file_->fileName() : archiveName_; }

    backup::RunState& run_;
    backup::RunEvents& events_;
    QIODevice* dev_;
    std::unique_ptr<QFile> file_;
    QString archiveName_;
    Settings settings_;
    ArchiveReader reader_;
    std::unique_ptr<Target> pending_;  // the file being restored, until its entry ends
    volumeset::VolumeSet set_;
    int volume_ = 1;
    QHash<QString, qint64> sizes_;  // the sizes of the information entry, by stored name
};

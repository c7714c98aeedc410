// One run of TBackupFile::Restore: the entries of an archive read in order, each restored file
// written beside its target and put in place only when all of its data was read and written.
// The same run checks an archive (TBackupFile::Verify), reading every block and writing nothing.
#pragma once

#include "backup/ArchiveReader.h"
#include "backup/VolumeSet.h"

#include <QFile>
#include <QHash>
#include <QString>

#include <memory>

class TBackupFile;

class RestoreRun {
public:
    RestoreRun(TBackupFile& b, QIODevice* dev, std::unique_ptr<QFile> file,
               const QString& archiveName, const QString& dest, bool verify = false);
    ~RestoreRun();
    // Reads the entries up to the end marker; throws BackupException as Restore does.
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

    TBackupFile& b_;
    QIODevice* dev_;
    std::unique_ptr<QFile> file_;
    QString archiveName_, dest_;
    ArchiveReader reader_;
    std::unique_ptr<Target> pending_;  // the file being restored, until its entry ends
    volumeset::VolumeSet set_;
    int volume_ = 1;
    bool verify_ = false;
    QHash<QString, qint64> sizes_;  // the sizes of the information entry, by stored name
};

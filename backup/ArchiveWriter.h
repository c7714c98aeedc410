// Writing an archive: the volumes, written under pending names beside the archive and put in
// place as a set once all are complete and read back (backup/VolumeSet.h), and one file's data
// as segments of blocks cut between volumes.
#pragma once

#include <QIODevice>
#include <QSaveFile>
#include <QStringList>

#include "backup/VolumeSet.h"

#include <memory>
#include <optional>

class TBackupFile;

class ArchiveWriter {
public:
    ArchiveWriter(TBackupFile& b, const QString& name) : b_(b), name_(name) {}
    ~ArchiveWriter();

    // Opens the first volume (or the caller's stream); false on failure.
    bool open();
    // Writes bytes into the current volume; error 4 on failure.
    bool write(const QByteArray& bytes);
    // Writes an entry's name, date and the start of its data; cuts the volume first when the
    // entry would not fit in it. Error 4 on failure.
    bool beginEntry(const QByteArray& name, qint32 date);
    // One file's data: segments of blocks, cut into volumes when MaxSize is set.
    void writeData(QIODevice& in);
    // Writes the end marker, reads the new set back (when it has several volumes or replaces
    // an archive) and puts it in place; error 4 on failure.
    bool finish();
    // Drops the volume being written and the pending volumes of this run.
    void discard();

private:
    bool cutVolume();
    bool openVolume();
    bool closeVolume(bool last);
    bool readBack();
    void fail(int code);
    qint64 pos() const { return dev_->pos(); }

    TBackupFile& b_;
    QString name_;
    std::unique_ptr<QSaveFile> file_;
    QIODevice* dev_ = nullptr;
    QString pending_;  // volume 1 under its pending name
    QByteArray setId_;
    std::optional<volumeset::Mark> before_;  // the mark of the archive this one replaces
    int volume_ = 1;
    bool entryWritten_ = false;  // an entry's data stands before: a volume may be cut here
};

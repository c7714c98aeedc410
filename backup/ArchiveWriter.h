// Writing an archive: the volumes, written under pending names beside the archive and put in
// place as a set once all are complete and read back (backup/VolumeSet.h), and one file's data
// as segments of blocks cut between volumes.
#pragma once

#include <QIODevice>
#include <QSaveFile>
#include <QStringList>

#include "backup/RunState.h"
#include "backup/VolumeSet.h"

#include <functional>
#include <memory>
#include <optional>

class ArchiveWriter {
public:
    struct Settings {
        qint32 maxSize = 0;           // bytes per volume; 0: one volume
        int zlibLevel = 1;
        QIODevice* stream = nullptr;  // the target when the name is ":STREAM"
        // Reads the pending set whose volume 1 is at the path back: what is wrong, or empty.
        std::function<QString(const QString& pending)> readBack;
    };
    // Writes into `run`'s counts and error (4 for a failed write); volumes are asked of
    // `events`.
    ArchiveWriter(backup::RunState& run, backup::RunEvents& events, const QString& name,
                  Settings settings)
        : run_(run), events_(events), name_(name), settings_(std::move(settings)) {}
    ~ArchiveWriter();

    // Opens the first volume (or the caller's stream); false on failure.
    bool open();
    // Writes bytes into the current volume; error 4 on failure.
    bool write(const QByteArray& bytes);
    // Writes an entry's name, date and the start of its data; cuts the volume first when the
    // entry would not fit in it. Error 4 on failure.
    bool beginEntry(const QByteArray& name, qint32 date);
    // One file's data: segments of blocks, cut into volumes when maxSize is set.
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
    void fail(backup::RunError::Kind kind, int code);
    void writeFailed();
    qint64 pos() const { return dev_->pos(); }

    backup::RunState& run_;
    backup::RunEvents& events_;
    QString name_;
    Settings settings_;
    std::unique_ptr<QSaveFile> file_;
    QIODevice* dev_ = nullptr;
    QString pending_;  // volume 1 under its pending name
    QByteArray setId_;
    std::optional<volumeset::Mark> before_;  // the mark of the archive this one replaces
    int volume_ = 1;
    bool entryWritten_ = false;  // an entry's data stands before: a volume may be cut here
};

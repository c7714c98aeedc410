// Writing an archive: the volumes, each written beside its final name and put in place only
// when it is complete, and one file's data as segments of blocks cut between volumes.
#pragma once

#include <QIODevice>
#include <QSaveFile>
#include <QStringList>

#include <memory>

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
    // Writes the end marker and puts the last volume in place; error 4 on failure.
    bool finish();
    // Drops the volume being written and removes the volumes this run put in place.
    void discard();

private:
    bool cutVolume();
    void fail(int code);
    qint64 pos() const { return dev_->pos(); }

    TBackupFile& b_;
    QString name_;
    std::unique_ptr<QSaveFile> file_;
    QIODevice* dev_ = nullptr;
    QStringList done_;  // volumes of this run already in place
    int volume_ = 1;
    bool entryWritten_ = false;  // an entry's data stands before: a volume may be cut here
};

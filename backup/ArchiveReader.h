// Reading an archive's data segments (EC2 zlib blocks, ECS LZRW1KH blocks) into a sink, or
// passing over them, in fixed areas: nothing grows with the size of a file.
#pragma once

#include <QByteArray>
#include <QIODevice>

#include <zlib.h>

class TBackupFile;

// Where a segment's bytes go: a restored file, the file-information text.
class ArchiveSink {
public:
    virtual ~ArchiveSink() = default;
    // False when the bytes cannot be taken (the read then ends as error 1).
    virtual bool write(const char* data, qint64 n) = 0;
};

class ArchiveReader {
public:
    ArchiveReader(TBackupFile& b, QIODevice* dev);
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;
    void setDevice(QIODevice* d) { dev_ = d; }
    // Strict: a zlib block must end its stream exactly (checking an archive); otherwise what
    // it produced is taken, as a restore does.
    void setStrict(bool strict) { strict_ = strict; }

    // Reads one data segment into `out`, or passes over it when `out` is null. `progressFile`
    // says whether progress is reported for EC2 blocks (a file being restored). Throws
    // BackupException for a segment that is not one, an archive that ends early and bytes
    // the sink refuses.
    void segment(ArchiveSink* out, bool progressFile);

private:
    void ec2(ArchiveSink* out, bool progressFile);
    void ecs(ArchiveSink* out);
    bool inflateBlock(qint64 size, qint64& count);
    void fail(int code);

    TBackupFile& b_;
    QIODevice* dev_;
    QByteArray payload_, area_;
    z_stream zs_{};
    bool zsReady_ = false;
    bool strict_ = false;
};

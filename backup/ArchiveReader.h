// Reading an archive's data segments (EC2 zlib blocks, ECS LZRW1KH blocks) into a sink, or
// passing over them, in fixed areas: nothing grows with the size of a file.
#pragma once

#include "backup/RunState.h"

#include <QByteArray>
#include <QIODevice>

// Where a segment's bytes go: a restored file, the file-information text.
class ArchiveSink {
public:
    virtual ~ArchiveSink() = default;
    // False when the bytes cannot be taken (the segment then throws BackupException).
    virtual bool write(const char* data, qint64 n) = 0;
    // A sink that only counts the bytes (checking an archive) is given their number alone,
    // with `data` null: the blocks are then decoded ahead on the other cores.
    virtual bool countsOnly() const { return false; }
};

class ArchiveReader {
public:
    // Reads into `run`: its continue flag, its error (6 for a block that does not decode),
    // the bytes decoded; progress is told to `events`.
    ArchiveReader(backup::RunState& run, backup::RunEvents& events, QIODevice* dev);
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
    void ec2Ahead(ArchiveSink* out, bool progressFile);
    bool took(ArchiveSink* out, const char* bytes, qint64 count, bool progressFile);
    void ecs(ArchiveSink* out);
    void undecodable();

    backup::RunState& run_;
    backup::RunEvents& events_;
    QIODevice* dev_;
    QByteArray payload_, area_;
    bool strict_ = false;
};

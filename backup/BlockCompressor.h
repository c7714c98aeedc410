// Compressing a file's chunks into archive blocks. Every block is an independent zlib stream,
// so the blocks ahead of the writer are compressed on the other cores while the writer puts
// them into the archive in file order: the bytes are the same as one core would write.
#pragma once

#include <QByteArray>
#include <QIODevice>

#include "backup/ArchiveBytes.h"
#include "backup/WorkAhead.h"

#include <deque>
#include <memory>
#include <vector>

namespace backupfmt {

// One block as the archive holds it: BlockLength and payload.
struct Block {
    QByteArray bytes;
    qint64 raw = 0;       // bytes of the file it carries
    bool failed = false;  // the compressor failed (error 6)
};

Block compressChunk(const QByteArray& chunk, int zlibLevel);

// The blocks of a file in order, compressed ahead on the pool.
class BlockQueue {
public:
    BlockQueue(QIODevice& in, int zlibLevel);
    ~BlockQueue();
    BlockQueue(const BlockQueue&) = delete;
    BlockQueue& operator=(const BlockQueue&) = delete;

    // The next block; false at the end of the file or after a failed read.
    bool next(Block& out);
    bool atEnd() const
    {
        return taken_ >= current_.size() && batches_.empty() && (eof_ || readError_);
    }
    // A read of the file failed: what was taken so far is not the whole file.
    bool readError() const { return readError_; }

private:
    struct Batch {
        std::vector<QByteArray> chunks;
        std::vector<Block> blocks;
    };
    void refill();
    QIODevice& in_;
    int level_;
    bool eof_ = false;
    bool readError_ = false;
    // Chunks go to the pool in batches, so that handing work over costs little per block;
    // each task compresses the batch beside it.
    std::deque<std::shared_ptr<AheadTask>> tasks_;
    std::deque<std::shared_ptr<Batch>> batches_;
    std::vector<Block> current_;
    size_t taken_ = 0;
};

}  // namespace backupfmt

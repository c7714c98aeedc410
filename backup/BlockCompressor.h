// Compressing a file's chunks into archive blocks. Every block is an independent zlib stream,
// so the blocks ahead of the writer are compressed on the other cores while the writer puts
// them into the archive in file order: the bytes are the same as one core would write.
#pragma once

#include <QByteArray>
#include <QIODevice>

#include "backup/ArchiveBytes.h"

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

// Threads used for compressing ahead (0: compress on the caller's thread only).
void setCompressionThreads(int n);
int compressionThreads();

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
        return taken_ >= current_.size() && pending_.empty() && (eof_ || readError_);
    }
    // A read of the file failed: what was taken so far is not the whole file.
    bool readError() const { return readError_; }

private:
    struct Batch;
    void refill();
    QIODevice& in_;
    int level_;
    bool eof_ = false;
    bool readError_ = false;
    // Chunks go to the pool in batches, so that handing work over costs little per block.
    std::deque<std::shared_ptr<Batch>> pending_;
    std::vector<Block> current_;
    size_t taken_ = 0;
};

}  // namespace backupfmt

// Compressing a file's chunks into archive blocks. Every block is an independent zlib stream,
// so the blocks ahead of the writer are compressed on the other cores while the writer puts
// them into the archive in file order: the bytes are the same as one core would write.
#pragma once

#include <QByteArray>
#include <QFile>

#include <deque>
#include <future>
#include <vector>

namespace backupfmt {

constexpr int kChunk = 16384;

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
    BlockQueue(QFile& in, int zlibLevel);
    ~BlockQueue();
    BlockQueue(const BlockQueue&) = delete;
    BlockQueue& operator=(const BlockQueue&) = delete;

    // The next block; false at the end of the file. `readError` tells a failed read.
    bool next(Block& out, bool& readError);
    bool atEnd() const
    {
        return taken_ >= current_.size() && pending_.empty() && (in_.atEnd() || readError_);
    }

private:
    void refill();
    QFile& in_;
    int level_;
    bool readError_ = false;
    // Chunks go to the pool in batches, so that handing work over costs little per block.
    std::deque<std::future<std::vector<Block>>> pending_;
    std::vector<Block> current_;
    size_t taken_ = 0;
};

}  // namespace backupfmt

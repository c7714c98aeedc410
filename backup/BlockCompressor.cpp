#include "backup/BlockCompressor.h"

#include "backup/SourceFile.h"

#include <zlib.h>

namespace backupfmt {

// One deflate stream per thread, reset for every block: a reset stream writes exactly what a
// fresh one would, without allocating and clearing its quarter megabyte of state per block.
struct Deflater {
    z_stream zs{};
    int level = 0;
    bool ready = false;
    ~Deflater()
    {
        if (ready) deflateEnd(&zs);
    }
    z_stream* get(int wanted)
    {
        if (ready && level == wanted) {
            if (deflateReset(&zs) == Z_OK) return &zs;
            deflateEnd(&zs);
            ready = false;
        } else if (ready) {
            deflateEnd(&zs);
            ready = false;
        }
        zs = z_stream{};
        if (deflateInit2(&zs, wanted, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return nullptr;
        level = wanted;
        ready = true;
        return &zs;
    }
};

Block compressChunk(const QByteArray& chunk, int zlibLevel)
{
    Block b;
    b.raw = chunk.size();
    thread_local Deflater deflater;
    thread_local QByteArray out(kChunk, '\0');
    z_stream* zs = deflater.get(zlibLevel);
    if (!zs) {
        b.failed = true;
        return b;
    }
    zs->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(chunk.constData()));
    zs->avail_in = uInt(chunk.size());
    zs->next_out = reinterpret_cast<Bytef*>(out.data());
    zs->avail_out = kChunk;
    const int rc = deflate(zs, Z_FINISH);
    const qint64 produced = kChunk - zs->avail_out;
    // A stream that does not end inside the area is stored instead.
    if (rc == Z_STREAM_END) b.bytes = int32le(qint32(produced)) + out.left(produced);
    else if (rc == Z_OK || rc == Z_BUF_ERROR) b.bytes = int32le(qint32(-chunk.size())) + chunk;
    else b.failed = true;
    return b;
}

BlockQueue::BlockQueue(QIODevice& in, int zlibLevel) : in_(in), level_(zlibLevel) {}

BlockQueue::~BlockQueue()
{
    dropAll(tasks_);  // a started batch finishes on its own: it holds nothing of the queue
}

void BlockQueue::refill()
{
    // Batches of 8 chunks (128 KB): few enough hand-overs and wake-ups that the threads spend
    // their time compressing, small enough that the writer's own batch never holds up the
    // file's next block for long. Four batches per thread wait ahead (at most 1 MB of chunks
    // on two cores, whatever the file's size), so that a pool thread finding its batch done
    // always finds another, even while the writer compresses one of the later ones itself.
    constexpr int kBatch = 8;
    const int threads = compressionThreads();
    const size_t depth = threads > 0 ? size_t(threads) * 4 : 1;
    while (batches_.size() < depth && !readError_ && !eof_) {
        auto batch = std::make_shared<Batch>();
        while (int(batch->chunks.size()) < (threads > 0 ? kBatch : 1) && !eof_) {
            QByteArray chunk(kChunk, Qt::Uninitialized);
            const qint64 n = readFully(in_, chunk.data(), kChunk);
            if (n < 0) {
                readError_ = true;
                break;
            }
            // A file that ends on a chunk boundary is known to end without one more read, so
            // that no volume is cut before nothing.
            if (n < kChunk || (!in_.isSequential() && in_.atEnd())) eof_ = true;
            if (n == 0) break;
            chunk.truncate(n);
            batch->chunks.push_back(std::move(chunk));
        }
        if (batch->chunks.empty()) break;
        auto task = std::make_shared<AheadTask>([batch, level = level_] {
            batch->blocks.reserve(batch->chunks.size());
            for (const QByteArray& c : batch->chunks) batch->blocks.push_back(compressChunk(c, level));
        });
        tasks_.push_back(task);
        batches_.push_back(batch);
        startAhead(task);
    }
}

bool BlockQueue::next(Block& out)
{
    if (taken_ >= current_.size()) {
        refill();
        if (batches_.empty()) return false;
        takeFront(tasks_);
        current_ = std::move(batches_.front()->blocks);
        batches_.pop_front();
        taken_ = 0;
        refill();
        if (current_.empty()) return false;
    }
    out = std::move(current_[taken_++]);
    return true;
}

}  // namespace backupfmt

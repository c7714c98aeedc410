#include "backup/ArchiveReader.h"

#include "backup/ArchiveBytes.h"
#include "backup/EventPump.h"
#include "backup/LZRW1KH.h"
#include "backup/WorkAhead.h"
#include "backup/BackupException.h"

#include <QScopeGuard>

#include <zlib.h>

#include <deque>
#include <exception>
#include <memory>
#include <vector>

using backupfmt::kChunk;

ArchiveReader::ArchiveReader(backup::RunState& run, backup::RunEvents& events, QIODevice* dev)
    : run_(run), events_(events), dev_(dev), payload_(lzrw1kh::kBlockSize, '\0'),
      area_(lzrw1kh::kBlockSize, '\0')
{
}

ArchiveReader::~ArchiveReader() = default;

namespace {

// One inflate stream per thread, reset for every block: each block is still decoded as a
// stream of its own.
struct Inflater {
    z_stream zs{};
    bool ready = false;
    ~Inflater()
    {
        if (ready) inflateEnd(&zs);
    }
    // Decodes the block `in` into `out` (kChunk bytes): the bytes it gives, or -1 (error 6).
    // Strict: the stream must end exactly with the block (checking an archive); otherwise what
    // it produced is taken, as a restore does.
    qint64 decode(const char* in, qint64 size, char* out, bool strict)
    {
        if (!ready) {
            zs = z_stream{};
            if (inflateInit2(&zs, 15) != Z_OK) return -1;
            ready = true;
        } else if (inflateReset(&zs) != Z_OK) {
            return -1;
        }
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in));
        zs.avail_in = uInt(size);
        zs.next_out = reinterpret_cast<Bytef*>(out);
        zs.avail_out = kChunk;
        const int rc = inflate(&zs, Z_NO_FLUSH);
        const qint64 count = kChunk - zs.avail_out;
        const bool ok = strict ? rc == Z_STREAM_END && zs.avail_in == 0
                               : rc >= 0 || rc == Z_BUF_ERROR;
        return ok ? count : -1;
    }
};

qint64 decodeBlock(const char* in, qint64 size, char* out, bool strict)
{
    thread_local Inflater inflater;
    return inflater.decode(in, size, out, strict);
}

}  // namespace

// A block that does not decode: error 6.
void ArchiveReader::undecodable()
{
    run_.fail(backup::RunError::Kind::ArchiveDamaged, 6);
}

void ArchiveReader::segment(ArchiveSink* out, bool progressFile)
{
    const QByteArray tag = backupfmt::take(dev_, 4);
    const qsizetype zero = tag.indexOf('\0');
    const QByteArray text = zero < 0 ? tag : tag.left(zero);
    if (text == "EC2") ec2(out, progressFile);
    else if (text == "ECS") ecs(out);
    else throw BackupException("Invalid archive type");
}

void ArchiveReader::ec2(ArchiveSink* out, bool progressFile)
{
    if (out && out->countsOnly() && backupfmt::compressionThreads() > 0)
        return ec2Ahead(out, progressFile);
    while (run_.going) {
        const qint32 length = backupfmt::takeInt(dev_);
        if (length == 0) break;
        const qint64 size = length < 0 ? -qint64(length) : length;
        if (size > kChunk) throw BackupException("Invalid archive type");
        if (!out) {
            backupfmt::skip(dev_, size);
            backupui::pumpEvents();
            continue;
        }
        backupfmt::takeInto(dev_, payload_.data(), size);
        const char* bytes = payload_.constData();
        qint64 count = size;
        if (length > 0) {
            count = decodeBlock(payload_.constData(), size, area_.data(), strict_);
            bytes = area_.constData();
        }
        if (!took(out, bytes, count, progressFile)) break;
    }
}

// Gives a block's bytes to the sink; false (error 6) when the block did not decode.
bool ArchiveReader::took(ArchiveSink* out, const char* bytes, qint64 count, bool progressFile)
{
    if (count < 0) {
        undecodable();
        return false;
    }
    if (!out->write(bytes, count)) throw BackupException(backup::RunError::engineText(1));
    backupui::pumpEvents();
    if (progressFile) {
        run_.processed += count;
        events_.progress();
    }
    return true;
}

// The segment for a sink that only counts: blocks are read in batches and decoded ahead on
// the other cores, their counts taken in order. What reading ahead meets (an archive that
// ends early, a block too long) is thrown only when the blocks before it were taken, so the
// outcome is the one reading block by block gives.
void ArchiveReader::ec2Ahead(ArchiveSink* out, bool progressFile)
{
    // A stored block's bytes need no check: only its size is kept.
    struct Batch {
        std::vector<QByteArray> blocks;  // a compressed block's bytes; empty for a stored one
        std::vector<qint64> counts;      // the bytes each block gives; -1: it does not decode
    };
    std::deque<std::shared_ptr<backupfmt::AheadTask>> tasks;
    std::deque<std::shared_ptr<Batch>> batches;
    const auto drop = qScopeGuard([&] { backupfmt::dropAll(tasks); });
    std::exception_ptr readFailure;
    bool ended = false;
    const size_t depth = size_t(backupfmt::compressionThreads()) * 4;
    const bool strict = strict_;
    auto refill = [&] {
        while (!ended && batches.size() < depth) {
            auto batch = std::make_shared<Batch>();
            try {
                while (batch->blocks.size() < 8) {
                    const qint32 length = backupfmt::takeInt(dev_);
                    if (length == 0) {
                        ended = true;
                        break;
                    }
                    const qint64 size = length < 0 ? -qint64(length) : length;
                    if (size > kChunk) throw BackupException("Invalid archive type");
                    if (length < 0) backupfmt::takeInto(dev_, payload_.data(), size);
                    batch->blocks.push_back(length < 0 ? QByteArray() : backupfmt::take(dev_, size));
                    batch->counts.push_back(size);
                }
            } catch (const BackupException&) {
                readFailure = std::current_exception();
                ended = true;
            }
            if (batch->blocks.empty()) break;
            auto task = std::make_shared<backupfmt::AheadTask>([batch, strict] {
                thread_local QByteArray area(kChunk, Qt::Uninitialized);
                for (size_t i = 0; i < batch->blocks.size(); ++i) {
                    const QByteArray& b = batch->blocks[i];
                    if (!b.isEmpty())
                        batch->counts[i] = decodeBlock(b.constData(), b.size(), area.data(), strict);
                }
            });
            tasks.push_back(task);
            batches.push_back(batch);
            backupfmt::startAhead(task);
        }
    };
    while (run_.going) {
        refill();
        if (batches.empty()) break;
        backupfmt::takeFront(tasks);
        const std::shared_ptr<Batch> batch = batches.front();
        batches.pop_front();
        for (const qint64 count : batch->counts)
            if (!run_.going || !took(out, nullptr, count, progressFile)) return;
    }
    if (readFailure && run_.going) std::rethrow_exception(readFailure);
}

void ArchiveReader::ecs(ArchiveSink* out)
{
    qint64 remaining = backupfmt::takeInt(dev_);
    while (remaining > 0 && run_.going) {
        const qint32 length = backupfmt::takeInt(dev_);
        if (length <= 0 || length > lzrw1kh::kBlockSize) {
            undecodable();
            break;
        }
        backupfmt::takeInto(dev_, payload_.data(), length);
        const int n = lzrw1kh::decode(reinterpret_cast<const uint8_t*>(payload_.constData()),
                                      length, reinterpret_cast<uint8_t*>(area_.data()));
        if (n < 0) {
            undecodable();
            break;
        }
        if (out && !out->write(area_.constData(), n))
            throw BackupException(backup::RunError::engineText(1));
        remaining -= 4 + qint64(length);
        backupui::pumpEvents();
        if (out) run_.processed += n;
        events_.progress();
    }
}

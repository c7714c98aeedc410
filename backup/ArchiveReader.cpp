#include "backup/ArchiveReader.h"

#include "backup/ArchiveBytes.h"
#include "backup/EventPump.h"
#include "backup/LZRW1KH.h"
#include "backup/backup.h"

using backupfmt::kChunk;

ArchiveReader::ArchiveReader(TBackupFile& b, QIODevice* dev)
    : b_(b), dev_(dev), payload_(lzrw1kh::kBlockSize, '\0'), area_(lzrw1kh::kBlockSize, '\0')
{
}

ArchiveReader::~ArchiveReader()
{
    if (zsReady_) inflateEnd(&zs_);
}

void ArchiveReader::fail(int code)
{
    b_.error_ = code;
    b_.continue_ = false;
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

// One inflate stream for the reader, reset for every block: each block is still decoded as a
// stream of its own. False on error 6.
bool ArchiveReader::inflateBlock(qint64 size, qint64& count)
{
    if (!zsReady_) {
        zs_ = z_stream{};
        if (inflateInit2(&zs_, 15) != Z_OK) return false;
        zsReady_ = true;
    } else if (inflateReset(&zs_) != Z_OK) {
        return false;
    }
    zs_.next_in = reinterpret_cast<Bytef*>(payload_.data());
    zs_.avail_in = uInt(size);
    zs_.next_out = reinterpret_cast<Bytef*>(area_.data());
    zs_.avail_out = kChunk;
    const int rc = inflate(&zs_, Z_NO_FLUSH);
    count = kChunk - zs_.avail_out;
    if (strict_) return rc == Z_STREAM_END && zs_.avail_in == 0;
    return rc >= 0 || rc == Z_BUF_ERROR;
}

void ArchiveReader::ec2(ArchiveSink* out, bool progressFile)
{
    while (b_.continue_) {
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
            if (!inflateBlock(size, count)) {
                fail(6);
                break;
            }
            bytes = area_.constData();
        }
        if (!out->write(bytes, count)) throw BackupException(TBackupFile::errorMessage(1));
        backupui::pumpEvents();
        if (progressFile) {
            b_.processedSize_ += count;
            b_.progress(b_.currentFile_, b_.processedSize_);
        }
    }
}

void ArchiveReader::ecs(ArchiveSink* out)
{
    qint64 remaining = backupfmt::takeInt(dev_);
    while (remaining > 0 && b_.continue_) {
        const qint32 length = backupfmt::takeInt(dev_);
        if (length <= 0 || length > lzrw1kh::kBlockSize) {
            fail(6);
            break;
        }
        backupfmt::takeInto(dev_, payload_.data(), length);
        const int n = lzrw1kh::decode(reinterpret_cast<const uint8_t*>(payload_.constData()),
                                      length, reinterpret_cast<uint8_t*>(area_.data()));
        if (n < 0) {
            fail(6);
            break;
        }
        if (out && !out->write(area_.constData(), n))
            throw BackupException(TBackupFile::errorMessage(1));
        remaining -= 4 + qint64(length);
        backupui::pumpEvents();
        if (out) b_.processedSize_ += n;
        b_.progress(b_.currentFile_, b_.processedSize_);
    }
}

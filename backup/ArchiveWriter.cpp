#include "backup/ArchiveWriter.h"

#include "backup/ArchiveBytes.h"
#include "backup/BlockCompressor.h"
#include "backup/EventPump.h"

#include <QFile>
#include <QFileInfo>

namespace {

const QString kStream = ":STREAM";
const QByteArray kTag("EC2\0", 4);
// Room kept after the volume check: one block (16,388), a terminator, a continuation record
// and the volume's mark fit in it.
constexpr qint64 kBlockRoom = 16484;
constexpr qint64 kCutRoom = 4 + 16 + volumeset::kMarkSize;  // terminator, continuation, mark
using Kind = backup::RunError::Kind;

}  // namespace

ArchiveWriter::~ArchiveWriter() = default;  // an uncommitted volume is dropped by QSaveFile

bool ArchiveWriter::open()
{
    if (name_ == kStream) {
        dev_ = settings_.stream;
        return dev_ && dev_->isWritable();
    }
    before_ = volumeset::markOf(name_);
    pending_ = volumeset::pendingName(name_);
    setId_ = volumeset::newId();
    return openVolume();
}

bool ArchiveWriter::openVolume()
{
    const QString path = volume_ == 1 ? pending_ : volumeset::volumeName(pending_, volume_);
    file_ = std::make_unique<QSaveFile>(path);
    dev_ = file_.get();
    return file_->open(QIODevice::WriteOnly);
}

// Ends the volume being written with its mark (an archive of one volume has none) and puts it
// under its pending name.
bool ArchiveWriter::closeVolume(bool last)
{
    if (volume_ > 1 || !last) {
        if (!write(volumeset::markBytes({setId_, volume_, last}))) return false;
    }
    if (!file_ || !backupfmt::commitWhole(*file_)) {
        writeFailed();
        return false;
    }
    file_.reset();
    dev_ = nullptr;
    return true;
}

// Error 4 does not hide an error raised before it (a file that could not be read).
void ArchiveWriter::fail(Kind kind, int code)
{
    if (code == 4 && run_.failed()) run_.going = false;
    else run_.fail(kind, code);
}

void ArchiveWriter::writeFailed()
{
    const auto* file = qobject_cast<const QFileDevice*>(dev_ ? dev_ : file_.get());
    fail(file ? backup::writeFailure(*file) : Kind::WriteFailed, 4);
}

bool ArchiveWriter::write(const QByteArray& bytes)
{
    if (dev_ && dev_->write(bytes) == bytes.size()) return true;
    writeFailed();
    return false;
}

bool ArchiveWriter::beginEntry(const QByteArray& name, qint32 date)
{
    const QByteArray head = backupfmt::int32le(qint32(name.size())) + name
                            + backupfmt::int32le(date) + kTag;
    if (settings_.maxSize != 0 && pos() + head.size() + kCutRoom > settings_.maxSize) {
        // The entry would push the volume past its limit: the volume ends after the last
        // entry's data, and the next one starts with an empty segment continuing it.
        if (!entryWritten_) {
            fail(Kind::WriteFailed, 4);
            return false;
        }
        if (!cutVolume()) return false;
        if (!write(kTag + backupfmt::int32le(0))) return false;
        run_.written += 4;
        if (pos() + head.size() + kCutRoom > settings_.maxSize) {  // no room even in a fresh volume
            fail(Kind::WriteFailed, 4);
            return false;
        }
    }
    if (!write(head)) return false;
    run_.written += 4;
    entryWritten_ = true;
    return true;
}

void ArchiveWriter::writeData(QIODevice& in)
{
    backupfmt::BlockQueue blocks(in, settings_.zlibLevel);
    qint64 fileBytes = 0;
    for (;;) {
        while (!blocks.atEnd() && run_.going) {
            if (settings_.maxSize != 0 && pos() >= qint64(settings_.maxSize) - kBlockRoom) break;
            backupfmt::Block block;
            if (!blocks.next(block)) break;
            run_.processed += block.raw;
            fileBytes += block.raw;
            if (block.failed) return fail(Kind::WriteFailed, 6);
            // Grew past what sizes hold.
            if (fileBytes > backupfmt::kMaxSize) return fail(Kind::SourceUnreadable, 1);
            if (!write(block.bytes)) return;
            run_.written += block.bytes.size();
            backupui::pumpEvents();
            events_.progress();
        }
        // A failed read leaves a file that is not whole: never stored as if it were.
        if (blocks.readError()) return fail(Kind::SourceUnreadable, 1);
        if (!write(backupfmt::int32le(0))) return;
        if (blocks.atEnd() || !run_.going) return;
        if (!cutVolume()) return;
        if (!write(kTag)) return;
        run_.written += 4;
    }
}

bool ArchiveWriter::cutVolume()
{
    if (volume_ >= backupfmt::kMaxVolumes) {
        fail(Kind::WriteFailed, 4);
        return false;
    }
    const QByteArray digits = ("00" + QByteArray::number(volume_ + 1)).right(3);
    if (!write(backupfmt::int32le(12) + "NEXT:DISK" + digits) || !closeVolume(false)) return false;
    ++volume_;
    if (!events_.needDisk(volume_)) return false;
    if (!openVolume()) {
        writeFailed();
        return false;
    }
    return true;
}

bool ArchiveWriter::finish()
{
    if (!write(backupfmt::int32le(0))) return false;
    if (!file_) return true;  // the caller's stream
    if (!closeVolume(true)) return false;
    // A set of several volumes, or an archive that replaces an older one, is read back first.
    if (volume_ > 1 || QFileInfo::exists(name_)) {
        const QString problem = settings_.readBack ? settings_.readBack(pending_) : QString();
        if (!problem.isEmpty()) {
            fail(Kind::WriteFailed, 4);
            run_.error.file = name_;
            run_.error.detail =
                QString("Os volumes novos não se leram de volta iguais ao que foi gravado (%1): o "
                        "backup anterior com esse nome foi mantido. Faça o backup de novo (um "
                        "arquivo que mudava durante a cópia também causa isto).").arg(problem);
            return false;
        }
    }
    if (!volumeset::place(name_, volume_, before_)) {
        fail(Kind::WriteFailed, 4);
        return false;
    }
    pending_.clear();
    return true;
}

void ArchiveWriter::discard()
{
    if (file_) file_->cancelWriting();
    file_.reset();
    dev_ = nullptr;
    if (pending_.isEmpty()) return;
    QFile::remove(pending_);
    for (int n = 2; n <= volume_; ++n) QFile::remove(volumeset::volumeName(pending_, n));
    pending_.clear();
}

#include "backup/ArchiveWriter.h"

#include "backup/ArchiveBytes.h"
#include "backup/BlockCompressor.h"
#include "backup/EventPump.h"
#include "backup/backup.h"

#include <QFile>
#include <QFileInfo>

namespace {

const QString kStream = ":STREAM";
const QByteArray kTag("EC2\0", 4);
// Room kept after the volume check: one block (16,388), a terminator, a continuation record
// and the volume's mark fit in it.
constexpr qint64 kBlockRoom = 16484;
constexpr qint64 kCutRoom = 4 + 16 + volumeset::kMarkSize;  // terminator, continuation, mark

int zlibLevel(TBackupFile::TCompressionLevel l)
{
    switch (l) {
    case TBackupFile::clFastest: return 1;
    case TBackupFile::clNone: return 0;
    case TBackupFile::clDefault: return -1;
    case TBackupFile::clMax: return 9;
    }
    return 1;
}

}  // namespace

ArchiveWriter::~ArchiveWriter() = default;  // an uncommitted volume is dropped by QSaveFile

bool ArchiveWriter::open()
{
    if (name_ == kStream) {
        dev_ = b_.BackupStream;
        return dev_ && dev_->isWritable();
    }
    before_ = volumeset::markOf(name_);
    pending_ = volumeset::pendingName(name_);
    setId_ = volumeset::newId();
    return openVolume();
}

bool ArchiveWriter::openVolume()
{
    const QString path = volume_ == 1 ? pending_ : TBackupFile::volumeName(pending_, volume_);
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
        fail(4);
        return false;
    }
    file_.reset();
    dev_ = nullptr;
    return true;
}

void ArchiveWriter::fail(int code)
{
    if (b_.error_ == 0 || code != 4) b_.error_ = code;
    b_.continue_ = false;
}

bool ArchiveWriter::write(const QByteArray& bytes)
{
    if (dev_ && dev_->write(bytes) == bytes.size()) return true;
    fail(4);
    return false;
}

bool ArchiveWriter::beginEntry(const QByteArray& name, qint32 date)
{
    const QByteArray head = backupfmt::int32le(qint32(name.size())) + name
                            + backupfmt::int32le(date) + kTag;
    if (b_.MaxSize != 0 && pos() + head.size() + kCutRoom > b_.MaxSize) {
        // The entry would push the volume past its limit: the volume ends after the last
        // entry's data, and the next one starts with an empty segment continuing it.
        if (!entryWritten_) {
            fail(4);
            return false;
        }
        if (!cutVolume()) return false;
        if (!write(kTag + backupfmt::int32le(0))) return false;
        b_.writtenSize_ += 4;
        if (pos() + head.size() + kCutRoom > b_.MaxSize) {  // no room even in a fresh volume
            fail(4);
            return false;
        }
    }
    if (!write(head)) return false;
    b_.writtenSize_ += 4;
    entryWritten_ = true;
    return true;
}

void ArchiveWriter::writeData(QIODevice& in)
{
    backupfmt::BlockQueue blocks(in, zlibLevel(b_.CompressionLevel));
    qint64 fileBytes = 0;
    for (;;) {
        while (!blocks.atEnd() && b_.continue_) {
            if (b_.MaxSize != 0 && pos() >= qint64(b_.MaxSize) - kBlockRoom) break;
            backupfmt::Block block;
            if (!blocks.next(block)) break;
            b_.processedSize_ += block.raw;
            fileBytes += block.raw;
            if (block.failed) return fail(6);
            if (fileBytes > backupfmt::kMaxSize) return fail(1);  // grew past what sizes hold
            if (!write(block.bytes)) return;
            b_.writtenSize_ += block.bytes.size();
            backupui::pumpEvents();
            b_.progress(b_.currentFile_, b_.processedSize_);
        }
        // A failed read leaves a file that is not whole: never stored as if it were.
        if (blocks.readError()) return fail(1);
        if (!write(backupfmt::int32le(0))) return;
        if (blocks.atEnd() || !b_.continue_) return;
        if (!cutVolume()) return;
        if (!write(kTag)) return;
        b_.writtenSize_ += 4;
    }
}

bool ArchiveWriter::cutVolume()
{
    if (volume_ >= backupfmt::kMaxVolumes) {
        fail(4);
        return false;
    }
    const QByteArray digits = ("00" + QByteArray::number(volume_ + 1)).right(3);
    if (!write(backupfmt::int32le(12) + "NEXT:DISK" + digits) || !closeVolume(false)) return false;
    ++volume_;
    if (!b_.needDisk(volume_)) return false;
    if (!openVolume()) {
        fail(4);
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
    if ((volume_ > 1 || QFileInfo::exists(name_)) && !readBack()) {
        fail(4);
        b_.ErrorFile = name_;
        return false;
    }
    if (!volumeset::place(name_, volume_, before_)) {
        fail(4);
        return false;
    }
    pending_.clear();
    return true;
}

// Every volume of the new set decodes before the older set is touched.
bool ArchiveWriter::readBack()
{
    TBackupFile check;
    QString problem;
    check.OnError = [&problem](TBackupFile* c, qint32, const QString& message) {
        problem = message + (c->ErrorFile.isEmpty() ? QString() : ": " + c->ErrorFile);
    };
    check.OnNeedDisk = [](TBackupFile*, quint16, bool& cont) { cont = true; };
    bool ok = false;
    try {
        ok = check.Verify(pending_) && problem.isEmpty();
    } catch (const BackupException& e) {
        problem = e.message();
    }
    if (!ok)
        b_.ErrorDetail = QString("Os volumes novos não se leram de volta iguais ao que foi gravado "
                                 "(%1): o backup anterior com esse nome foi mantido. Faça o backup "
                                 "de novo (um arquivo que mudava durante a cópia também causa isto).")
                             .arg(problem);
    return ok;
}

void ArchiveWriter::discard()
{
    if (file_) file_->cancelWriting();
    file_.reset();
    dev_ = nullptr;
    if (pending_.isEmpty()) return;
    QFile::remove(pending_);
    for (int n = 2; n <= volume_; ++n) QFile::remove(TBackupFile::volumeName(pending_, n));
    pending_.clear();
}

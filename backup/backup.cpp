#include "backup/backup.h"

#include "backup/ArchiveFlag.h"
#include "backup/BlockCompressor.h"
#include "backup/DosDate.h"
#include "backup/EventPump.h"
#include "backup/LZRW1KH.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QBuffer>
#include <QSet>
#include <QTemporaryFile>

#include <zlib.h>

#include <memory>

namespace {

constexpr int kChunk = 16384;
constexpr qint64 kMaxSize = 0x7FFFFFFF;  // sizes are signed 32-bit in the format
const QString kStream = ":STREAM";
const QByteArray kFileList = "FILE:LIST";
const QByteArray kNextDisk = "NEXT:DISK";

int zlibLevel(TBackupFile::TCompressionLevel l)
{
    switch (l) {
    case TBackupFile::clFastest: return 1;
    case TBackupFile::clNone: return 0;
    case TBackupFile::clDefault: return Z_DEFAULT_COMPRESSION;
    case TBackupFile::clMax: return 9;
    }
    return 1;
}

QByteArray int32le(qint32 v)
{
    const quint32 u = quint32(v);
    const char b[4] = {char(u & 0xFF), char((u >> 8) & 0xFF), char((u >> 16) & 0xFF), char(u >> 24)};
    return QByteArray(b, 4);
}

bool put(QIODevice* d, const QByteArray& bytes)
{
    return d->write(bytes) == bytes.size();
}

QByteArray take(QIODevice* d, qint64 n)
{
    QByteArray b = d->read(n);
    if (b.size() != n) throw BackupException("Unexpected end of archive");
    return b;
}

qint32 takeInt(QIODevice* d)
{
    char b[4];
    if (d->read(b, 4) != 4) throw BackupException("Unexpected end of archive");
    const auto* p = reinterpret_cast<const uchar*>(b);
    return qint32(quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24);
}

void skip(QIODevice* d, qint64 n)
{
    if (d->skip(n) != n) throw BackupException("Unexpected end of archive");
}

// The archive's own texts (title) in the 8-bit code page; names keep the file system's bytes.
QByteArray titleBytes(const QString& s) { return s.toLatin1(); }

// Where a stored name is restored; empty when it would leave the destination folder.
QString targetFor(const QByteArray& stored, const QString& dest, bool fullPath)
{
    QString s = QFile::decodeName(stored);
    s.replace('\\', '/');
    if (dest.isEmpty()) return s;
    QString rel;
    if (!fullPath) {
        rel = s.section('/', -1);
    } else {
        if (s.size() >= 2 && s.at(1) == ':') s = s.mid(2);
        QStringList parts;
        for (const QString& p : s.split('/', Qt::SkipEmptyParts)) {
            if (p == "..") return {};
            if (p != ".") parts << p;
        }
        rel = parts.join('/');
    }
    if (rel.isEmpty() || rel == "." || rel == "..") return {};
    const QString base = QDir::cleanPath(dest);
    const QString target = QDir::cleanPath(base + '/' + rel);
    if (!target.startsWith(base == "/" ? base : base + '/')) return {};
    return target;
}

}  // namespace

// Sets Busy for the length of a run and clears it however the run ends.
struct BusyScope {
    bool& busy;
    explicit BusyScope(bool& b) : busy(b) { busy = true; }
    ~BusyScope() { busy = false; }
};

TBackupFile::TBackupFile(QObject* owner) : QObject(owner) {}
TBackupFile::~TBackupFile() = default;

void TBackupFile::setBackupMode(TBackupMode m)
{
    BackupMode = m;
    if (m == bmIncremental) SetArchiveFlag = true;
}

QString TBackupFile::errorMessage(int code)
{
    switch (code) {
    case 1: return "Cannot read file";
    case 2: return "Overwriting file failed";
    case 3: return "Cannot read archive";
    case 4: return "Cannot write to archive";
    case 5: return "Invalid archive type";
    case 6: return "Compression error";
    case 7: return "Cannot create temporary file to save the file IDs";
    default: return {};
    }
}

QString TBackupFile::volumeName(const QString& archiveName, int n)
{
    const QString digits = ("00" + QString::number(n)).right(3);
    const QFileInfo info(archiveName);
    const QString suffix = info.suffix();
    const QString stem = suffix.isEmpty() ? archiveName : archiveName.left(archiveName.size() - suffix.size() - 1);
    return stem + "." + digits;
}

qint32 TBackupFile::CompressionRate() const
{
    if (TotalSize == 0) return 0;
    return qint32(100 - writtenSize_ * 100 / TotalSize);
}

int TBackupFile::percent(qint64 processed, qint64 total)
{
    return total > 0 ? int(processed * 100 / total) : 0;
}

void TBackupFile::progress(const QString& fileName, qint64 processed)
{
    if (!OnProgress) return;
    const int percent = TBackupFile::percent(processed, totalForProgress_);
    bool cont = continue_;
    OnProgress(this, fileName, percent, cont);
    if (!cont) continue_ = false;
}

bool TBackupFile::needDisk(int volume)
{
    bool cont = true;
    if (OnNeedDisk) OnNeedDisk(this, quint16(volume), cont);
    else cont = backupui::askDisk(QString("Insira o disco %1 e click em OK para continuar.").arg(volume));
    continue_ = cont;
    return cont;
}

void TBackupFile::report()
{
    if (error_ == 0) return;
    if (OnError) OnError(this, error_, errorMessage(error_));
    else backupui::showError(errorMessage(error_));
}

QStringList TBackupFile::buildList(const QStringList& files, const QString& archiveName) const
{
    QStringList list;
    QSet<QString> seen;
    const QString archive = archiveName == kStream ? QString() : QFileInfo(archiveName).absoluteFilePath();
    std::function<void(const QString&)> expand = [&](const QString& text) {
        QString spec = text.trimmed();
        // Recursion is a trailing " /s" (a path here may well hold "/s" of its own).
        bool recurse = false;
        if (spec.endsWith(" /s", Qt::CaseInsensitive)) {
            recurse = true;
            spec = spec.chopped(3).trimmed();
        }
        if (spec.isEmpty()) return;
        const QFileInfo info(spec);
        QString mask = info.fileName();
        if (mask == "*.*") mask = "*";
        const QDir dir(info.absolutePath());
        const QFileInfoList entries = dir.entryInfoList(
            {mask}, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo& e : entries) {
            if (e.isDir()) {
                if (recurse) expand(e.absoluteFilePath() + "/" + info.fileName() + " /s");
                continue;
            }
            const QString path = e.absoluteFilePath();
            if (seen.contains(path) || path == archive) continue;
            if (BackupMode == bmIncremental && !archiveflag::has(path)) continue;
            seen.insert(path);
            list << path;
        }
    };
    for (const QString& f : files) expand(f);
    return list;
}

// ---- backup ----

class ArchiveWriter {
public:
    ArchiveWriter(TBackupFile& b, const QString& name) : b_(b), name_(name) {}

    bool open()
    {
        if (name_ == kStream) {
            dev_ = b_.BackupStream;
            return dev_ && dev_->isWritable();
        }
        file_ = std::make_unique<QFile>(name_);
        dev_ = file_.get();
        return file_->open(QIODevice::WriteOnly | QIODevice::Truncate);
    }
    QIODevice* device() const { return dev_; }
    void close()
    {
        if (file_) file_->close();
    }

    // One file's data: segments of blocks, cut into volumes when MaxSize is set.
    void writeData(QFile& in)
    {
        backupfmt::BlockQueue blocks(in, zlibLevel(b_.CompressionLevel));
        for (;;) {
            if (!write(QByteArray("EC2\0", 4))) return;
            b_.writtenSize_ += 4;
            while (!blocks.atEnd() && b_.continue_) {
                if (b_.MaxSize != 0 && dev_->pos() >= qint64(b_.MaxSize) - 16484) break;
                backupfmt::Block block;
                bool readError = false;
                if (!blocks.next(block, readError)) {
                    if (readError) fail(1);
                    break;
                }
                b_.processedSize_ += block.raw;
                if (block.failed) {
                    fail(6);
                    return;
                }
                if (!write(block.bytes)) return;
                b_.writtenSize_ += block.bytes.size();
                backupui::pumpEvents();
                b_.progress(b_.currentFile_, b_.processedSize_);
            }
            if (!write(int32le(0))) return;
            if (blocks.atEnd() || !b_.continue_) return;
            // The volume is full: continue in the next one.
            ++volume_;
            const QByteArray digits = ("00" + QByteArray::number(volume_)).right(3);
            if (!write(int32le(12) + kNextDisk + digits)) return;
            if (file_) {
                file_->close();
                if (file_->error() != QFileDevice::NoError) {
                    fail(4);
                    return;
                }
            }
            if (!b_.needDisk(volume_)) return;
            if (!file_) {
                fail(4);
                return;
            }
            file_ = std::make_unique<QFile>(TBackupFile::volumeName(name_, volume_));
            dev_ = file_.get();
            if (!file_->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                fail(4);
                return;
            }
        }
    }

    bool write(const QByteArray& bytes)
    {
        if (put(dev_, bytes)) return true;
        fail(4);
        return false;
    }

private:
    void fail(int code)
    {
        b_.error_ = code;
        b_.continue_ = false;
    }
    TBackupFile& b_;
    QString name_;
    std::unique_ptr<QFile> file_;
    QIODevice* dev_ = nullptr;
    int volume_ = 1;
};

bool TBackupFile::Backup(const QStringList& files, const QString& archiveName)
{
    error_ = 0;
    BusyScope busy(busy_);
    QStringList list = buildList(files, archiveName);
    continue_ = true;
    totalForProgress_ = 0;
    progress(QString(), 0);

    TotalSize = 0;
    FilesDone = 0;
    qint64 total = 0;
    QByteArray info;
    for (const QString& path : list) {
        QFile f(path);
        if (!f.exists()) continue;
        if (!f.open(QIODevice::ReadOnly)) throw BackupException(path + ": " + f.errorString());
        total += f.size();
        // Sizes are 32-bit in the format: refuse what would not fit before writing anything.
        if (f.size() > kMaxSize || total > kMaxSize) {
            error_ = 1;
            continue_ = false;
            break;
        }
        if (SaveFileID)
            info += QFile::encodeName(path) + '\t' + QByteArray::number(backupfmt::fileDate(path)) + '='
                    + QByteArray::number(f.size()) + "\r\n";
    }
    std::unique_ptr<QTemporaryFile> ids;
    if (continue_ && SaveFileID) {
        ids = std::make_unique<QTemporaryFile>(QDir::tempPath() + "/FIDXXXXXX");
        if (ids->open() && ids->write(info) == info.size() && ids->flush()) {
            list.prepend(ids->fileName());
            total += info.size();
        } else {
            error_ = 7;
            continue_ = false;
        }
    }
    TotalSize = qint32(std::min(total, kMaxSize));
    totalForProgress_ = TotalSize;

    bool result = false;
    ArchiveWriter w(*this, archiveName);
    if (continue_) {
        FileCount = qint32(list.size() - (SaveFileID ? 1 : 0));
        const QByteArray title = titleBytes(BackupTitle);
        if (!w.open() || !put(w.device(), int32le(qint32(title.size())) + title + int32le(TotalSize)
                                                 + int32le(FileCount))) {
            error_ = 4;
            continue_ = false;
        }
    }
    processedSize_ = 0;
    writtenSize_ = 0;
    for (int i = 0; i < list.size() && continue_; ++i) {
        const QString& path = list[i];
        if (!QFile::exists(path)) continue;
        const bool isInfo = SaveFileID && i == 0;
        const QByteArray name = isInfo ? kFileList : QFile::encodeName(path.trimmed());
        if (!put(w.device(), int32le(qint32(name.size())) + name))
            throw BackupException(errorMessage(4) + ": " + w.device()->errorString());
        currentFile_ = path;
        QFile in(path);
        if (!in.open(QIODevice::ReadOnly)) {
            error_ = 1;
            continue_ = false;
        } else if (!put(w.device(), int32le(backupfmt::fileDate(path)))) {
            error_ = 1;
            continue_ = false;
        } else {
            w.writeData(in);
            if (!isInfo && error_ == 0) ++FilesDone;
        }
        in.close();
        if (SetArchiveFlag && !isInfo) archiveflag::clear(path);
    }
    if (continue_) {
        if (put(w.device(), int32le(0))) result = true;
        else error_ = 4;
    }
    w.close();
    ids.reset();
    bool cont = continue_;
    if (OnProgress) OnProgress(this, QString(), 100, cont);
    busy_ = false;
    report();
    return result && error_ == 0;
}

// ---- reading ----

class ArchiveReader {
public:
    ArchiveReader(TBackupFile& b, QIODevice* dev) : b_(b), dev_(dev) {}
    void setDevice(QIODevice* d) { dev_ = d; }
    // Every zlib block must end its stream with its last byte (the archive check).
    void setStrict(bool on) { strict_ = on; }

    // Reads one data segment into `out`, or passes over it when `out` is null. `progressFile`
    // says whether progress is reported for EC2 blocks (a file being restored).
    void segment(QIODevice* out, bool progressFile)
    {
        const QByteArray tag = take(dev_, 4);
        const QByteArray text = tag.left(tag.indexOf('\0') < 0 ? 4 : tag.indexOf('\0'));
        if (text == "EC2") ec2(out, progressFile);
        else if (text == "ECS") ecs(out);
        else throw BackupException("Invalid archive type");
    }

private:
    void ec2(QIODevice* out, bool progressFile)
    {
        // Fixed areas for the payload and the inflated chunk: nothing grows with the file.
        QByteArray payload(kChunk, '\0'), area(kChunk, '\0');
        while (b_.continue_) {
            const qint32 length = takeInt(dev_);
            if (length == 0) break;
            const qint64 size = length < 0 ? -qint64(length) : length;
            if (size > kChunk) throw BackupException("Invalid archive type");
            if (!out) {
                skip(dev_, size);
                backupui::pumpEvents();
                continue;
            }
            if (dev_->read(payload.data(), size) != size)
                throw BackupException("Unexpected end of archive");
            const char* bytes = payload.constData();
            qint64 count = size;
            if (length > 0) {
                // One inflate stream for the segment, reset for every block: each block is
                // still decoded as a stream of its own.
                if (!inflater_.ready) {
                    inflater_.zs = z_stream{};
                    if (inflateInit2(&inflater_.zs, 15) != Z_OK) {
                        fail(6);
                        break;
                    }
                    inflater_.ready = true;
                } else if (inflateReset(&inflater_.zs) != Z_OK) {
                    fail(6);
                    break;
                }
                z_stream& zs = inflater_.zs;
                zs.next_in = reinterpret_cast<Bytef*>(payload.data());
                zs.avail_in = uInt(size);
                zs.next_out = reinterpret_cast<Bytef*>(area.data());
                zs.avail_out = kChunk;
                const int rc = inflate(&zs, Z_NO_FLUSH);
                count = kChunk - zs.avail_out;
                if ((rc < 0 && rc != Z_BUF_ERROR)
                    || (strict_ && (rc != Z_STREAM_END || zs.avail_in != 0))) {
                    fail(6);
                    break;
                }
                bytes = area.constData();
            }
            if (out->write(bytes, count) != count) throw BackupException(TBackupFile::errorMessage(1));
            backupui::pumpEvents();
            if (progressFile) {
                b_.processedSize_ += count;
                b_.progress(b_.currentFile_, b_.processedSize_);
            }
        }
    }

    void ecs(QIODevice* out)
    {
        qint64 remaining = takeInt(dev_);
        QByteArray in(lzrw1kh::kBlockSize, '\0'), decoded(lzrw1kh::kBlockSize, '\0');
        while (remaining > 0 && b_.continue_) {
            const qint32 length = takeInt(dev_);
            if (length <= 0 || length > lzrw1kh::kBlockSize) {
                fail(6);
                break;
            }
            const QByteArray block = take(dev_, length);
            const int n = lzrw1kh::decode(reinterpret_cast<const uint8_t*>(block.constData()), length,
                                          reinterpret_cast<uint8_t*>(decoded.data()));
            if (n < 0) {
                fail(6);
                break;
            }
            if (out && out->write(decoded.constData(), n) != n)
                throw BackupException(TBackupFile::errorMessage(1));
            remaining -= 4 + qint64(length);
            backupui::pumpEvents();
            if (out) b_.processedSize_ += n;
            b_.progress(b_.currentFile_, b_.processedSize_);
        }
    }

    void fail(int code)
    {
        b_.error_ = code;
        b_.continue_ = false;
    }

    struct Inflater {
        z_stream zs{};
        bool ready = false;
        ~Inflater()
        {
            if (ready) inflateEnd(&zs);
        }
    };

    TBackupFile& b_;
    QIODevice* dev_;
    Inflater inflater_;
    bool strict_ = false;
};

namespace {

// Hands a segment's decoded blocks to a function; used by DecodeSegment.
class SinkDevice : public QIODevice {
public:
    explicit SinkDevice(const TBackupFile::SegmentSink& out) : out_(out)
    {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 n) override
    {
        out_(data, n);
        return n;
    }

private:
    const TBackupFile::SegmentSink& out_;
};

}  // namespace

bool TBackupFile::DecodeSegment(QIODevice* in, const SegmentSink& out)
{
    error_ = 0;
    continue_ = true;
    ArchiveReader reader(*this, in);
    reader.setStrict(true);
    if (!out) {
        reader.segment(nullptr, false);
    } else {
        SinkDevice sink(out);
        reader.segment(&sink, false);
    }
    return error_ == 0;
}

void TBackupFile::GetArchiveInfo(const QString& archiveName, QStringList* fileList, QString& title)
{
    title.clear();
    TotalSize = FileCount = FilesDone = 0;
    QFile file(archiveName);
    QIODevice* dev = nullptr;
    if (archiveName == kStream) {
        dev = RestoreStream;
        if (!dev) return;
    } else {
        if (!file.exists()) return;
        if (!file.open(QIODevice::ReadOnly)) {
            error_ = 3;
            report();
            return;
        }
        dev = &file;
    }
    try {
        const qint32 titleLength = takeInt(dev);
        if (titleLength < 0 || titleLength > 0xFFFF) throw BackupException("Invalid archive type");
        title = QString::fromLatin1(take(dev, titleLength));
        TotalSize = takeInt(dev);
        FileCount = takeInt(dev);
        const qint32 nameLength = takeInt(dev);
        if (nameLength > 0 && fileList) {
            if (nameLength > 4096) throw BackupException("Invalid archive type");
            if (take(dev, nameLength) == kFileList) {
                takeInt(dev);
                continue_ = true;
                QBuffer text;
                text.open(QIODevice::WriteOnly);
                const int before = error_;
                error_ = 0;
                ArchiveReader(*this, dev).segment(&text, false);
                if (error_ != 0) throw BackupException("Invalid archive type");
                error_ = before;
                fileList->clear();
                for (const QByteArray& line : text.data().split('\n')) {
                    QByteArray l = line;
                    if (l.endsWith('\r')) l.chop(1);
                    if (!l.isEmpty() || !fileList->isEmpty()) fileList->append(QFile::decodeName(l));
                }
                while (!fileList->isEmpty() && fileList->last().isEmpty()) fileList->removeLast();
            }
        }
    } catch (const BackupException&) {
        error_ = 5;
        report();
    }
}

bool TBackupFile::Restore(const QString& archiveName, const QString& destFolder)
{
    QString dest = destFolder;
    if (!dest.isEmpty() && !dest.endsWith('/') && !dest.endsWith('\\')) dest += '/';
    error_ = 0;
    FilesDone = 0;
    continue_ = true;
    std::unique_ptr<QFile> file;
    QIODevice* dev = nullptr;
    if (archiveName == kStream) {
        dev = RestoreStream;
        if (!dev) return false;
    } else {
        if (!QFile::exists(archiveName)) return false;
        file = std::make_unique<QFile>(archiveName);
        if (!file->open(QIODevice::ReadOnly)) throw BackupException("Cannot read archive");
        dev = file.get();
    }
    BusyScope busy(busy_);
    try {
        const qint32 titleLength = takeInt(dev);
        if (titleLength < 0) throw BackupException("Cannot read archive");
        skip(dev, titleLength);
        TotalSize = takeInt(dev);
        FileCount = takeInt(dev);
    } catch (const BackupException&) {
        throw BackupException("Cannot read archive");
    }
    processedSize_ = 0;
    totalForProgress_ = TotalSize;
    ArchiveReader reader(*this, dev);
    bool restoring = false;  // the decision for the last entry
    QString lastTarget;
    qint32 lastDate = 0;

    // Reads one entry's segment into `target` (appending when `append`); false on error 1.
    auto readInto = [&](const QString& target, bool append) {
        QFile out(target);
        const auto mode = append ? QIODevice::WriteOnly | QIODevice::Append
                                 : QIODevice::WriteOnly | QIODevice::Truncate;
        if (!out.open(mode)) {
            error_ = 1;
            continue_ = false;
            return false;
        }
        bool ok = true;
        try {
            reader.segment(&out, true);
        } catch (const BackupException&) {
            error_ = 1;
            continue_ = false;
            ok = false;
        }
        out.close();
        backupfmt::setFileDate(target, lastDate);
        return ok;
    };

    while (continue_) {
        const qint32 nameLength = takeInt(dev);
        if (nameLength == 0) break;
        if (nameLength < 0 || nameLength > 4096) throw BackupException("Invalid archive type");
        const QByteArray name = take(dev, nameLength);
        if (name.startsWith(kNextDisk)) {
            const QByteArray digits = name.mid(9, 3);
            const int volume = digits.toInt();
            if (file) file->close();
            QString next;
            // A handler that keeps answering OK while the volume is missing gets a bounded number
            // of tries, never an endless loop.
            for (int tries = 0; tries < 100; ++tries) {
                if (!needDisk(volume)) break;
                next = volumeName(archiveName, volume);
                if (QFile::exists(next)) break;
                next.clear();
            }
            if (!continue_ || next.isEmpty()) {
                continue_ = false;
                break;
            }
            if (!file) break;
            file = std::make_unique<QFile>(next);
            if (!file->open(QIODevice::ReadOnly)) {
                error_ = 1;
                continue_ = false;
                break;
            }
            dev = file.get();
            reader.setDevice(dev);
            if (restoring && !lastTarget.isEmpty()) readInto(lastTarget, true);
            else reader.segment(nullptr, false);
            continue;
        }
        lastDate = takeInt(dev);
        if (name == kFileList) {
            restoring = false;
            reader.segment(nullptr, false);
            continue;
        }
        QString target = targetFor(name, dest, RestoreFullPath);
        if (target.isEmpty()) {
            // A stored name that would leave the destination folder is never followed.
            error_ = 1;
            restoring = false;
            reader.segment(nullptr, false);
            continue;
        }
        const bool exists = QFileInfo::exists(target);
        const qint32 targetDate = exists ? backupfmt::fileDate(target) : 0;
        bool decision = true;
        switch (RestoreMode) {
        case rmAll: decision = true; break;
        case rmNoOverwrite: decision = !exists; break;
        case rmNewer: decision = !exists || targetDate < lastDate; break;
        case rmExisting: decision = exists; break;
        case rmExistingNewer: decision = exists && targetDate < lastDate; break;
        }
        if (OnRestoreFile) OnRestoreFile(this, target, lastDate, decision);
        if (decision) {
            const QString folder = QFileInfo(target).absolutePath();
            QDir().mkpath(folder);
            decision = QFileInfo(folder).isDir();
        }
        restoring = decision;
        lastTarget = target;
        currentFile_ = target;
        if (decision) {
            if (readInto(target, false)) ++FilesDone;
        } else {
            reader.segment(nullptr, false);
        }
    }
    if (file) file->close();
    const bool result = error_ == 0 && continue_;
    bool cont = true;
    if (OnProgress) OnProgress(this, QString(), 100, cont);
    busy_ = false;
    report();
    return result;
}

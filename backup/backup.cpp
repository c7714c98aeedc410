#include "backup/backup.h"

#include "backup/ArchiveBytes.h"
#include "backup/ArchiveFlag.h"
#include "backup/ArchiveReader.h"
#include "backup/ArchiveWriter.h"
#include "backup/DosDate.h"
#include "backup/EventPump.h"
#include "backup/RestoreRun.h"
#include "backup/SourceFile.h"
#include "backup/VolumeSet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <memory>

namespace {

using backupfmt::int32le;
const QString kStream = ":STREAM";
const QByteArray kFileList = "FILE:LIST";

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

QString TBackupFile::volumePath(const QString& archiveName, int n)
{
    return volumeset::VolumeSet(archiveName).path(n);
}

QString TBackupFile::foreignVolumeMessage(const QString& volume)
{
    return QString("O volume %1 é de outro backup com o mesmo nome: os volumes não formam um "
                   "backup só. Use os volumes gravados juntos (ou faça um novo backup).").arg(volume);
}

// A volume of another set found where this archive continues: said, and nothing is read.
bool TBackupFile::refuseForeign(const QString& volume)
{
    if (volume.isEmpty()) return false;
    setError(5, volume, foreignVolumeMessage(volume));
    report();
    return true;
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

void TBackupFile::setError(int code, const QString& file, const QString& detail)
{
    error_ = code;
    ErrorFile = file;
    ErrorDetail = detail;
    continue_ = false;
}

void TBackupFile::report()
{
    if (error_ == 0) return;
    if (OnError) OnError(this, error_, errorMessage(error_));
    else if (ErrorDetail.isEmpty()) backupui::showError(errorMessage(error_));
    else backupui::showError(errorMessage(error_) + "\n\n" + ErrorDetail);
}

// ---- backup ----

bool TBackupFile::Backup(const QStringList& files, const QString& archiveName)
{
    error_ = 0;
    ErrorFile.clear();
    ErrorDetail.clear();
    BusyScope busy(busy_);
    continue_ = true;
    FilesDone = 0;
    // A volume too small for one block after its segment tag would never end.
    if (MaxSize < 0 || (MaxSize > 0 && MaxSize < backupfmt::kMinVolume)) {
        setError(4, archiveName);
        busy_ = false;
        report();
        return false;
    }
    // What a backup stopped before left beside the archive is finished or removed first.
    if (archiveName != kStream) volumeset::settle(archiveName);
    QStringList list = buildList(files, archiveName);
    totalForProgress_ = 0;
    progress(QString(), 0);
    // One lock over every listed file, before their sizes are taken and their first byte read.
    std::shared_ptr<void> lock;
    if (ReadLock) {
        QString failed;
        if (!(lock = ReadLock(list, failed))) setError(1, failed);
    }

    TotalSize = 0;
    qint64 total = 0;
    QByteArray info;
    for (const QString& path : list) {
        if (!continue_) break;
        const QFileInfo f(path);
        if (!f.exists()) continue;
        total += f.size();
        // Sizes are 32-bit in the format: refuse what would not fit before writing anything.
        if (f.size() > backupfmt::kMaxSize || total > backupfmt::kMaxSize) {
            setError(1, path);
            break;
        }
        if (SaveFileID)
            info += backupfmt::encodeText(path) + '\t'
                    + QByteArray::number(backupfmt::fileDate(path)) + '='
                    + QByteArray::number(f.size()) + "\r\n";
    }
    std::unique_ptr<QTemporaryFile> ids;
    if (continue_ && SaveFileID) {
        ids = std::make_unique<QTemporaryFile>(QDir::tempPath() + "/FIDXXXXXX");
        if (ids->open() && ids->write(info) == info.size() && ids->flush()) {
            list.prepend(ids->fileName());
            total += info.size();
        } else {
            setError(7, ids->fileName());
        }
    }
    TotalSize = qint32(std::min(total, backupfmt::kMaxSize));
    totalForProgress_ = TotalSize;

    bool result = false;
    ArchiveWriter w(*this, archiveName);
    if (continue_) {
        FileCount = qint32(list.size() - (SaveFileID ? 1 : 0));
        const QByteArray title = backupfmt::toCp1252(BackupTitle);
        if (!w.open() || !w.write(int32le(qint32(title.size())) + title + int32le(TotalSize)
                                  + int32le(FileCount)))
            setError(4, archiveName);
    }
    processedSize_ = 0;
    writtenSize_ = 0;
    archiveflag::State flags;
    QList<std::pair<QString, QString>> stored;  // path and its stamp before it was read
    for (int i = 0; i < list.size() && continue_; ++i) {
        const QString& path = list[i];
        if (!QFileInfo::exists(path)) continue;  // vanished since it was listed
        const bool isInfo = SaveFileID && i == 0;
        currentFile_ = path;
        const QString stamp = archiveflag::stamp(path);
        const std::unique_ptr<QIODevice> in = backupfmt::openSource(path);
        if (!in) {
            setError(1, path);
            break;
        }
        const QByteArray name = isInfo ? kFileList : backupfmt::encodeText(path.trimmed());
        if (!w.beginEntry(name, backupfmt::fileDate(path))) break;
        w.writeData(*in);
        if (error_ == 0 && continue_ && !isInfo) {
            ++FilesDone;
            stored << std::pair(path, stamp);
        }
    }
    if (error_ != 0 && ErrorFile.isEmpty()) ErrorFile = error_ == 4 ? archiveName : currentFile_;
    lock.reset();
    if (continue_) result = w.finish();
    if (!result) {
        // Only a complete archive is left behind: a cut one would restore as if it were whole.
        w.discard();
        if (error_ == 4 && ErrorFile.isEmpty()) ErrorFile = archiveName;
    } else if (SetArchiveFlag) {
        for (const auto& [path, stamp] : stored) flags.clear(path, stamp);
        flags.save();
    }
    ids.reset();
    bool cont = continue_;
    if (OnProgress) OnProgress(this, QString(), 100, cont);
    busy_ = false;
    report();
    return result && error_ == 0;
}

// ---- reading ----

namespace {

// The file-information text, handed over line by line, bounded in line length and in total.
class LineSink final : public ArchiveSink {
public:
    explicit LineSink(const std::function<void(const QString&)>& onLine) : onLine_(onLine) {}
    bool write(const char* data, qint64 n) override
    {
        total_ += n;
        if (total_ > backupfmt::kMaxFileList) return false;
        for (qint64 i = 0; i < n; ++i) {
            if (data[i] != '\n') {
                line_.append(data[i]);
                if (line_.size() > backupfmt::kMaxListLine) return false;
                continue;
            }
            flush();
        }
        return true;
    }
    void flush()
    {
        if (line_.endsWith('\r')) line_.chop(1);
        onLine_(backupfmt::decodeText(line_));
        line_.clear();
    }
    void finish()
    {
        if (!line_.isEmpty()) flush();
    }

private:
    const std::function<void(const QString&)>& onLine_;
    QByteArray line_;
    qint64 total_ = 0;
};

}  // namespace

bool TBackupFile::GetArchiveInfo(const QString& archiveName,
                                 const std::function<void(const QString&)>& onLine, QString& title)
{
    title.clear();
    TotalSize = FileCount = FilesDone = 0;
    QFile file(archiveName);
    QIODevice* dev = nullptr;
    if (archiveName == kStream) {
        dev = RestoreStream;
        if (!dev) return false;
    } else {
        if (!file.exists()) return false;
        if (!file.open(QIODevice::ReadOnly)) {
            error_ = 3;
            ErrorFile = archiveName;
            report();
            return false;
        }
        dev = &file;
    }
    const volumeset::VolumeSet set(archiveName);
    if (archiveName != kStream && refuseForeign(set.firstForeign())) return false;
    try {
        const qint32 titleLength = backupfmt::takeInt(dev);
        if (titleLength < 0 || titleLength > backupfmt::kMaxTitle)
            throw BackupException("Invalid archive type");
        title = backupfmt::fromCp1252(backupfmt::take(dev, titleLength));
        TotalSize = backupfmt::takeInt(dev);
        FileCount = backupfmt::takeInt(dev);
        const qint32 nameLength = backupfmt::takeInt(dev);
        if (nameLength <= 0 || !onLine) return false;
        if (nameLength > backupfmt::kMaxName) throw BackupException("Invalid archive type");
        if (backupfmt::take(dev, nameLength) != kFileList) return false;
        backupfmt::takeInt(dev);
        continue_ = true;
        const int before = error_;
        error_ = 0;
        LineSink lines(onLine);
        ArchiveReader reader(*this, dev);
        reader.segment(&lines, false);
        // A first volume with room for little more than its header continues the list in the
        // next volumes; their numbers must grow. A missing volume ends the list read so far.
        std::unique_ptr<QFile> volume;
        for (int number = 1; archiveName != kStream && error_ == 0;) {
            const qint32 length = backupfmt::takeInt(dev);
            if (length != 12) break;
            const QByteArray next = backupfmt::take(dev, length);
            const int following = next.startsWith("NEXT:DISK") ? next.mid(9).toInt() : 0;
            if (following <= number) break;
            number = following;
            const QString path = set.path(number);
            volume = std::make_unique<QFile>(path);
            if (!volume->open(QIODevice::ReadOnly)) break;
            if (!set.belongs(number, path)) {
                refuseForeign(path);
                return false;
            }
            dev = volume.get();
            reader.setDevice(dev);
            reader.segment(&lines, false);
        }
        if (error_ != 0) throw BackupException("Invalid archive type");
        error_ = before;
        lines.finish();
        return true;
    } catch (const BackupException&) {
        error_ = 5;
        ErrorFile = archiveName;
        report();
    }
    return false;
}

void TBackupFile::GetArchiveInfo(const QString& archiveName, QStringList* fileList, QString& title)
{
    QStringList lines;
    const auto add = [&lines](const QString& line) {
        if (!line.isEmpty() || !lines.isEmpty()) lines << line;
    };
    const std::function<void(const QString&)> onLine =
        fileList ? std::function<void(const QString&)>(add) : nullptr;
    const bool found = GetArchiveInfo(archiveName, onLine, title);
    if (!found || !fileList) return;
    while (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    *fileList = lines;
}

bool TBackupFile::Restore(const QString& archiveName, const QString& destFolder)
{
    return readArchive(archiveName, destFolder, false);
}

bool TBackupFile::Verify(const QString& archiveName)
{
    return readArchive(archiveName, QString(), true);
}

bool TBackupFile::readArchive(const QString& archiveName, const QString& destFolder, bool verify)
{
    QString dest = destFolder;
    if (!dest.isEmpty() && !dest.endsWith('/') && !dest.endsWith('\\')) dest += '/';
    error_ = 0;
    ErrorFile.clear();
    ErrorDetail.clear();
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
    if (archiveName != kStream && refuseForeign(volumeset::VolumeSet(archiveName).firstForeign()))
        return false;
    try {
        const qint32 titleLength = backupfmt::takeInt(dev);
        if (titleLength < 0 || titleLength > backupfmt::kMaxTitle)
            throw BackupException("Cannot read archive");
        backupfmt::skip(dev, titleLength);
        TotalSize = backupfmt::takeInt(dev);
        FileCount = backupfmt::takeInt(dev);
    } catch (const BackupException&) {
        throw BackupException("Cannot read archive");
    }
    processedSize_ = 0;
    totalForProgress_ = TotalSize;
    RestoreRun(*this, dev, std::move(file), archiveName, dest, verify).run();
    const bool result = error_ == 0 && continue_;
    bool cont = true;
    if (OnProgress) OnProgress(this, QString(), 100, cont);
    busy_ = false;
    report();
    return result;
}

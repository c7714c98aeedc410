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
using Kind = backup::RunError::Kind;
const QString kStream = ":STREAM";
const QByteArray kFileList = "FILE:LIST";

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

// Every volume of a new set decodes before the older set is touched: what is wrong, or empty.
QString readBackSet(const QString& pending)
{
    TBackupFile check;
    QString problem;
    check.OnError = [&problem](TBackupFile* c, qint32, const QString& message) {
        problem = message + (c->ErrorFile.isEmpty() ? QString() : ": " + c->ErrorFile);
    };
    check.OnNeedDisk = [](TBackupFile*, quint16, bool& cont) { cont = true; };
    try {
        if (check.Verify(pending) && problem.isEmpty()) return {};
    } catch (const BackupException& e) {
        problem = e.message();
    }
    return problem.isEmpty() ? QString("a leitura não chegou ao fim") : problem;
}

// Sets Busy for the length of a run and clears it however the run ends.
struct BusyScope {
    bool& busy;
    explicit BusyScope(bool& b) : busy(b) { busy = true; }
    ~BusyScope() { busy = false; }
};

// The name a file is recorded by: its path, or below `base` (when set) the path from there.
QString storedName(const QString& path, const QString& base)
{
    const QString p = path.trimmed();
    if (base.isEmpty()) return p;
    const QString clean = QDir::cleanPath(p), from = QDir::cleanPath(base) + '/';
    return clean.startsWith(from) ? clean.mid(from.size()) : p;
}

}  // namespace

TBackupFile::TBackupFile(QObject* owner) : QObject(owner) {}
TBackupFile::~TBackupFile() = default;

void TBackupFile::setBackupMode(TBackupMode m)
{
    BackupMode = m;
    if (m == bmIncremental) SetArchiveFlag = true;
}

QString TBackupFile::volumePath(const QString& archiveName, int n)
{
    return volumeset::VolumeSet(archiveName).path(n);
}

// A volume of another set found where this archive continues: said, and nothing is read.
bool TBackupFile::refuseForeign(const QString& volume)
{
    if (volume.isEmpty()) return false;
    run_.fail(Kind::ArchiveDamaged, 5, volume, foreignVolumeMessage(volume));
    report();
    return true;
}

qint32 TBackupFile::CompressionRate() const
{
    if (TotalSize == 0) return 0;
    return qint32(100 - run_.written * 100 / TotalSize);
}

int TBackupFile::percent(qint64 processed, qint64 total)
{
    return total > 0 ? int(processed * 100 / total) : 0;
}

void TBackupFile::progress()
{
    if (!OnProgress) return;
    bool cont = run_.going;
    OnProgress(this, run_.currentFile, percent(run_.processed, run_.total), cont);
    if (!cont) run_.going = false;
}

bool TBackupFile::needDisk(int volume)
{
    bool cont = true;
    if (OnNeedDisk) OnNeedDisk(this, quint16(volume), cont);
    else cont = backupui::askDisk(QString("Insira o disco %1 e click em OK para continuar.").arg(volume));
    run_.going = cont;
    return cont;
}

bool TBackupFile::restoreFile(QString& target, qint32 date, bool exists, bool older)
{
    bool decision = true;
    switch (RestoreMode) {
    case rmAll: decision = true; break;
    case rmNoOverwrite: decision = !exists; break;
    case rmNewer: decision = !exists || older; break;
    case rmExisting: decision = exists; break;
    case rmExistingNewer: decision = older; break;
    }
    if (OnRestoreFile) OnRestoreFile(this, target, date, decision);
    return decision;
}

void TBackupFile::startRun()
{
    run_.start();
    ErrorFile.clear();
    ErrorDetail.clear();
    FilesDone = 0;
}

void TBackupFile::report()
{
    ErrorFile = run_.error.file;
    ErrorDetail = run_.error.detail;
    if (!run_.failed()) return;
    const QString text = errorMessage(run_.error.code);
    const QString said = run_.error.message();
    if (OnError) OnError(this, run_.error.code, text);
    else backupui::showError(said.isEmpty() ? text : text + "\n\n" + said);
}

// ---- backup ----

bool TBackupFile::Backup(const QStringList& files, const QString& archiveName)
{
    startRun();
    BusyScope busy(busy_);
    // A volume too small for one block after its segment tag would never end.
    if (MaxSize < 0 || (MaxSize > 0 && MaxSize < backupfmt::kMinVolume)) {
        run_.fail(Kind::WriteFailed, 4, archiveName);
        busy_ = false;
        report();
        return false;
    }
    // What a backup stopped before left beside the archive is finished or removed first.
    if (archiveName != kStream) volumeset::settle(archiveName);
    QStringList list = buildList(files, archiveName);
    progress();
    // One lock over every listed file, before their sizes are taken and their first byte read.
    std::shared_ptr<void> lock;
    if (ReadLock) {
        QString failed;
        if (!(lock = ReadLock(list, failed))) run_.fail(Kind::Busy, 1, failed);
    }

    TotalSize = 0;
    qint64 total = 0;
    QByteArray info;
    for (const QString& path : list) {
        if (!run_.going) break;
        const QFileInfo f(path);
        if (!f.exists()) continue;
        total += f.size();
        // Sizes are 32-bit in the format: refuse what would not fit before writing anything.
        if (f.size() > backupfmt::kMaxSize || total > backupfmt::kMaxSize) {
            run_.fail(Kind::SourceUnreadable, 1, path,
                     QString("%1 passa de 2 GiB com os arquivos listados antes dele, o maior "
                             "tamanho que um backup guarda: faça o backup em partes. Nenhum "
                             "backup foi gravado.").arg(path));
            break;
        }
        if (SaveFileID)
            info += backupfmt::encodeText(storedName(path, StoreNamesFrom)) + '\t'
                    + QByteArray::number(backupfmt::fileDate(path)) + '='
                    + QByteArray::number(f.size()) + "\r\n";
    }
    std::unique_ptr<QTemporaryFile> ids;
    if (run_.going && SaveFileID) {
        ids = std::make_unique<QTemporaryFile>(QDir::tempPath() + "/FIDXXXXXX");
        if (ids->open() && ids->write(info) == info.size() && ids->flush()) {
            list.prepend(ids->fileName());
            total += info.size();
        } else {
            run_.fail(backup::writeFailure(*ids), 7, ids->fileName());
        }
    }
    TotalSize = qint32(std::min(total, backupfmt::kMaxSize));
    run_.total = TotalSize;

    bool result = false;
    ArchiveWriter w(run_, *this, archiveName,
                    {MaxSize, zlibLevel(CompressionLevel), BackupStream, readBackSet});
    if (run_.going) {
        FileCount = qint32(list.size() - (SaveFileID ? 1 : 0));
        const QByteArray title = backupfmt::toCp1252(BackupTitle);
        if (!w.open())
            run_.fail(Kind::WriteFailed, 4, archiveName);
        else if (!w.write(int32le(qint32(title.size())) + title + int32le(TotalSize)
                          + int32le(FileCount)))
            run_.error.file = archiveName;
    }
    run_.processed = 0;
    run_.written = 0;
    archiveflag::State flags;
    QList<std::pair<QString, QString>> stored;  // path and its stamp before it was read
    for (int i = 0; i < list.size() && run_.going; ++i) {
        const QString& path = list[i];
        if (!QFileInfo::exists(path)) continue;  // vanished since it was listed
        const bool isInfo = SaveFileID && i == 0;
        run_.currentFile = path;
        const QString stamp = archiveflag::stamp(path);
        const std::unique_ptr<QIODevice> in = backupfmt::openSource(path);
        if (!in) {
            run_.fail(Kind::SourceUnreadable, 1, path);
            break;
        }
        const QByteArray name =
            isInfo ? kFileList : backupfmt::encodeText(storedName(path, StoreNamesFrom));
        if (!w.beginEntry(name, backupfmt::fileDate(path))) break;
        w.writeData(*in);
        if (!run_.failed() && run_.going && !isInfo) {
            ++FilesDone;
            stored << std::pair(path, stamp);
        }
    }
    backup::RunError& error = run_.error;
    if (run_.failed() && error.file.isEmpty())
        error.file = error.code == 4 ? archiveName : run_.currentFile;
    lock.reset();
    if (run_.going) result = w.finish();
    if (!result) {
        // Only a complete archive is left behind: a cut one would restore as if it were whole.
        w.discard();
        if (error.code == 4 && error.file.isEmpty()) error.file = archiveName;
    } else if (SetArchiveFlag) {
        for (const auto& [path, stamp] : stored) flags.clear(path, stamp);
        flags.save();
    }
    ids.reset();
    bool cont = run_.going;
    if (OnProgress) OnProgress(this, QString(), 100, cont);
    busy_ = false;
    report();
    return result && !run_.failed();
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
            run_.fail(Kind::ArchiveUnreadable, 3, archiveName);
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
        const backup::RunError before = run_.error;
        run_.error = {};
        run_.going = true;
        LineSink lines(onLine);
        ArchiveReader reader(run_, *this, dev);
        reader.segment(&lines, false);
        // A first volume with room for little more than its header continues the list in the
        // next volumes; their numbers must grow. A missing volume ends the list read so far.
        std::unique_ptr<QFile> volume;
        for (int number = 1; archiveName != kStream && !run_.failed();) {
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
        if (run_.failed()) throw BackupException("Invalid archive type");
        run_.error = before;
        lines.finish();
        return true;
    } catch (const BackupException&) {
        run_.fail(Kind::ArchiveDamaged, 5, archiveName);
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
    startRun();
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
    run_.total = TotalSize;
    RestoreRun(run_, *this, dev, std::move(file), archiveName, {dest, RestoreFullPath, verify})
        .run();
    const bool result = !run_.failed() && run_.going;
    bool cont = true;
    if (OnProgress) OnProgress(this, QString(), 100, cont);
    busy_ = false;
    report();
    return result;
}

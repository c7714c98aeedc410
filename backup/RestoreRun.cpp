#include "backup/RestoreRun.h"

#include "backup/ArchiveBytes.h"
#include "backup/BlockWriter.h"
#include "backup/BackupException.h"
#include "backup/DosDate.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <sys/stat.h>

namespace {

const QByteArray kFileList = "FILE:LIST";
const QByteArray kNextDisk = "NEXT:DISK";

bool isLink(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool badPart(const QString& p) { return p.isEmpty() || p == "." || p == ".."; }

using Kind = backup::RunError::Kind;

}  // namespace

// A restored file: written beside the target, counted against the 2 GiB a size can hold.
// When an archive is verified nothing is written: only the bytes are counted.
struct RestoreRun::Target final : ArchiveSink {
    Target(const QString& path, bool verify) : file(path), verify(verify) {}
    bool write(const char* data, qint64 n) override
    {
        written += n;
        if (written > backupfmt::kMaxSize) return false;
        if (verify || writer.write(data, n)) return true;
        writeFailed = true;
        return false;
    }
    bool countsOnly() const override { return verify; }
    QSaveFile file;
    BlockWriter writer{file};  // ends before the file does
    bool verify;
    QString stored;  // the name in the archive
    qint32 date = 0;
    qint64 written = 0;
    bool writeFailed = false;
};

namespace {

QString writeFailure(const QString& target, const QString& why)
{
    return QString("Falha ao gravar %1 (%2). Verifique se há espaço no disco e se a pasta "
                   "permite gravação; o arquivo que havia ali foi mantido.").arg(target, why);
}

QString readFailure(const QString& archive, const QString& target, bool verify)
{
    if (verify)
        return QString("Falha ao ler o backup %1 em %2: o backup está incompleto ou danificado. "
                       "Use outra cópia do backup.").arg(archive, target);
    return QString("Falha ao ler o backup %1 ao restaurar %2: o backup está incompleto ou "
                   "danificado. Use outra cópia do backup; %2 foi mantido como estava.")
        .arg(archive, target);
}

}  // namespace

RestoreRun::RestoreRun(backup::RunState& run, backup::RunEvents& events, QIODevice* dev,
                       std::unique_ptr<QFile> file, const QString& archiveName, Settings settings)
    : run_(run), events_(events), dev_(dev), file_(std::move(file)), archiveName_(archiveName),
      settings_(std::move(settings)), reader_(run, events, dev), set_(archiveName)
{
    reader_.setStrict(settings_.verify);
}

RestoreRun::~RestoreRun() = default;  // a file not put in place is dropped with its QSaveFile

QString RestoreRun::targetFor(const QByteArray& stored, const QString& dest, bool fullPath)
{
    QString s = backupfmt::decodeText(stored);
    s.replace('\\', '/');
    if (dest.isEmpty()) {
        const QStringList parts = s.split('/');
        for (int i = 0; i < parts.size(); ++i)
            if (parts[i] == "." || parts[i] == ".." || (parts[i].isEmpty() && i > 0)) return {};
        return s;
    }
    QString rel;
    if (!fullPath) {
        rel = s.section('/', -1);
        if (badPart(rel)) return {};
    } else {
        if (s.size() >= 2 && s.at(1) == ':') s = s.mid(2);
        if (s.startsWith('/')) s = s.mid(1);
        const QStringList parts = s.split('/');
        for (const QString& p : parts)
            if (badPart(p)) return {};
        rel = parts.join('/');
    }
    const QString base = QDir::cleanPath(dest);
    const QString target = QDir::cleanPath(base + '/' + rel);
    if (!target.startsWith(base == "/" ? base : base + '/')) return {};
    return target;
}

// No link inside the destination is followed: neither a folder on the way nor the file.
bool RestoreRun::safeTarget(const QString& target) const
{
    const QString base = QDir::cleanPath(settings_.dest);
    if (settings_.dest.isEmpty() || !target.startsWith(base + '/')) return !isLink(target);
    QString path = base;
    for (const QString& part : target.mid(base.size() + 1).split('/')) {
        path += '/' + part;
        if (isLink(path)) return false;
        if (!QFileInfo::exists(path)) break;
    }
    return true;
}

void RestoreRun::run()
{
    while (run_.going) {
        const qint32 nameLength = backupfmt::takeInt(dev_);
        if (nameLength == 0) {
            finishPending();
            break;
        }
        if (nameLength < 0 || nameLength > backupfmt::kMaxName)
            throw BackupException("Invalid archive type");
        const QByteArray name = backupfmt::take(dev_, nameLength);
        if (name.startsWith(kNextDisk)) {
            if (!nextVolume(name)) break;
            if (pending_) readPending();
            else reader_.segment(nullptr, false);
            continue;
        }
        const qint32 date = backupfmt::takeInt(dev_);
        finishPending();  // the entry before this one is complete
        if (!run_.going) break;
        entry(name, date);
    }
    // A run that stopped inside a file leaves that file as it was.
    pending_.reset();
}

// The next volume: its number must be greater than this one's, or the archive is invalid
// (a volume naming itself would be read for ever).
bool RestoreRun::nextVolume(const QByteArray& name)
{
    const QByteArray digits = name.mid(9);
    bool ok = digits.size() == 3 && std::all_of(digits.begin(), digits.end(), [](char c) {
        return c >= '0' && c <= '9';
    });
    const int volume = ok ? digits.toInt() : 0;
    if (!ok || volume <= volume_) {
        run_.fail(Kind::ArchiveDamaged, 5, archiveName_);
        return false;
    }
    volume_ = volume;
    if (file_) file_->close();
    QString next;
    // A handler that keeps answering OK while the volume is missing gets a bounded number of
    // tries, never an endless loop.
    for (int tries = 0; tries < 100; ++tries) {
        if (!events_.needDisk(volume)) break;
        next = set_.path(volume);
        if (QFile::exists(next)) break;
        next.clear();
    }
    if (!run_.going || next.isEmpty() || !file_) {
        run_.going = false;
        return false;
    }
    file_ = std::make_unique<QFile>(next);
    if (!file_->open(QIODevice::ReadOnly)) {
        run_.fail(Kind::ArchiveUnreadable, 3, next);
        return false;
    }
    if (!set_.belongs(volume, next)) {
        run_.fail(Kind::ArchiveDamaged, 5, next, volumeset::foreignMessage(next));
        return false;
    }
    dev_ = file_.get();
    reader_.setDevice(dev_);
    return true;
}

void RestoreRun::entry(const QByteArray& name, qint32 date)
{
    if (name == kFileList) {
        readSizes();
        return;
    }
    if (settings_.verify) {
        run_.currentFile = backupfmt::decodeText(name);
        pending_ = std::make_unique<Target>(run_.currentFile, true);
        pending_->stored = run_.currentFile;
        readPending();
        return;
    }
    QString target = targetFor(name, settings_.dest, settings_.fullPath);
    if (target.isEmpty()) {
        // Passed over with error 1; the entries after it are restored as usual.
        run_.fail(Kind::ArchiveDamaged, 1, backupfmt::decodeText(name),
                  QString("O nome %1 guardado no backup tem partes vazias, \".\" ou \"..\", ou "
                          "sai da pasta de destino: este arquivo não foi restaurado.")
                      .arg(backupfmt::decodeText(name)));
        run_.going = true;
        reader_.segment(nullptr, false);
        return;
    }
    const bool exists = QFileInfo::exists(target) || isLink(target);
    // Dates compare as unsigned: from 2044 on the top bit of the MS-DOS date is set.
    const bool older = exists && quint32(backupfmt::fileDate(target)) < quint32(date);
    if (!events_.restoreFile(target, date, exists, older)) {
        reader_.segment(nullptr, false);
        return;
    }
    const QString folder = QFileInfo(target).absolutePath();
    if (!safeTarget(target) || (QDir().mkpath(folder), !QFileInfo(folder).isDir())) {
        run_.fail(Kind::WriteFailed, 1, target,
                  QString("%1 não pode ser gravado: um link no caminho, ou a pasta %2 não pôde "
                          "ser criada. Escolha outra pasta de destino.").arg(target, folder));
        run_.going = true;
        reader_.segment(nullptr, false);
        return;
    }
    run_.currentFile = target;
    pending_ = std::make_unique<Target>(target, false);
    pending_->stored = backupfmt::decodeText(name);
    pending_->date = date;
    if (!pending_->file.open(QIODevice::WriteOnly)) {
        run_.fail(backup::writeFailure(pending_->file), 1, target,
                  writeFailure(target, pending_->file.errorString()));
        pending_.reset();
        return;
    }
    readPending();
}

void RestoreRun::readPending()
{
    try {
        reader_.segment(pending_.get(), true);
    } catch (const BackupException&) {
        const QString target = pending_->file.fileName();
        if (pending_->writeFailed)
            run_.fail(backup::writeFailure(pending_->file), 1, target,
                      writeFailure(target, pending_->file.errorString()));
        else
            run_.fail(Kind::ArchiveDamaged, 1, target,
                      readFailure(volume(), target, settings_.verify));
    }
    // A block that did not decode: the file it belongs to, in the archive read.
    if (run_.failed() && run_.error.file.isEmpty()) {
        run_.error.file = pending_->file.fileName();
        run_.error.detail = readFailure(volume(), run_.error.file, settings_.verify);
    }
    if (!run_.going) pending_.reset();
}

void RestoreRun::finishPending()
{
    if (!pending_) return;
    const std::unique_ptr<Target> t = std::move(pending_);
    const QString target = t->file.fileName();
    // A file whose size is not the one listed was joined from volumes of different backups (or
    // changed while it was copied).
    const auto listed = sizes_.constFind(t->stored);
    if (listed != sizes_.cend() && *listed != t->written) {
        run_.fail(Kind::ArchiveDamaged, 5, target,
                  QString("%1 tem %2 bytes no backup e %3 na lista de arquivos: os volumes são "
                          "de backups diferentes (ou o arquivo mudou durante a cópia). Use os "
                          "volumes gravados juntos; %1 não foi restaurado.")
                      .arg(target).arg(t->written).arg(*listed));
        return;
    }
    if (t->verify) {
        events_.fileDone();
        return;
    }
    if (!t->writer.finish() || !backupfmt::commitWhole(t->file)) {
        run_.fail(backup::writeFailure(t->file), 1, target,
                  writeFailure(target, t->file.errorString()));
        return;
    }
    backupfmt::setFileDate(target, t->date);
    events_.fileDone();
}

// The information entry's lines "name TAB date = size", kept by name: a file restored or
// checked must have the size listed.
void RestoreRun::readSizes()
{
    struct Lines final : ArchiveSink {
        QHash<QString, qint64>& sizes;
        QByteArray line;
        explicit Lines(QHash<QString, qint64>& s) : sizes(s) {}
        bool write(const char* data, qint64 n) override
        {
            for (qint64 i = 0; i < n; ++i) {
                if (data[i] != '\n') {
                    line.append(data[i]);
                    if (line.size() > backupfmt::kMaxListLine) return false;
                    continue;
                }
                const qsizetype tab = line.lastIndexOf('\t'), eq = line.lastIndexOf('=');
                if (tab > 0 && eq > tab)
                    sizes.insert(backupfmt::decodeText(line.left(tab)),
                                 line.mid(eq + 1).trimmed().toLongLong());
                line.clear();
                if (sizes.size() > 1000000) return false;
            }
            return true;
        }
    } lines(sizes_);
    try {
        reader_.segment(&lines, false);
    } catch (const BackupException&) {
        run_.fail(Kind::ArchiveDamaged, 5, "FILE:LIST");
    }
}

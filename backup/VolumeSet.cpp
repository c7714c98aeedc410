#include "backup/VolumeSet.h"

#include "backup/ArchiveBytes.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <unistd.h>

namespace volumeset {

namespace {

const QByteArray kMagic("VSET");
constexpr int kIdSize = 16;

bool sameMark(const std::optional<Mark>& m, const QByteArray& id, int n)
{
    return m && m->id == id && m->volume == n;
}

}  // namespace

QString volumeName(const QString& archive, int n)
{
    const QString digits = ("00" + QString::number(n)).right(3);
    const QString suffix = QFileInfo(archive).suffix();
    const QString stem =
        suffix.isEmpty() ? archive : archive.left(archive.size() - suffix.size() - 1);
    return stem + "." + digits;
}

QString foreignMessage(const QString& volume)
{
    return QString("O volume %1 é de outro backup com o mesmo nome: os volumes não formam um "
                   "backup só. Use os volumes gravados juntos (ou faça um novo backup).")
        .arg(volume);
}

QByteArray markBytes(const Mark& m)
{
    return m.id + backupfmt::int32le(m.volume) + backupfmt::int32le(m.last ? 1 : 0) + kMagic;
}

std::optional<Mark> markOf(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() < kMarkSize || !f.seek(f.size() - kMarkSize))
        return std::nullopt;
    const QByteArray b = f.read(kMarkSize);
    if (b.size() != kMarkSize || !b.endsWith(kMagic)) return std::nullopt;
    const auto int32 = [&b](int at) {
        const auto* p = reinterpret_cast<const uchar*>(b.constData() + at);
        return qint32(quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24);
    };
    Mark m{b.left(kIdSize), int32(kIdSize), int32(kIdSize + 4) == 1};
    if (m.volume < 1 || m.volume > backupfmt::kMaxVolumes) return std::nullopt;
    return m;
}

QByteArray newId()
{
    QByteArray id(kIdSize, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(id.data()), kIdSize / 4);
    return id;
}

QString pendingName(const QString& archive)
{
    const QFileInfo info(archive);
    const QString folder = archive.left(archive.size() - info.fileName().size());
    // Hidden, and with an extension of its own, so that its volume names never meet the
    // archive's.
    return folder + ".~" + info.fileName() + (info.suffix().isEmpty() ? ".novo" : "");
}

VolumeSet::VolumeSet(const QString& archive) : archive_(archive), first_(markOf(archive))
{
    if (first_ && first_->volume != 1) first_.reset();
}

QString VolumeSet::path(int n) const
{
    const QString own = volumeName(archive_, n);
    if (!first_ || sameMark(markOf(own), first_->id, n)) return own;
    const QString pending = volumeName(pendingName(archive_), n);
    return sameMark(markOf(pending), first_->id, n) ? pending : own;
}

bool VolumeSet::belongs(int n, const QString& path) const
{
    const std::optional<Mark> m = markOf(path);
    return first_ ? sameMark(m, first_->id, n) : !m;
}

QString VolumeSet::firstForeign() const
{
    if (!first_) return {};
    for (int n = 2; n <= backupfmt::kMaxVolumes && !first_->last; ++n) {
        const QString p = path(n);
        if (!QFileInfo::exists(p)) return {};
        const std::optional<Mark> m = markOf(p);
        if (!sameMark(m, first_->id, n)) return p;
        if (m->last) return {};
    }
    return {};
}

void settle(const QString& archive)
{
    const std::optional<Mark> first = markOf(archive);
    const QString pending = pendingName(archive);
    if (first && first->volume == 1 && !first->last) {
        for (int n = 2; n <= backupfmt::kMaxVolumes; ++n) {
            const QString own = volumeName(archive, n);
            const QString waiting = volumeName(pending, n);
            std::optional<Mark> m = markOf(waiting);
            if (sameMark(m, first->id, n)) {
                ::rename(QFile::encodeName(waiting).constData(), QFile::encodeName(own).constData());
            } else {
                m = markOf(own);
                if (!sameMark(m, first->id, n)) break;
            }
            if (m->last) break;
        }
        syncFolderOf(archive);
    }
    QFile::remove(pending);
    for (int n = 2; n <= backupfmt::kMaxVolumes; ++n) {
        const QString waiting = volumeName(pending, n);
        if (QFileInfo::exists(waiting)) QFile::remove(waiting);
    }
}

bool place(const QString& archive, int count, const std::optional<Mark>& before)
{
    const QString pending = pendingName(archive);
    // One rename puts the new set in place; the other volumes are found under their pending
    // names until they follow.
    if (::rename(QFile::encodeName(pending).constData(), QFile::encodeName(archive).constData()) != 0)
        return false;
    syncFolderOf(archive);
    for (int n = 2; n <= count; ++n)
        ::rename(QFile::encodeName(volumeName(pending, n)).constData(),
                 QFile::encodeName(volumeName(archive, n)).constData());
    // Volumes of the set before that the new one does not reach are no part of any archive.
    if (before && before->volume == 1 && !before->last) {
        for (int n = std::max(count + 1, 2); n <= backupfmt::kMaxVolumes; ++n) {
            const QString own = volumeName(archive, n);
            const std::optional<Mark> m = markOf(own);
            if (!sameMark(m, before->id, n)) break;
            QFile::remove(own);
            if (m->last) break;
        }
    }
    syncFolderOf(archive);
    return true;
}

void syncFolderOf(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace volumeset

// The next volume of an archive being read, for the engine's OnNeedDisk: taken when its file
// is there, else asked of the front; the volume that was not given is remembered.
#pragma once

#include "backup/RunError.h"
#include "backup/operation/BackupOperation.h"

#include <QFile>

#include <memory>

namespace backup {

class VolumeAsk {
public:
    VolumeAsk(const QString& archive, const Follow& follow)
        : archive_(archive), ask_(follow.missingVolume), missing_(std::make_shared<QString>())
    {
    }

    TBackupFile::TNeedDiskEvent handler() const
    {
        return [archive = archive_, ask = ask_, missing = missing_](TBackupFile*, quint16 disk,
                                                                    bool& cont) {
            const QString path = TBackupFile::volumePath(archive, disk);
            cont = QFile::exists(path) || (ask && ask(disk, path));
            if (!cont) *missing = path;
        };
    }

    // What a run that returned false failed with: the engine's error, a volume not given, or
    // a stop.
    RunError failureOf(const TBackupFile& engine) const
    {
        if (engine.LastError()) return engine.LastError();
        if (!missing_->isEmpty())
            return {RunError::Kind::ArchiveUnreadable, 3, *missing_,
                    QString("O volume %1 do backup não foi encontrado: ponha os volumes gravados "
                            "juntos na mesma pasta e tente de novo.")
                        .arg(*missing_)};
        return {RunError::Kind::Cancelled, 0, {}, {}};
    }

private:
    QString archive_;
    std::function<bool(int, const QString&)> ask_;
    std::shared_ptr<QString> missing_;
};

}  // namespace backup

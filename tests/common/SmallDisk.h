// A small tmpfs mounted for one test: a disk that fills. Unmounted when the test ends; needs
// root (a test skips its case when mounted() is false).
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <sys/mount.h>

namespace testdata {

class SmallDisk {
public:
    SmallDisk(const QString& dir, const char* size) : dir_(dir)
    {
        QDir().mkpath(dir);
        mounted_ = ::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0,
                           (QByteArray("size=") + size).constData())
                   == 0;
    }
    ~SmallDisk()
    {
        if (mounted_) ::umount2(QFile::encodeName(dir_).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return mounted_; }

private:
    QString dir_;
    bool mounted_ = false;
};

}  // namespace testdata

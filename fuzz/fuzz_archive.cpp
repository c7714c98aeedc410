// Fuzz target: the archive reader. Lists and restores arbitrary bytes as an archive into a
// temporary folder, with and without the stored folders, and checks them as an archive (its
// blocks decoded ahead on other threads).
#include "backup/backup.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_archive";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static QTemporaryDir dir;

    QBuffer in;
    in.setData(reinterpret_cast<const char*>(data), qsizetype(size));
    in.open(QIODevice::ReadOnly);
    TBackupFile b;
    b.OnError = [](TBackupFile*, qint32, const QString&) {};
    b.OnNeedDisk = [](TBackupFile*, quint16, bool& cont) { cont = false; };
    b.RestoreStream = &in;
    QStringList list;
    QString title;
    b.GetArchiveInfo(":STREAM", &list, title);
    for (bool fullPath : {false, true}) {
        const QString dest = dir.filePath(fullPath ? "full" : "flat");
        QDir(dest).removeRecursively();
        QDir().mkpath(dest);
        in.seek(0);
        b.RestoreFullPath = fullPath;
        try {
            b.Restore(":STREAM", dest);
        } catch (const BackupException&) {
        }
        if (b.Busy()) __builtin_trap();
    }
    in.seek(0);
    try {
        b.Verify(":STREAM");
    } catch (const BackupException&) {
    }
    if (b.Busy()) __builtin_trap();
    return 0;
}

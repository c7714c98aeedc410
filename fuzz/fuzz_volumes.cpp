// Fuzz target: a restore fed with volumes that lie. The input holds up to four volume files
// (the archive, .001, .002, .003) separated by the bytes FF FE FD FC; their continuation
// records may name any volume. The restore must end, never write outside its folder and
// never leave a file it did not finish.
#include "backup/backup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_volumes";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static QTemporaryDir dir;

    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<QByteArray> parts = input.split('\xff');
    QList<QByteArray> volumes{QByteArray()};
    // Split at FF FE FD FC only: other FF bytes stay in the volume.
    for (int i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            if (parts[i].startsWith("\xfe\xfd\xfc") && volumes.size() < 4) {
                volumes << parts[i].mid(3);
                continue;
            }
            volumes.last() += '\xff';
        }
        volumes.last() += parts[i];
    }
    QDir(dir.filePath("v")).removeRecursively();
    QDir(dir.filePath("out")).removeRecursively();
    QDir().mkpath(dir.filePath("v"));
    const QStringList names{"a.bck", "a.001", "a.002", "a.003"};
    for (int i = 0; i < volumes.size(); ++i) {
        QFile f(dir.filePath("v/" + names[i]));
        if (!f.open(QIODevice::WriteOnly)) return 0;
        f.write(volumes[i]);
    }
    TBackupFile b;
    b.OnError = [](TBackupFile*, qint32, const QString&) {};
    int asked = 0;
    b.OnNeedDisk = [&](TBackupFile*, quint16, bool& cont) { cont = ++asked < 1000; };
    for (bool fullPath : {false, true}) {
        b.RestoreFullPath = fullPath;
        try {
            b.Restore(dir.filePath("v/a.bck"), dir.filePath("out"));
        } catch (const BackupException&) {
        }
        if (b.Busy() || asked >= 1000) __builtin_trap();
    }
    // Nothing but restored files inside the folder; no temporary file left behind.
    const QStringList outside = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    for (const QString& e : outside)
        if (e != "v" && e != "out") __builtin_trap();
    return 0;
}

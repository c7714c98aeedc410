// Fuzz target: round trips through the engine itself. The input chooses the files (sizes,
// repetitive or random bytes, empty ones), the compression level, the volume size and the
// file list; each archive is restored and every file must come back byte for byte.
#include "backup/ArchiveBytes.h"
#include "backup/backup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

namespace {

// Takes bytes from the input, then zeros once it is used up.
struct Input {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    uint8_t byte() { return at < size ? data[at++] : 0; }
    uint32_t word() { return uint32_t(byte()) | uint32_t(byte()) << 8 | uint32_t(byte()) << 16; }
};

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_roundtrip";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static QTemporaryDir dir;

    Input in{data, size};
    for (const char* sub : {"src", "arc", "out"}) {
        QDir(dir.filePath(sub)).removeRecursively();
        QDir().mkpath(dir.filePath(sub));
    }
    const int files = 1 + in.byte() % 5;
    QList<QByteArray> contents;
    for (int i = 0; i < files; ++i) {
        const int length = int(in.word() % 70000);
        const uint8_t kind = in.byte();
        QByteArray bytes(length, '\0');
        uint32_t x = in.word() | 1;
        for (int k = 0; k < length; ++k) {
            x = x * 1103515245u + 12345u;
            bytes[k] = kind % 3 == 0 ? char(x >> 24) : kind % 3 == 1 ? char('a' + k % 7) : char(kind);
        }
        contents << bytes;
        QFile f(dir.filePath(QString("src/f%1.db").arg(i)));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) return 0;
    }
    TBackupFile b;
    bool failed = false;
    b.OnError = [&](TBackupFile*, qint32, const QString&) { failed = true; };
    b.OnNeedDisk = [](TBackupFile*, quint16, bool& cont) { cont = true; };
    b.CompressionLevel = TBackupFile::TCompressionLevel(in.byte() % 4);
    const uint8_t volume = in.byte();
    b.MaxSize = volume % 2 ? 0 : backupfmt::kMinVolume + qint32(in.word() % 60000);
    b.SaveFileID = in.byte() % 2;
    // A title of characters the code page holds.
    for (size_t i = 0; i < std::min<size_t>(size, 20); ++i)
        b.BackupTitle += data[i] < 0x80 ? QChar(0x20 + data[i] % 0x5F) : QChar(0xA0 + data[i] % 0x60);
    const QString arc = dir.filePath("arc/a.bck");
    if (!b.Backup({dir.filePath("src/*.db")}, arc) || failed) __builtin_trap();
    const QStringList volumes = QDir(dir.filePath("arc")).entryList(QDir::Files);
    for (const QString& v : volumes)
        if (b.MaxSize != 0 && QFileInfo(dir.filePath("arc/" + v)).size() > b.MaxSize) __builtin_trap();
    if (!b.Restore(arc, dir.filePath("out")) || failed || b.FilesDone != files) __builtin_trap();
    for (int i = 0; i < files; ++i)
        if (readAll(dir.filePath(QString("out/f%1.db").arg(i))) != contents[i]) __builtin_trap();
    QStringList list;
    QString title;
    b.GetArchiveInfo(arc, &list, title);
    if (failed || title != b.BackupTitle || (b.SaveFileID && list.size() != files)) __builtin_trap();
    return 0;
}

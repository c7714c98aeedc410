// The backup engine against bare zlib loops on the same data in the same run: backup against
// deflating the same 16,384-byte chunks into memory, restore against inflating them (into
// memory, and into a file flushed to the disk as a restore's files are). Data of three kinds:
// database-like pages and text that compress like tables, random bytes that compress like
// already compressed files, and a mix with 10% random chunks (64 MB each, or the MB given).
// The read-back that follows every backup (Verify) is timed against the backup itself.
#include "backup/BlockCompressor.h"
#include "backup/backup.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

constexpr int kChunk = 16384;

enum class Kind { Tables, Compressed, Mix };

QByteArray mixChunk(QRandomGenerator& rng, int i, Kind kind)
{
    QByteArray b(kChunk, '\0');
    if (kind == Kind::Compressed || (kind == Kind::Mix && i % 10 == 9)) {
        for (int k = 0; k < kChunk; ++k) b[k] = char(rng.bounded(256));
    } else if (i % 3 == 0) {
        QByteArray line = QString("Associado %1;Grupo %2;Conta %3;Valor %4,00\r\n")
                              .arg(i).arg(i % 20).arg(100000 + i).arg(i % 97).toLatin1();
        for (int k = 0; k < kChunk; ++k) b[k] = line[k % line.size()];
    } else {
        for (int k = 0; k < kChunk; k += 64) {
            const quint32 v = rng.bounded(1000u);
            memcpy(b.data() + k, &v, 4);
            memcpy(b.data() + k + 8, "ASSOCIADO", 9);
        }
    }
    return b;
}

// Processor time of the whole process (all threads), in ms.
double cpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

long maxRssKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

void run(int mb, Kind kind, const char* title)
{
    std::printf("\n== %s ==\n", title);
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("src"));
    QRandomGenerator rng(1);
    const int chunks = mb * 64;
    const int perFile = chunks / 8;
    for (int f = 0; f < 8; ++f) {
        QFile out(dir.filePath(QString("src/f%1.db").arg(f)));
        out.open(QIODevice::WriteOnly);
        for (int i = 0; i < perFile; ++i) out.write(mixChunk(rng, f * perFile + i, kind));
    }
    const qint64 total = qint64(perFile) * 8 * kChunk;
    const long rssStart = maxRssKb();

    TBackupFile b;
    backupfmt::setCompressionThreads(0);
    QElapsedTimer t;
    const double cpuStart = cpuMs();
    t.start();
    bool ok = b.Backup({dir.filePath("src/*.db")}, dir.filePath("a.bck"));
    const double backup = t.nsecsElapsed() / 1e6;
    const double backupCpu = cpuMs() - cpuStart;
    backupfmt::setCompressionThreads(-1);
    const double cpuBefore = cpuMs();
    t.restart();
    ok = ok && b.Backup({dir.filePath("src/*.db")}, dir.filePath("p.bck"));
    const double parallel = t.nsecsElapsed() / 1e6;
    const double parallelCpu = cpuMs() - cpuBefore;
    t.restart();
    const bool restored = b.Restore(dir.filePath("a.bck"), dir.filePath("dst"));
    const double restore = t.nsecsElapsed() / 1e6;
    t.restart();
    const bool verified = b.Verify(dir.filePath("p.bck"));
    const double readBack = t.nsecsElapsed() / 1e6;
    if (!ok || !restored || !verified) {
        std::fprintf(stderr, "backup, restore or read-back failed\n");
        std::exit(1);
    }
    const long rssEngine = maxRssKb();  // the engine runs before the bare loops hold data

    // Bare loops over the same files.
    t.restart();
    QByteArray in(kChunk, '\0'), out(kChunk, '\0');
    double bareInflate = 0;
    QVector<QByteArray> streams;
    QVector<bool> stored;
    streams.reserve(chunks);
    for (int f = 0; f < 8; ++f) {
        QFile src(dir.filePath(QString("src/f%1.db").arg(f)));
        src.open(QIODevice::ReadOnly);
        qint64 n;
        while ((n = src.read(in.data(), kChunk)) > 0) {
            z_stream zs{};
            deflateInit2(&zs, 1, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY);
            zs.next_in = reinterpret_cast<Bytef*>(in.data());
            zs.avail_in = uInt(n);
            zs.next_out = reinterpret_cast<Bytef*>(out.data());
            zs.avail_out = kChunk;
            const int rc = deflate(&zs, Z_FINISH);
            // A chunk whose stream does not fit is stored: restoring it is a plain copy.
            streams << (rc == Z_STREAM_END ? out.left(kChunk - zs.avail_out) : in.left(n));
            stored << (rc != Z_STREAM_END);
            deflateEnd(&zs);
        }
    }
    const double bareDeflate = t.nsecsElapsed() / 1e6;
    double bareInflateToFile = 0;
    for (bool toFile : {false, true}) {
    QFile sink(dir.filePath("sink.bin"));
    if (toFile) sink.open(QIODevice::WriteOnly);
    t.restart();
    for (qsizetype i = 0; i < streams.size(); ++i) {
        const QByteArray& s = streams[i];
        if (stored[i]) {
            if (toFile) sink.write(s);
            continue;
        }
        z_stream zs{};
        inflateInit2(&zs, 15);
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(s.constData()));
        zs.avail_in = uInt(s.size());
        zs.next_out = reinterpret_cast<Bytef*>(out.data());
        zs.avail_out = kChunk;
        inflate(&zs, Z_NO_FLUSH);
        inflateEnd(&zs);
        if (toFile) sink.write(out.constData(), kChunk - zs.avail_out);
    }
    if (toFile) {
        sink.flush();
        ::fsync(sink.handle());
        sink.close();
    }
    (toFile ? bareInflateToFile : bareInflate) = t.nsecsElapsed() / 1e6;
    }
    streams.clear();

    const double mbs = total / 1048576.0;
    std::printf("data %.0f MB, compression rate %d%%\n", mbs, b.CompressionRate());
    std::printf("backup : engine %7.0f ms (%5.1f MB/s)  bare deflate %7.0f ms  ratio %.2f\n", backup,
                mbs / backup * 1000, bareDeflate, bareDeflate / backup);
    std::printf("backup compressing ahead on %d threads: %7.0f ms (%5.1f MB/s), %.2fx one core\n",
                backupfmt::compressionThreads(), parallel, mbs / parallel * 1000, backup / parallel);
    // Cores kept busy: below the core count, a core idled (or other work on the machine took it).
    std::printf("backup: %.2f cores busy on one core, %.2f compressing ahead (processor time %.0f "
                "and %.0f ms)\n",
                backupCpu / backup, parallelCpu / parallel, backupCpu, parallelCpu);
    std::printf("restore: engine %7.0f ms (%5.1f MB/s)  bare inflate %7.0f ms  ratio %.2f\n", restore,
                mbs / restore * 1000, bareInflate, bareInflate / restore);
    std::printf("restore: bare inflate writing its output to a flushed file %7.0f ms  ratio %.2f\n",
                bareInflateToFile, bareInflateToFile / restore);
    std::printf("read-back: %7.0f ms (%5.1f MB/s), %.2f of the backup's time on %d threads, %.2f "
                "of its time on one core (target: under 0.33)\n",
                readBack, mbs / readBack * 1000, readBack / parallel,
                backupfmt::compressionThreads(), readBack / backup);
    std::printf("max resident memory: %ld kB at start, %ld kB after the engine's runs\n", rssStart,
                rssEngine);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int mb = argc > 1 ? std::max(1, atoi(argv[1])) : 64;
    run(mb, Kind::Tables, "data that compresses like tables");
    run(mb, Kind::Compressed, "data already compressed");
    run(mb, Kind::Mix, "mix, 10% compressed");
    return 0;
}

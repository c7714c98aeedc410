// Conversion of a 100,000-row DEBITO in the older (Paradox) format by the schema check, against
// plain SQLite inserts of the same rows in one transaction (the least the conversion must do).
// The peak memory after converting 10,000 rows and after 100,000 shows it flat in the row count.
#include "BenchSupport.h"

#include "core/MakeDBx.h"
#include "core/TableDefs.h"
#include "core/engine/Database.h"
#include "core/engine/EngineConfig.h"
#include "tests/tblscn/ParadoxWriter.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

namespace {

pxtest::Table debits(int n)
{
    QList<pxtest::Row> rows;
    rows.reserve(n);
    for (int i = 0; i < n; ++i)
        rows << pxtest::Row{QDate(2020, 1, 1).addDays(i / 97), double(i % 997 + 1),
                            (i % 50000) / 100.0 + 1, QDate(2019, 12, 31), 1.0};
    return pxtest::debito(rows);
}

QString cpuModel()
{
    QFile f("/proc/cpuinfo");
    if (!f.open(QIODevice::ReadOnly)) return "?";
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("model name")) return QString::fromUtf8(line.mid(line.indexOf(':') + 2));
    return "?";
}

long peakKb()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// The same rows straight into a DEBITO table file.
void plainInserts(const QString& folder, const pxtest::Table& t)
{
    sqlite3* h = nullptr;
    sqlite3_open(QDir(folder).filePath("DEBITO.DB").toUtf8().constData(), &h);
    store::registerCollation(h);
    for (const std::string& sql : store::createStatements(*tables::find("DEBITO.DB"), "main"))
        sqlite3_exec(h, sql.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(h);
    bench::fill(folder, "DEBITO.DB",
                "INSERT INTO DEBITO (DEB_DATA, DEB_ASS_ID, DEB_VALOR, DEB_DTA_CAD, DEB_USR_ID) "
                "VALUES (?, ?, ?, ?, ?)",
                int(t.rows.size()), [&](sqlite3_stmt* st, int i) {
                    const pxtest::Row& r = t.rows[i];
                    const QByteArray d = r[0].toDate().toString("yyyy-MM-dd").toLatin1();
                    const QByteArray c = r[3].toDate().toString("yyyy-MM-dd").toLatin1();
                    sqlite3_bind_text(st, 1, d.constData(), int(d.size()), SQLITE_TRANSIENT);
                    sqlite3_bind_double(st, 2, r[1].toDouble());
                    sqlite3_bind_double(st, 3, r[2].toDouble());
                    sqlite3_bind_text(st, 4, c.constData(), int(c.size()), SQLITE_TRANSIENT);
                    sqlite3_bind_double(st, 5, r[4].toDouble());
                });
}

}  // namespace

// In a process of its own, so that the peak memory is the conversion's alone: converts the
// table of `folder`, prints the peak resident memory in KiB.
int convertAlone(const QString& folder)
{
    db::Session::instance().reset();
    db::EngineConfig::overrideAlias("Tolmare", folder);
    makedbx::checkDataFolder(folder);
    const makedbx::Outcome o = makedbx::lastOutcome();
    std::printf("%ld\n", peakKb());
    return o.converted == 1 && !o.refused ? 0 : 1;
}

long peakOfConversion(const QString& folder)
{
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), {"--convert", folder});
    p.waitForFinished(-1);
    return p.exitCode() == 0 ? p.readAllStandardOutput().trimmed().toLong() : -1;
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("TOLMARE_ENGINE_CONFIG", dir.filePath("none.ini").toUtf8());
    qputenv("TOLMARE_TBLSCN_STATE", dir.filePath("state.txt").toUtf8());
    if (argc == 3 && QByteArray(argv[1]) == "--convert") return convertAlone(QString::fromLocal8Bit(argv[2]));
    const int n = 100000;
    const pxtest::Table big = debits(n);
    for (const auto& [name, rows] : {std::pair{"small", n / 10}, std::pair{"peak", n}, std::pair{"big", n}}) {
        QDir().mkpath(dir.filePath(name));
        pxtest::write(dir.filePath(QString(name) + "/DEBITO.DB"), rows == n ? big : debits(rows));
    }
    QDir().mkpath(dir.filePath("plain"));
    std::printf("processor: %s\n", qPrintable(cpuModel()));
    bench::Timer timer;
    timer.restart();
    plainInserts(dir.filePath("plain"), big);
    const double plain = timer.stop();
    std::printf("plain SQLite inserts of %d rows in one transaction: %.0f ms CPU\n", n, plain);

    db::Session::instance().reset();
    db::EngineConfig::overrideAlias("Tolmare", dir.filePath("big"));
    timer.restart();
    makedbx::checkDataFolder(dir.filePath("big"));
    const double converted = timer.stop();
    const bool ok = makedbx::lastOutcome().converted == 1 && !makedbx::lastOutcome().refused;
    std::printf("conversion of a %d-row DEBITO by the schema check: %.0f ms CPU%s\n", n, converted,
                ok ? "" : " (FAILED)");
    std::printf("ratio conversion / plain inserts: %.2f\n", converted / plain);
    const long small = peakOfConversion(dir.filePath("small")), large = peakOfConversion(dir.filePath("peak"));
    std::printf("peak memory of a process converting %d rows: %ld KiB; %d rows: %ld KiB\n", n / 10,
                small, n, large);
    return ok && converted < 3000 ? 0 : 1;
}

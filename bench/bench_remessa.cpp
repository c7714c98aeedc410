// The remittance generation on 100,000 debits of 60,000 members (a third of them with debits
// of other dates; "bench_remessa DEBITS MEMBERS" for another size), against the same row
// changes made with plain SQLite in one transaction (bench/Transcricao.h); and the date step
// alone at 10k, 30k and 100k debits, to show how it grows ("--sem-passo" leaves it out).
// The file is what the generation is for, so a second reference adds to the row changes the
// least that putting its bytes in place durably takes (one write beside it, fsync, rename:
// bench::writeFileDurably); both ratios are printed. Neither reference does the generation's
// own safeguards (reading the file back, the pending-file record, the lock, the undo record).
#include "bench/BenchSupport.h"
#include "core/store/StoreSchema.h"
#include "remittance/GerarRemessa.h"
#include "core/engine/Connection.h"
#include "core/engine/Database.h"
#include "tests/common/TestData.h"
#include "bench/Transcricao.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdio>

namespace {

const QDate kDate(2026, 7, 10);

void fill(const QString& folder, int debits, int members)
{
    auto open = [&](const char* file) {
        sqlite3* h = nullptr;
        sqlite3_open(QDir(folder).filePath(file).toUtf8().constData(), &h);
        store::registerCollation(h);
        sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
        return h;
    };
    auto close = [](sqlite3* h) {
        sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(h);
    };
    sqlite3* p = open("PARAMETROS.DB");
    sqlite3_exec(p, "INSERT INTO PARAMETROS (EMP_NOME, EMP_COD_INT_PREVI, EMP_COD_VERBA_PREVI, "
                    "EMP_NR_REM_PREVI) VALUES ('A', '7', '123', 40)", nullptr, nullptr, nullptr);
    close(p);
    sqlite3* a = open("ASSOCIADOS.DB");
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(a, "INSERT INTO ASSOCIADOS (ASS_NOME, ASS_GRP_ID, ASS_MATRICULA) "
                          "VALUES (?, 1, ?)", -1, &st, nullptr);
    for (int i = 0; i < members; ++i) {
        const QByteArray name = QString("Associado %1").arg(i).toUtf8();
        const QByteArray mat = QString("%1.%2-%3").arg(i / 1000).arg(i % 1000).arg(i % 7).toUtf8();
        sqlite3_bind_text(st, 1, name.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, mat.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    close(a);
    sqlite3* d = open("DEBITO.DB");
    sqlite3_prepare_v2(d, "INSERT INTO DEBITO VALUES (?, ?, ?, '2026-01-01', 1)", -1, &st,
                       nullptr);
    for (int i = 0; i < debits; ++i) {
        const int member = 1 + i % members;
        // A third of the members also have debits of other months.
        const bool other = member % 3 == 0 && i >= members;
        const QDate when = other ? QDate(2026, 1 + i % 6, 10) : kDate;
        const QByteArray date = when.toString(Qt::ISODate).toUtf8();
        sqlite3_bind_text(st, 1, date.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(st, 2, member);
        sqlite3_bind_double(st, 3, 10 + (i / members) + (i % 100) / 100.0);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    close(d);
}

double ms(QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool step = !args.removeAll("--sem-passo");
    const int debits = args.size() > 0 ? std::max(100, args[0].toInt()) : 100000;
    const int members = args.size() > 1 ? std::max(10, args[1].toInt()) : debits * 6 / 10;
    QTemporaryDir dir;

    const QString folder = dir.filePath("full");
    testdata::makeDataFolder(folder);
    fill(folder, debits, members);
    const double filledMb = bench::peakMemoryMb();
    const QString copy = dir.filePath("copy");
    bench::copyTables(folder, copy);
    bench::Clock clock;
    const remessa::Outcome o = remessa::GerarArquivo(dir.filePath("ARQ_PREVI_000040.txt"), kDate,
                                                     QDate(2026, 7, 5));
    const bench::Times whole{clock.wallMs(), clock.cpuMs()};
    const double generatedMb = bench::peakMemoryMb();
    if (o.kind != remessa::Outcome::Kind::Done) {
        std::fprintf(stderr, "generation failed: %s\n", qPrintable(o.message));
        return 1;
    }
    db::Session::instance().reset();
    const QStringList tables{"DEBITO", "RET_DEBITO", "PARAMETROS"};
    QVector<bench::Change> changes;
    qint64 rows = 0;
    for (const QString& table : tables)
        for (const bench::Change& c : bench::changesOf(copy, folder, table)) {
            changes << c;
            rows += c.rows.size();
        }
    const bench::Times reference = bench::replay(copy, tables, changes);
    QFile made(dir.filePath("ARQ_PREVI_000040.txt"));
    if (!made.open(QIODevice::ReadOnly)) return 1;
    const QByteArray bytes = made.readAll();
    const bench::Times file = bench::writeFileDurably(dir.filePath("reference.txt"), bytes);
    if (reference.cpu < 0 || file.cpu < 0) {
        std::fprintf(stderr, "the reference failed\n");
        return 1;
    }
    std::printf("generation, %d debits of %d members: %.0f ms (processor %.0f ms); the "
                "same %lld row changes in plain SQLite: %.0f ms (processor %.0f ms); ratio %.2f "
                "(processor %.2f; target below 1.5) on %s\n", debits, members, whole.wall,
                whole.cpu, rows, reference.wall, reference.cpu, whole.wall / reference.wall,
                whole.cpu / reference.cpu, qPrintable(bench::processorModel()));
    const bench::Times both{reference.wall + file.wall, reference.cpu + file.cpu};
    std::printf("  with the file's %lld bytes written beside, synced and renamed (%.0f ms, "
                "processor %.0f ms): %.0f ms (processor %.0f ms); ratio %.2f (processor %.2f)\n",
                qint64(bytes.size()), file.wall, file.cpu, both.wall, both.cpu,
                whole.wall / both.wall, whole.cpu / both.cpu);
    std::printf("  peak memory %.0f MB after filling the tables, %.0f MB after the generation\n",
                filledMb, generatedMb);
    std::printf("  %s\n", qPrintable(o.summary.join(" | ")));
    if (!step) return 0;

    QElapsedTimer t;
    for (int n : {10000, 30000, 100000}) {
        const QString f2 = dir.filePath(QString("step%1").arg(n));
        testdata::makeDataFolder(f2);
        fill(f2, n, n * 6 / 10);
        db::Connection& c = db::Session::instance().connectionFor("Tolmare");
        for (const char* file : {"PARAMETROS.DB", "DEBITO.DB", "ASSOCIADOS.DB", "RET_DEBITO.DB"})
            c.attach(file);
        t.restart();
        {
            db::Transaction tx(c);
            remessa::levarDebitosParaData(kDate);
            tx.commit();
        }
        const double step = ms(t);
        std::printf("date step, %6d debits: %7.1f ms (%.2f us per debit)\n", n, step,
                    step * 1000 / n);
    }
    return 0;
}

// The table engine against plain SQLite statements on the same files, in the same run:
// walking 100,000 rows, key search, two-field locate, count under a range and the debit list.
// Prints each time and its ratio to the plain statement.
#include "core/dm/UDMDebito.h"
#include "core/engine/Database.h"
#include "core/engine/Table.h"
#include "core/store/StoreSchema.h"
#include "tests/common/TestData.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sqlite3.h>
#include <sys/resource.h>

#include <cstdio>
#include <functional>

namespace {

int kMembers = 100000;
int kDebits = 100000;

long maxRssKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

double timeMs(const std::function<void()>& work, int repeat = 1)
{
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < repeat; ++i) work();
    return double(t.nsecsElapsed()) / 1e6 / repeat;
}

void fill(const QString& folder)
{
    auto run = [](const QString& path, const std::function<void(sqlite3*)>& body) {
        sqlite3* h = nullptr;
        sqlite3_open(path.toUtf8().constData(), &h);
        store::registerCollation(h);
        sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
        body(h);
        sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(h);
    };
    run(QDir(folder).filePath("GRUPO.DB"), [](sqlite3* h) {
        for (int g = 1; g <= 20; ++g)
            sqlite3_exec(h, QString("INSERT INTO GRUPO (GRP_DESCRICAO) VALUES ('Grupo %1')").arg(g)
                                .toUtf8().constData(), nullptr, nullptr, nullptr);
    });
    run(QDir(folder).filePath("ASSOCIADOS.DB"), [](sqlite3* h) {
        std::fprintf(stderr, "filling members\n");
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(h, "INSERT INTO ASSOCIADOS (ASS_NOME, ASS_GRP_ID, ASS_CONTA_CORRENTE, "
                              "ASS_MATRICULA) VALUES (?, ?, ?, ?)", -1, &st, nullptr);
        for (int i = 0; i < kMembers; ++i) {
            const QByteArray name = QString("Associado %1").arg(int((qint64(i) * 7919) % kMembers), 6, 10, QChar('0')).toUtf8();
            const QByteArray acc = QString::number(100000 + int((qint64(i) * 104729) % kMembers)).toUtf8();
            sqlite3_bind_text(st, 1, name.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_double(st, 2, 1 + i % 20);
            sqlite3_bind_text(st, 3, acc.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 4, QByteArray::number(i).constData(), -1, SQLITE_TRANSIENT);
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
    });
    run(QDir(folder).filePath("DEBITO.DB"), [](sqlite3* h) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(h, "INSERT INTO DEBITO (DEB_DATA, DEB_ASS_ID, DEB_VALOR, DEB_DTA_CAD, "
                              "DEB_USR_ID) VALUES (?, ?, ?, '2026-01-01', 1)", -1, &st, nullptr);
        for (int i = 0; i < kDebits; ++i) {
            const QByteArray date = QDate(2026, 1 + i % 12, 10).toString(Qt::ISODate).toUtf8();
            sqlite3_bind_text(st, 1, date.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_double(st, 2, 1 + i % kMembers);
            sqlite3_bind_double(st, 3, 10 + i % 7);
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
    });
}

void report(const char* what, double engine, double plain)
{
    std::printf("%-34s engine %9.3f ms   plain %9.3f ms   ratio %6.2f\n", what, engine, plain,
                plain > 0 ? engine / plain : 0.0);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1) kMembers = kDebits = std::max(100, atoi(argv[1]));
    QTemporaryDir dir;
    const QString folder = dir.filePath("dados");
    testdata::makeDataFolder(folder);
    fill(folder);

    sqlite3* plain = nullptr;
    sqlite3_open(QDir(folder).filePath("ASSOCIADOS.DB").toUtf8().constData(), &plain);
    store::registerCollation(plain);
    auto plainScalar = [&](const char* sql, const QVariantList& args) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(plain, sql, -1, &st, nullptr);
        int i = 1;
        for (const QVariant& a : args) {
            const QByteArray t = a.toString().toUtf8();
            sqlite3_bind_text(st, i++, t.constData(), -1, SQLITE_TRANSIENT);
        }
        int rows = 0;
        while (sqlite3_step(st) == SQLITE_ROW) ++rows;
        sqlite3_finalize(st);
        return rows;
    };

    db::Table members;
    members.setTableName("ASSOCIADOS.DB");
    members.setIndexName("ID_ASSOCIADOS_NOME");
    members.open();

    const long rssBefore = maxRssKb();
    int walked = 0;
    const double walkEngine = timeMs([&] {
        walked = 0;
        for (members.first(); !members.eof(); members.next()) {
            members.fieldByName("ASS_NOME").asString();
            ++walked;
        }
    });
    const long rssAfter = maxRssKb();
    const double walkPlain = timeMs([&] {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(plain, "SELECT *, rowid FROM ASSOCIADOS ORDER BY ASS_NOME, ASS_ID", -1,
                           &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW)
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
        sqlite3_finalize(st);
    });
    report(qPrintable(QString("walk %1 rows by name").arg(walked)), walkEngine, walkPlain);
    std::printf("%-34s %ld kB before, %ld kB after the walk\n", "max resident memory", rssBefore,
                rssAfter);

    int k = 0;
    const double nearest = timeMs([&] {
        members.findNearest({QString("Associado %1").arg((k++ * 31) % kMembers, 6, 10, QChar('0'))});
    }, 1000);
    k = 0;
    const double nearestPlain = timeMs([&] {
        plainScalar("SELECT * FROM ASSOCIADOS WHERE ASS_NOME >= ? ORDER BY ASS_NOME, ASS_ID LIMIT 1",
                    {QString("Associado %1").arg((k++ * 31) % kMembers, 6, 10, QChar('0'))});
    }, 1000);
    report("nearest key (each)", nearest, nearestPlain);

    members.setIndexName("ID_ASSOCIADOS_CONTA");
    k = 0;
    const double locate = timeMs([&] {
        const int i = (k++ * 17) % kMembers;
        members.locate("ASS_CONTA_CORRENTE;ASS_NOME",
                       {QString::number(100000 + int((qint64(i) * 104729) % kMembers)),
                        QString("Associado %1").arg(int((qint64(i) * 7919) % kMembers), 6, 10, QChar('0'))});
    }, 1000);
    k = 0;
    const double locatePlain = timeMs([&] {
        const int i = (k++ * 17) % kMembers;
        plainScalar("SELECT * FROM ASSOCIADOS WHERE ASS_CONTA_CORRENTE = ? AND ASS_NOME = ? "
                    "ORDER BY ASS_CONTA_CORRENTE, ASS_NOME, ASS_ID LIMIT 1",
                    {QString::number(100000 + int((qint64(i) * 104729) % kMembers)),
                     QString("Associado %1").arg(int((qint64(i) * 7919) % kMembers), 6, 10, QChar('0'))});
    }, 1000);
    report("two-field locate (each)", locate, locatePlain);

    members.setIndexName("ID_ASSOCIADOS_GRUPO");
    int counted = 0;
    const double count = timeMs([&] {
        members.setRange({5.0}, {8.0});
        counted = members.recordCount();
    }, 20);
    const double countPlain = timeMs([&] {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(plain, "SELECT COUNT(*) FROM ASSOCIADOS WHERE ASS_GRP_ID >= 5 AND "
                                  "ASS_GRP_ID <= 8", -1, &st, nullptr);
        sqlite3_step(st);
        sqlite3_finalize(st);
    }, 20);
    report(qPrintable(QString("range and count (%1 rows)").arg(counted)), count, countPlain);
    members.close();
    sqlite3_close(plain);

    TDMDebito dm;
    QStringList sql = TDMDebito::baseStatement();
    sql << "ORDER BY" << "  ASS_NOME" << "  ,ASS_CONTA_CORRENTE" << "  ,DEB_DATA";
    dm.QDebito->setSql(sql);
    int listed = 0;
    const double list = timeMs([&] {
        dm.QDebito->close();
        dm.QDebito->open();
        listed = dm.QDebito->recordCount();
    });
    sqlite3* joined = nullptr;
    sqlite3_open(":memory:", &joined);
    store::registerCollation(joined);
    for (const char* t : {"GRUPO", "ASSOCIADOS", "DEBITO"})
        sqlite3_exec(joined, QString("ATTACH '%1' AS %2").arg(QDir(folder).filePath(QString(t) + ".DB"), t)
                                 .toUtf8().constData(), nullptr, nullptr, nullptr);
    const double listPlain = timeMs([&] {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(joined, sql.join("\n").toUtf8().constData(), -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(st); ++c) sqlite3_column_text(st, c);
        }
        sqlite3_finalize(st);
    });
    sqlite3_close(joined);
    report(qPrintable(QString("debit list by name (%1 rows)").arg(listed)), list, listPlain);
    return 0;
}

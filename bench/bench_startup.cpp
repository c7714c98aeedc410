// The start-up schema check on five matching tables of 100 rows and of 100,000 rows, in the
// same run: the check must not grow with the row count.
#include "core/MakeDBx.h"
#include "core/TableDefs.h"
#include "core/store/StoreSchema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdio>

namespace {

void fill(const QString& folder, int rows)
{
    for (const store::TableSpec& t : tables::all()) {
        sqlite3* h = nullptr;
        sqlite3_open(QDir(folder).filePath(QString::fromStdString(t.fileName)).toUtf8().constData(), &h);
        store::registerCollation(h);
        sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
        std::string cols, marks;
        for (size_t i = 0; i < t.fields.size(); ++i) {
            cols += (i ? ", " : "") + store::quoted(t.fields[i].name);
            marks += i ? ", ?" : "?";
        }
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(h, ("INSERT INTO " + store::quoted(t.tableName()) + " (" + cols
                               + ") VALUES (" + marks + ")").c_str(), -1, &st, nullptr);
        for (int r = 0; r < rows; ++r) {
            for (size_t i = 0; i < t.fields.size(); ++i) {
                const store::FieldSpec& f = t.fields[i];
                if (f.type == store::FieldType::Autoincrement) sqlite3_bind_null(st, int(i + 1));
                else if (f.type == store::FieldType::Alpha)
                    sqlite3_bind_text(st, int(i + 1), ("v" + std::to_string(r * 7919 % 100003)).c_str(), -1, SQLITE_TRANSIENT);
                else if (f.type == store::FieldType::Date)
                    sqlite3_bind_text(st, int(i + 1), "2026-07-10", -1, SQLITE_STATIC);
                else sqlite3_bind_double(st, int(i + 1), r + 0.5 * double(i));
            }
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(h);
    }
}

double check(const QString& folder)
{
    QElapsedTimer t;
    t.start();
    makedbx::checkDataFolder(folder);
    return t.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString small = dir.filePath("small"), large = dir.filePath("large");
    for (const QString& f : {small, large}) {
        QDir().mkpath(f);
        makedbx::checkDataFolder(f);  // creates the five tables
    }
    fill(small, 100);
    fill(large, argc > 1 ? atoi(argv[1]) : 100000);
    check(small);
    check(large);  // first checks after the writes
    const double s = check(small), l = check(large);
    std::printf("schema check, 5 tables: 100 rows %.1f ms, 100000 rows %.1f ms, ratio %.2f\n", s,
                l, l / s);
    return 0;
}

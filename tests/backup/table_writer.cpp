// A second process that writes tables without pause, for the backup taken while tables change.
// table_writer FILE SECONDS: every transaction adds a batch of 50 rows and deletes the batch
// three before it, so a committed state holds only whole batches.
// table_writer FILE SECONDS SECOND: every transaction takes the next number from FILE (table
// `next`) and records 20 rows of it in SECOND (table `rows`), both in one transaction over the
// two files, as a remittance does with its number and its debits.
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

void ready(int round)
{
    if (round == 4) std::puts("ready"), std::fflush(stdout);
}

void commitOrRollBack(sqlite3* db)
{
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
}

int pairs(sqlite3* db, const char* second, std::chrono::steady_clock::time_point end)
{
    const std::string attach = std::string("ATTACH '") + second + "' AS r";
    sqlite3_exec(db, "PRAGMA journal_mode=DELETE; CREATE TABLE IF NOT EXISTS next(n INT);"
                     "INSERT INTO next SELECT 1 WHERE NOT EXISTS (SELECT 1 FROM next)",
                 nullptr, nullptr, nullptr);
    sqlite3_exec(db, attach.c_str(), nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA r.journal_mode=DELETE; CREATE TABLE IF NOT EXISTS r.rows(remessa INT)",
                 nullptr, nullptr, nullptr);
    for (int round = 1; std::chrono::steady_clock::now() < end; ++round) {
        if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) continue;
        sqlite3_exec(db, "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < 20)"
                         " INSERT INTO r.rows SELECT (SELECT n FROM next) FROM k;"
                         "UPDATE next SET n = n + 1", nullptr, nullptr, nullptr);
        commitOrRollBack(db);
        ready(round);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4) return 2;
    sqlite3* db = nullptr;
    if (sqlite3_open(argv[1], &db) != SQLITE_OK) return 1;
    sqlite3_busy_timeout(db, 20000);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(std::atoi(argv[2]));
    if (argc == 4) {
        const int rc = pairs(db, argv[3], end);
        sqlite3_close(db);
        return rc;
    }
    sqlite3_exec(db, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=OFF;"
                     "CREATE TABLE IF NOT EXISTS t(id INTEGER PRIMARY KEY, batch INT, pad BLOB)",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO t(batch, pad) VALUES(?, randomblob(?))", -1, &ins, nullptr);
    std::mt19937 rng(7);
    for (int batch = 1; std::chrono::steady_clock::now() < end; ++batch) {
        if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) continue;
        for (int i = 0; i < 50; ++i) {
            sqlite3_bind_int(ins, 1, batch);
            sqlite3_bind_int(ins, 2, 500 + int(rng() % 3000));
            sqlite3_step(ins);
            sqlite3_reset(ins);
        }
        const std::string del = "DELETE FROM t WHERE batch = " + std::to_string(batch - 3);
        sqlite3_exec(db, del.c_str(), nullptr, nullptr, nullptr);
        commitOrRollBack(db);
        ready(batch);
    }
    sqlite3_finalize(ins);
    sqlite3_close(db);
    return 0;
}

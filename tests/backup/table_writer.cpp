// A second process that writes a table file without pause, for the backup taken while tables
// change: every transaction adds a batch of 50 rows and deletes the batch three before it, so
// a committed state holds only whole batches. Usage: table_writer FILE SECONDS
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3) return 2;
    sqlite3* db = nullptr;
    if (sqlite3_open(argv[1], &db) != SQLITE_OK) return 1;
    sqlite3_busy_timeout(db, 20000);
    sqlite3_exec(db, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=OFF;"
                     "CREATE TABLE IF NOT EXISTS t(id INTEGER PRIMARY KEY, batch INT, pad BLOB)",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO t(batch, pad) VALUES(?, randomblob(?))", -1, &ins, nullptr);
    std::mt19937 rng(7);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(std::atoi(argv[2]));
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
        if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        if (batch == 4) std::puts("ready"), std::fflush(stdout);
    }
    sqlite3_finalize(ins);
    sqlite3_close(db);
    return 0;
}

// What the server benchmarks share: a connection to a throw-away server (the address as the
// tests take it), refused when the server holds the schema tolmare already, with the schema
// made.
#pragma once

#include "core/TableDefs.h"
#include "core/pgstore/PgConnection.h"
#include "core/pgstore/ServerSchema.h"
#include "core/store/MainTables.h"

#include <QtGlobal>

#include <cstdio>
#include <memory>
#include <string>

namespace bench {

inline std::string serverUri()
{
    return qEnvironmentVariable("TOLMARE_PG_URI", "postgresql://").toStdString();
}

// The connection, or nullptr (said on standard error) for a server that holds the schema.
inline std::unique_ptr<pg::Connection> throwAwayServer()
{
    auto c = std::make_unique<pg::Connection>(serverUri());
    if (c->exec("SELECT to_regnamespace('tolmare') IS NOT NULL").text(0, 0) == "t") {
        std::fprintf(stderr,
                     "The server already has the schema tolmare: run this under "
                     "pg_virtualenv -t, on a throw-away server.\n");
        return nullptr;
    }
    pg::checkSchema(*c, tables::all(), store::mainTables());
    return c;
}

}  // namespace bench

// The remittance generation on the server store: the same file, the same table changes and the
// same summary as remessa::GerarArquivo on a data folder, worked out by the server in sets.
#pragma once

#include "core/pgstore/PgConnection.h"
#include "remittance/GerarRemessa.h"

namespace remessa {

// Generates the remittance of `debitDate` into `path` on the server of `c`. One generation at
// a time among the server's computers (TravaDaRemessa); one transaction locks DEBITO and
// RET_DEBITO against other writers (members stay open to all), reads and advances the number
// under the row's lock, brings the debits to the date, records the debits sent and what undoes
// them; the file, written beside `path` and read back, replaces it once that has committed.
// Any failure changes no table and leaves no file.
Outcome gerarNoServidor(pg::Connection& c, const QString& path, const QDate& debitDate,
                        const QDate& today, const Progress& progress = {});

}  // namespace remessa

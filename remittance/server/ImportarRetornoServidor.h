// The return file import on the server store: the outcome `importar` gives on a data folder
// (the same members found, the same rows changed, the same summary, log line and fingerprint
// record), worked out by the server over the whole file at once rather than line by line, so
// that the time does not follow the round trips to the server.
//
// Everything is one transaction, which first takes RET_DEBITO against other writers (another
// import or a remittance waits, a bounded time; the members and debits stay open to others):
// - each date and member keeps one RET_DEBITO row, the first in the order of Si_Data_Associado
//   (what the consultation does on a data folder before an import);
// - the file's member lines go into a temporary table, and each line's member is searched
//   there in account order, by enrolment number, account and name, exact before prefix;
// - each member found gets, on its row of the earliest date of the month, the return date and
//   the reason of its last line; a member without a row in the month gets one on the first
//   of the month;
// - the fingerprint is checked and recorded, and the log line written.
// Memory holds the lines the summary shows, not the file.
#pragma once

#include "remittance/ImportarRetorno.h"

namespace pg {
class Connection;
}

namespace retorno {

// Imports `path` for month/year onto the server store of `c` (its schema checked already).
// Throws db::EngineError (the month, the file: unreadable, no return file, a reason the server
// cannot hold), pg::PgError (the server: unreachable, busy, refused), JaImportado; in each
// case nothing changed and the file keeps its name.
Resultado importarNoServidor(pg::Connection& c, const QString& path, int month, int year,
                             const QDate& today, const Progress& progress = {},
                             bool reimportar = false);

}  // namespace retorno

// The backups of a server store: an archive of one snapshot of its tables, of the same kind as a
// single computer's (made of the table files a data folder holds), and such an archive loaded
// back onto the server in one transaction. Both go through a temporary folder that is removed
// afterwards; the log lines go to the server's log.
#pragma once

#include "backup/operation/BackupOperation.h"
#include "core/pgstore/ServerSchema.h"
#include "core/pgstore/ServerTransfer.h"

namespace backup {

// Exports one snapshot of the five tables of the server at `uri` (after its schema check) into
// a temporary folder and backs those table files up into `archive` with runBackup (read back
// with `readBack`), with the engine's choices; the line "Backup" goes to the server's log.
Outcome runServerBackup(TBackupFile& engine, const QString& uri, const QString& archive,
                        bool readBack, const Follow& follow = {});

struct ServerRestoreOutcome : RestoreOutcome {
    QStringList loaded;  // "GRUPO.DB (3 registro(s))", the tables now on the server
};

// Restores the table files of `archive` into a temporary folder (runRestore), brings them to
// the definition with the file store's schema check, and loads the tables the archive held onto
// the server at `uri` in one transaction, with the line "Restauração" in the server's log; a copy
// of RET_DEBITO.DB undoes the return imports recorded after it, as on a data folder. Anything
// failing leaves the server as it was. `ok` only when every table was loaded.
ServerRestoreOutcome runServerRestore(TBackupFile& engine, const QString& archive,
                                      const QString& uri, const Follow& follow = {});

// The server's schema check (pg::checkSchema with the five tables and the main database's),
// each table it created or restructured logged as "Tabelas" in the same transaction. Throws
// PgError.
std::vector<pg::SchemaOutcome> checkServerSchema(pg::Connection& c);
// What the check changed on a table ("GRUPO criada"); empty when nothing.
QString schemaChangeText(const pg::SchemaOutcome& o);

// After the schema check, one snapshot of the server's five tables as table files in `folder`
// (a data folder of a single computer that the commands which only read can run on). Returns the
// files. Throws PgError (the server) or db::EngineError (the files).
QStringList snapshotInto(pg::Connection& c, const QString& folder);

// Adds a line to the log of the server store on `c` (inside its open transaction, if any), with
// the current user and time.
void logOnServer(pg::Connection& c, const QString& operacao, const QString& detalhe);

// "GRUPO.DB (3 registro(s))" for each table, joined by ", ".
QStringList rowsText(const std::vector<pg::TableRows>& rows);

}  // namespace backup

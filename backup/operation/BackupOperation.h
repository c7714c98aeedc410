// Back up, read back, log; check an archive; restore, log: the operations the backup window
// and tolmare-cli share. The front sets the engine's choices and its OnProgress, OnError and
// OnNote, answers for a missing volume and shows the outcome; the rest is done here.
#pragma once

#include "backup/RunError.h"
#include "backup/backup.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace backup {

// What the front follows an operation with. Both may be unset.
struct Follow {
    // The reading back (or check) of an archive: the file at hand and the percentage read.
    std::function<void(const QString& file, int percent)> checking;
    // Volume `volume` of an archive being read is not at `path`: true once it is there (the
    // operator put it in place), false to stop. Unset: stop.
    std::function<bool(int volume, const QString& path)> missingVolume;
};

// Writes an operation's line in the log of the store it concerns, throwing with the reason when
// it cannot (a server store's log, say). Unset: the data folder's log.
using LogLine = std::function<void(const QString& operacao, const QString& detalhe)>;

struct Outcome {
    bool ok = false;        // everything asked was done
    bool written = false;   // backup: the archive was completed; restore: files may have changed
    RunError error;         // when not ok: what stopped it (Cancelled when nothing failed)
    bool reported = false;  // that error was told through the engine's OnError (or error box)
    qint32 files = 0;       // files stored, restored or checked
    qint32 checked = 0;     // backup: files read back
    QString logProblem;     // the log line could not be written (the operation stands): why
};

// Backs `files` up into `archive` with the choices set on `engine`. A list that matches no
// file, or none changed since the last incremental backup, is refused (NothingToDo) with
// nothing written. Tables are read under one read lock (store::readLockTables, unless the
// engine has a ReadLock of its own); further volumes are written beside the first. With
// `readBack` the archive is then checked (verifyArchive). A backup done is logged ("Backup"),
// through `log` when it is set.
Outcome runBackup(TBackupFile& engine, const QStringList& files, const QString& archive,
                  bool readBack, const Follow& follow = {}, const LogLine& log = {});

// Reads every block of `archive` (and its further volumes) back, writing nothing: ok when all
// decode and every file has its listed size; `files` counts the files read.
Outcome verifyArchive(const QString& archive, const Follow& follow = {});

// What a restore did, by file name: for the operator's message.
struct RestoreOutcome : Outcome {
    bool started = false;     // false: the archive could not be read at all; nothing changed
    QStringList restored;     // the files put in place
    QStringList notRestored;  // the others known: listed in the archive, or the one that failed
    bool listed = false;      // the archive lists its files: notRestored names them all
};

// Restores `archive` into the folder `dest` with the engine's RestoreMode and RestoreFullPath.
// Every connection of the program is closed first (no table stays open while it is replaced).
// A restore that changed anything is logged in the data folder's log ("Restauração"); a copy
// of RET_DEBITO.DB put back there undoes the return imports recorded after it. With `log` set,
// the line goes there instead and the data folder is left alone.
RestoreOutcome runRestore(TBackupFile& engine, const QString& archive, const QString& dest,
                          const Follow& follow = {}, const LogLine& log = {});

// An archive that could not be read at all (the engine's exception), as a run error.
RunError unreadableArchive(const BackupException& e, const QString& archive);

}  // namespace backup

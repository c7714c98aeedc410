#include "backup/operation/BackupOperation.h"

#include "backup/operation/VolumeAsk.h"
#include "core/Historico.h"
#include "core/engine/EngineError.h"
#include "core/store/TableReadLock.h"

#include <QFileInfo>

namespace backup {

namespace {

using Kind = RunError::Kind;

// A backup of nothing is no backup: it would only replace the archive of that name.
RunError nothingToBackUp(const TBackupFile& engine, const QStringList& files,
                         const QString& archive)
{
    TBackupFile probe;  // lists quietly: the run's notes come from the run
    probe.setBackupMode(engine.BackupMode);
    if (!probe.ListFiles(files, archive).isEmpty()) return {};
    probe.setBackupMode(TBackupFile::bmAll);
    if (engine.BackupMode == TBackupFile::bmAll || probe.ListFiles(files, archive).isEmpty())
        return {Kind::NothingToDo, 0, archive,
                QString("Nenhum arquivo corresponde a %1: confira as pastas e os curingas. "
                        "Nenhum backup foi gravado.")
                    .arg(files.join(" "))};
    return {Kind::NothingToDo, 0, archive,
            QString("Nenhum arquivo mudou desde o último backup incremental: nenhum backup foi "
                    "gravado (o backup %1 que houver foi mantido).")
                .arg(archive)};
}

}  // namespace

RunError unreadableArchive(const BackupException& e, const QString& archive)
{
    const bool unopened = e.message() == RunError::engineText(3);
    return {unopened ? Kind::ArchiveUnreadable : Kind::ArchiveDamaged, unopened ? 3 : 5, archive,
            QString("Falha ao ler o backup %1: ele não pôde ser aberto, não é um backup ou está "
                    "danificado. Confira o nome e as permissões do arquivo, ou use outra cópia "
                    "do backup.")
                .arg(archive)};
}

Outcome runBackup(TBackupFile& engine, const QStringList& files, const QString& archive,
                  bool readBack, const Follow& follow, const LogLine& log)
{
    Outcome out;
    if ((out.error = nothingToBackUp(engine, files, archive))) return out;
    const auto needDisk = engine.OnNeedDisk;
    const auto readLock = engine.ReadLock;
    // Further volumes are files beside the first: nothing to change, no question.
    engine.OnNeedDisk = [](TBackupFile*, quint16, bool& cont) { cont = true; };
    if (!engine.ReadLock) engine.ReadLock = store::readLockTables;
    try {
        out.written = engine.Backup(files, archive);
    } catch (const BackupException&) {
        out.error = {Kind::WriteFailed, 4, archive, {}};
    }
    engine.OnNeedDisk = needDisk;
    engine.ReadLock = readLock;
    out.files = engine.FilesDone;
    if (!out.written) {
        out.reported = bool(engine.LastError());
        if (out.reported)
            out.error = engine.LastError();
        else if (!out.error)
            out.error = {Kind::Cancelled, 0, {}, {}};
        return out;
    }
    if (readBack) {
        const Outcome check = verifyArchive(archive, follow);
        out.checked = check.files;
        if (!check.ok) {
            out.error = check.error;
            return out;
        }
    }
    out.ok = true;
    const QString detalhe = QString("arquivo %1: %2 arquivo(s), %3 bytes%4")
                                .arg(archive)
                                .arg(engine.FilesDone)
                                .arg(engine.TotalSize)
                                .arg(readBack ? ", lido de volta" : "");
    try {
        if (log)
            log("Backup", detalhe);
        else
            historico::registrar("Backup", detalhe);
    } catch (const db::EngineError& e) {
        out.logProblem = e.message();
    } catch (const std::exception& e) {
        out.logProblem = QString::fromStdString(e.what());
    }
    return out;
}

Outcome verifyArchive(const QString& archive, const Follow& follow)
{
    Outcome out;
    if (!QFileInfo(archive).isFile()) {
        out.error = {Kind::ArchiveUnreadable, 3, archive, {}};
        return out;
    }
    TBackupFile check;
    check.OnError = [](TBackupFile*, qint32, const QString&) {};  // the outcome tells it
    if (follow.checking)
        check.OnProgress = [&follow](TBackupFile*, const QString& file, int percent, bool&) {
            follow.checking(file, percent);
        };
    const VolumeAsk volumes(archive, follow);
    check.OnNeedDisk = volumes.handler();
    try {
        out.ok = check.Verify(archive);
        if (!out.ok) out.error = volumes.failureOf(check);
    } catch (const BackupException& e) {
        out.error = unreadableArchive(e, archive);
    }
    out.files = check.FilesDone;
    return out;
}

}  // namespace backup

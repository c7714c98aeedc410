#include "backup/operation/BackupOperation.h"
#include "backup/operation/VolumeAsk.h"
#include "core/engine/Database.h"
#include "core/engine/EngineConfig.h"
#include "core/engine/EngineError.h"
#include "remittance/RetornosImportados.h"

#include <QFileInfo>

namespace backup {

namespace {

// The file names the archive lists, when it lists them.
QStringList listedNames(const QString& archive)
{
    TBackupFile probe;
    probe.OnError = [](TBackupFile*, qint32, const QString&) {};  // the restore tells it
    QStringList lines;
    QString title;
    probe.GetArchiveInfo(archive, &lines, title);
    QStringList names;
    for (const QString& line : lines)
        names << line.section('\t', 0, 0).replace('\\', '/').section('/', -1);
    return names;
}

}  // namespace

RestoreOutcome runRestore(TBackupFile& engine, const QString& archive, const QString& dest,
                          const Follow& follow, const LogLine& log)
{
    RestoreOutcome out;
    if (!QFileInfo(archive).isFile()) {
        out.error = {RunError::Kind::ArchiveUnreadable, 3, archive, {}};
        return out;
    }
    // Not restored until the engine says so.
    out.notRestored = listedNames(archive);
    out.listed = !out.notRestored.isEmpty();

    // No table file may stay open while it is replaced.
    const QString folder = db::EngineConfig::aliasFolder("Tolmare");
    db::Session::instance().closeAll();
    const retorno::RetDebitoAntes retDebito = folder.isEmpty() || log
                                                  ? retorno::RetDebitoAntes{}
                                                  : retorno::antesDaRestauracao(folder);

    // A file counts as restored once the engine has gone on to the next one with it done;
    // the file a failed run was on is not counted, whatever the engine's count says.
    QString current;
    bool attempted = false;
    qint32 doneBefore = 0;
    const auto settle = [&](bool finished) {
        const QString name = QFileInfo(current).fileName();
        if (finished && !current.isEmpty() && engine.FilesDone > doneBefore) {
            out.restored << name;
            out.notRestored.removeOne(name);
        } else if (!current.isEmpty() && !out.notRestored.contains(name)) {
            out.notRestored << name;
        }
        current.clear();
    };
    const auto onRestoreFile = engine.OnRestoreFile;
    const auto needDisk = engine.OnNeedDisk;
    engine.OnRestoreFile = [&](TBackupFile* b, QString& target, qint32 date, bool& doRestore) {
        settle(true);
        attempted = true;
        if (onRestoreFile) onRestoreFile(b, target, date, doRestore);
        if (doRestore) current = target;
        doneBefore = engine.FilesDone;
    };
    const VolumeAsk volumes(archive, follow);
    engine.OnNeedDisk = volumes.handler();
    try {
        out.ok = engine.Restore(archive, dest);
        out.started = true;
        if (!out.ok) out.error = volumes.failureOf(engine);
        out.reported = bool(engine.LastError());
    } catch (const BackupException& e) {
        out.started = attempted;
        out.error = unreadableArchive(e, archive);
    }
    settle(out.ok);
    engine.OnRestoreFile = onRestoreFile;
    engine.OnNeedDisk = needDisk;
    out.files = qint32(out.restored.size());
    if (!out.started) return out;

    out.written = true;
    const QString detalhe = QString("arquivo %1 em %2: %3 arquivo(s) restaurado(s)%4")
                                .arg(archive, dest)
                                .arg(out.files)
                                .arg(out.ok ? QString() : QString(", com falhas"));
    try {
        if (log)
            log("Restauração", detalhe);
        else
            retorno::registrarRestauracao(db::Session::instance().connectionFor("Tolmare"),
                                          detalhe, retDebito);
    } catch (const db::EngineError& e) {
        out.logProblem = e.message();
    } catch (const std::exception& e) {
        out.logProblem = QString::fromStdString(e.what());
    }
    return out;
}

}  // namespace backup

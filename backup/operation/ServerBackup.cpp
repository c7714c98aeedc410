#include "backup/operation/ServerBackup.h"

#include "backup/operation/ServerFolder.h"
#include "core/MakeDBx.h"
#include "core/TableDefs.h"
#include "core/UVariaveis.h"
#include "core/engine/Database.h"
#include "core/engine/EngineError.h"
#include "core/pgstore/ServerLog.h"
#include "core/pgstore/ServerSchema.h"
#include "core/pgstore/ServerTransfer.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <memory>

namespace backup {

namespace {

using Kind = RunError::Kind;

QString text(const std::exception& e)
{
    return QString::fromStdString(e.what());
}

// A failure on the server or in the temporary files, as the operation's error.
RunError serverError(const std::exception& e, Kind kind, const QString& file,
                     const QString& outcome)
{
    const auto* pgError = dynamic_cast<const pg::PgError*>(&e);
    const auto* fileError = dynamic_cast<const db::EngineError*>(&e);
    if ((pgError && pgError->kind() == pg::ErrorKind::Busy)
        || (fileError && fileError->fault() == db::EngineFault::Busy))
        kind = Kind::Busy;
    // A connection lost mid-work says itself whether the work was saved.
    const bool said = pgError && pgError->kind() == pg::ErrorKind::ConnectionLost;
    return {kind, 0, file, said ? text(e) : text(e) + " " + outcome};
}

// The table files among `folder`'s files, by their defined names.
QStringList tableFilesIn(const QString& folder)
{
    QStringList names;
    for (const QString& f : QDir(folder).entryList(QDir::Files | QDir::Hidden))
        if (const store::TableSpec* t = tables::find(f.toStdString()))
            if (!names.contains(QString::fromStdString(t->fileName)))
                names << QString::fromStdString(t->fileName);
    return names;
}

}  // namespace

QStringList rowsText(const std::vector<pg::TableRows>& rows)
{
    QStringList parts;
    for (const pg::TableRows& r : rows)
        parts << QString("%1 (%2 registro(s))").arg(QString::fromStdString(r.fileName)).arg(r.rows);
    return parts;
}

void logOnServer(pg::Connection& c, const QString& operacao, const QString& detalhe)
{
    pg::appendLog(c, QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toStdString(),
                  UsuarioAtual, operacao.toStdString(), detalhe.toStdString());
}

QString schemaChangeText(const pg::SchemaOutcome& o)
{
    const QString t = QString::fromStdString(o.table);
    switch (o.action) {
    case pg::SchemaAction::Created: return t + " criada";
    case pg::SchemaAction::Modified:
        return QString("%1 reestruturada: %2 registro(s) mantido(s)").arg(t).arg(o.copied)
               + (o.lost ? QString(", %1 perdido(s) (chave repetida)").arg(o.lost) : QString());
    case pg::SchemaAction::Unchanged: break;
    }
    return {};
}

std::vector<pg::SchemaOutcome> checkServerSchema(pg::Connection& c)
{
    return pg::checkSchema(c, tables::all(), store::mainTables(),
                           [&](const std::vector<pg::SchemaOutcome>& done) {
        for (const pg::SchemaOutcome& o : done)
            if (const QString t = schemaChangeText(o); !t.isEmpty())
                logOnServer(c, "Tabelas", t + " (servidor de dados)");
    });
}

QStringList snapshotInto(pg::Connection& c, const QString& folder)
{
    checkServerSchema(c);
    QStringList files;
    for (const pg::TableRows& t : pg::exportSnapshot(c, tables::all(), folder.toStdString()))
        files << QDir(folder).filePath(QString::fromStdString(t.fileName));
    return files;
}

Outcome runServerBackup(TBackupFile& engine, const QString& uri, const QString& archive,
                        bool readBack, const Follow& follow)
{
    Outcome out;
    const ServerFolder dir;
    if (dir.path().isEmpty()) {
        out.error = {Kind::WriteFailed, 0, QDir::tempPath(), dir.error()};
        return out;
    }
    std::unique_ptr<pg::Connection> c;
    QStringList files;
    try {
        c = std::make_unique<pg::Connection>(uri.toStdString());
        files = snapshotInto(*c, dir.path());
    } catch (const std::exception& e) {
        out.error = serverError(e, Kind::SourceUnreadable, uri, "Nenhum backup foi gravado.");
        return out;
    }
    // The snapshot's table files are recorded by their names, as a folder's would be restored.
    engine.StoreNamesFrom = dir.path();
    return runBackup(engine, files, archive, readBack, follow,
                     [&](const QString& operacao, const QString& detalhe) {
                         logOnServer(*c, operacao, detalhe + " (servidor de dados)");
                     });
}

ServerRestoreOutcome runServerRestore(TBackupFile& engine, const QString& archive,
                                      const QString& uri, const Follow& follow)
{
    ServerRestoreOutcome out;
    const ServerFolder dir;
    if (dir.path().isEmpty()) {
        out.error = {Kind::WriteFailed, 0, QDir::tempPath(), dir.error()};
        return out;
    }
    const QString unchanged = "Nenhuma tabela do servidor foi alterada.";
    std::unique_ptr<pg::Connection> c;
    try {
        c = std::make_unique<pg::Connection>(uri.toStdString());
    } catch (const std::exception& e) {
        out.error = serverError(e, Kind::WriteFailed, uri, unchanged);
        return out;
    }
    // The archive's files, flat in the temporary folder.
    engine.RestoreMode = TBackupFile::rmAll;
    engine.RestoreFullPath = false;
    // Logged on the server with the load, not here.
    static_cast<RestoreOutcome&>(out) = runRestore(engine, archive, dir.path(), follow,
                                                   [](const QString&, const QString&) {});
    out.written = false;
    if (!out.ok) return out;
    out.ok = false;
    const QString folder = dir.path();
    const QStringList names = tableFilesIn(folder);
    if (names.isEmpty()) {
        out.error = {
            Kind::NothingToDo, 0, archive,
            QString("O backup %1 não tem nenhuma tabela do Tolmare. %2").arg(archive, unchanged)};
        return out;
    }
    const QString retDebito = QDir(folder).filePath("RET_DEBITO.DB");
    const QDateTime copia = QFileInfo(retDebito).lastModified();
    // Tables of an older structure or format come to the definition as in a data folder.
    const QStringList problems = makedbx::checkDataFolder(folder);
    db::Session::instance().closeAll();
    const makedbx::Outcome checked = makedbx::lastOutcome();
    if (checked.replaced || checked.unreadable) {
        out.error = {Kind::ArchiveDamaged, 0, archive, problems.join("\n") + "\n" + unchanged};
        return out;
    }
    std::vector<store::TableSpec> load;
    for (const QString& n : names) load.push_back(*tables::find(n.toStdString()));
    try {
        pg::LoadSteps steps;
        steps.alsoCommit = [&](const std::vector<pg::TableRows>& loaded) {
            QString linha = QString("arquivo %1 no servidor de dados: %2")
                                .arg(archive, rowsText(loaded).join(", "));
            if (names.contains("RET_DEBITO.DB")) {
                const long long n = pg::undoImportsAfter(
                    *c, copia.addSecs(2).toUTC().toString(Qt::ISODateWithMs).toStdString(),
                    copia.date().toString(Qt::ISODate).toStdString(),
                    ("restauração de " + linha).toStdString());
                linha +=
                    "; RET_DEBITO.DB voltou à cópia de " + copia.toString("dd/MM/yyyy hh:mm:ss");
                if (n > 0)
                    linha += QString(
                                 ": %1 importação(ões) de retorno posterior(es) deixa(m) de "
                                 "contar como importada(s)")
                                 .arg(n);
            }
            logOnServer(*c, "Restauração", linha);
        };
        out.loaded = rowsText(pg::loadTables(*c, folder.toStdString(), load, tables::all(),
                                             store::mainTables(), steps));
    } catch (const std::exception& e) {
        out.error = serverError(e, Kind::WriteFailed, archive, unchanged);
        return out;
    }
    out.ok = out.written = true;
    return out;
}

}  // namespace backup

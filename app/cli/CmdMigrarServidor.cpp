// tolmare-cli migrar-servidor: the data folder's five tables onto a server store, in one
// transaction (how an association moves from one computer to the server).
#include "app/cli/Cli.h"
#include "backup/operation/ServerBackup.h"
#include "core/TableDefs.h"
#include "core/engine/Database.h"
#include "core/engine/EngineConfig.h"
#include "core/engine/EngineError.h"
#include "core/store/TableReadLock.h"

#include <QDir>

namespace {

struct ServerHoldsRows {};

QString rowsText(std::vector<pg::TableRows> rows, bool holdingOnly)
{
    if (holdingOnly) std::erase_if(rows, [](const pg::TableRows& r) { return r.rows == 0; });
    return backup::rowsText(rows).join(", ");
}

// 0: every table on the server; 2: nothing changed there; 1: the connection was lost (the message
// says whether the load was saved).
int migrarServidorCommand(cli::Context& ctx)
{
    const bool substituir = ctx.flag("substituir");
    if (!ctx.server.isEmpty()) {
        ctx.err << "migrar-servidor leva as tabelas da pasta de dados para o servidor: dê em "
                   "--dados a pasta (ou nenhuma, para a pasta padrão) e o endereço do servidor "
                   "depois do comando.\n";
        return 2;
    }
    if (ctx.args.size() != 1 || !db::EngineConfig::isServerAddress(ctx.args[0])) {
        ctx.err << "Uso: tolmare-cli [--dados PASTA] migrar-servidor postgresql://... "
                   "[--substituir]\n";
        return 2;
    }
    const QString uri = ctx.args[0];
    if (!cli::checkTables(ctx)) return 2;
    const QString folder = db::EngineConfig::aliasFolder("Tolmare");
    const QString shown = QDir::toNativeSeparators(folder);
    db::Session::instance().closeAll();
    // The five tables as one committed state of the folder, whoever writes there meanwhile.
    QStringList paths;
    for (const store::TableSpec& t : tables::all())
        paths << QDir(folder).filePath(QString::fromStdString(t.fileName));
    QString locked;
    std::shared_ptr<void> lock = store::readLockTables(paths, locked);
    if (!lock) {
        ctx.err << "A tabela " << locked << " está sendo gravada por outro programa: tente de "
                << "novo daqui a pouco. Nada foi copiado para o servidor.\n";
        return 2;
    }
    std::vector<pg::TableRows> before, loaded;
    try {
        pg::Connection c(uri.toStdString());
        pg::LoadSteps steps;
        steps.check = [&](const std::vector<pg::TableRows>& rows) {
            before = rows;
            if (!substituir && !rowsText(rows, true).isEmpty()) throw ServerHoldsRows{};
        };
        steps.alsoCommit = [&](const std::vector<pg::TableRows>& rows) {
            backup::logOnServer(
                c, "Migração",
                "Tabelas da pasta " + shown + " carregadas: " + rowsText(rows, false)
                    + (substituir ? "; as anteriores do servidor substituídas" : QString()));
        };
        loaded = pg::loadTables(c, folder.toStdString(), tables::all(), tables::all(),
                                store::mainTables(), steps);
    } catch (const ServerHoldsRows&) {
        ctx.err << "O servidor de dados já tem registros: " << rowsText(before, true)
                << ".\nNada foi copiado. Para trocá-los pelas tabelas da pasta " << shown
                << ", repita o comando com --substituir.\n";
        return 2;
    } catch (const pg::PgError& e) {
        // A connection lost says itself whether the work was saved.
        const bool lost = e.kind() == pg::ErrorKind::ConnectionLost;
        ctx.err << e.what() << (lost ? "" : "\nNada foi copiado para o servidor.") << "\n";
        return lost ? 1 : 2;
    } catch (const db::EngineError& e) {
        // A table file of the folder that cannot be read (busy, damaged) or holds a value the
        // server would not take.
        ctx.err << e.message() << "\nNada foi copiado para o servidor.\n";
        return 2;
    }
    lock.reset();
    ctx.out << "Tabelas carregadas no servidor de dados: " << rowsText(loaded, false) << "\n";
    cli::logOperation(ctx, "Migração", "Tabelas copiadas para o servidor de dados " + uri);
    return 0;
}

const cli::Registrar reg(
    {"migrar-servidor", "migrar-servidor postgresql://... [--substituir]",
     "Carrega as cinco tabelas da pasta de dados no servidor de dados do\n"
     "endereço (a senha fica no arquivo de senhas do PostgreSQL), todas numa\n"
     "só transação: ou todas passam, ou o servidor fica como estava. Recusa\n"
     "um servidor cujas tabelas já têm registros, a não ser com --substituir.\n"
     "Sai com 0 quando tudo foi carregado, 2 quando nada mudou no servidor, 1 quando a\n"
     "conexão caiu (a mensagem diz se a carga foi gravada).",
     migrarServidorCommand, false, true});

}  // namespace

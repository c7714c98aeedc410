#include "app/cli/Cli.h"

#include "backup/operation/ServerBackup.h"
#include "backup/operation/ServerFolder.h"
#include "core/DataFolder.h"
#include "core/Historico.h"
#include "core/MakeDBx.h"
#include "core/engine/EngineConfig.h"
#include "core/engine/Database.h"
#include "core/engine/EngineError.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>

namespace cli {

std::optional<QString> Context::option(const QString& name)
{
    const int i = args.indexOf("--" + name);
    if (i < 0 || i + 1 >= args.size()) return std::nullopt;
    QString value = args.at(i + 1);
    args.remove(i, 2);
    return value;
}

bool Context::flag(const QString& name)
{
    return args.removeOne("--" + name);
}

static QList<Command>& registry()
{
    static QList<Command> list;
    return list;
}

void registerCommand(Command c) { registry().append(std::move(c)); }
const QList<Command>& commands() { return registry(); }

// A folder named by --dados must already hold the tables, unless --criar-pasta says a new one
// is meant: a mistyped path never quietly becomes an empty data folder. Any other folder
// (configured, or the default) is created after saying which one.
static bool prepareFolder(Context& ctx)
{
    const QString folder = db::EngineConfig::aliasFolder("Tolmare");
    const QString shown = QDir::toNativeSeparators(folder);
    const bool exists = QFileInfo(folder).isDir();
    if (ctx.folderGiven && !ctx.createFolder && (!exists || !datafolder::holdsTables(folder))) {
        ctx.err << (exists ? "A pasta " + shown + " não tem as tabelas do Tolmare."
                           : "A pasta de dados " + shown + " não existe.")
                << "\nConfira o caminho dado em --dados; para começar ali uma pasta de dados "
                   "nova, repita o comando com --criar-pasta.\n";
        return false;
    }
    if (!exists) {
        ctx.err << "Criando a pasta de dados " << shown << "\n";
        const QString error = datafolder::create(folder);
        if (!error.isEmpty()) {
            ctx.err << error << "\n";
            return false;
        }
    } else if (!datafolder::holdsTables(folder)) {
        ctx.err << "Criando as tabelas na pasta de dados " << shown << "\n";
    }
    ctx.err.flush();
    return true;
}

bool checkTables(Context& ctx)
{
    if (!prepareFolder(ctx)) return false;
    try {
        db::Database data;
        data.setAliasName("Tolmare");
        data.setDatabaseName("DB_Tolmade_Ver");
        data.connect();
        const QStringList messages = makedbx::checkDataFolder(data.directory());
        data.disconnect();
        const makedbx::Outcome o = makedbx::lastOutcome();
        // A conversion is the ordinary path: said on the output, the command goes on.
        for (int i = 0; i < messages.size(); ++i) {
            const bool converted = i >= o.replaced && i < o.replaced + o.converted;
            (converted ? ctx.out : ctx.err) << messages.at(i) << "\n";
        }
        ctx.out.flush();
        return o.replaced == 0 && o.unreadable == 0;
    } catch (const db::EngineError& e) {
        ctx.err << e.message() << "\n";
        return false;
    }
}

int runOnServerSnapshot(const Command& c, Context& ctx)
{
    const backup::ServerFolder dir;
    if (dir.path().isEmpty()) {
        ctx.err << dir.error() << "\n";
        return 1;
    }
    try {
        pg::Connection server(ctx.server.toStdString());
        backup::snapshotInto(server, dir.path());
    } catch (const std::exception& e) {
        ctx.err << e.what() << "\nNada foi lido do servidor de dados.\n";
        return 1;
    }
    const QString previous = db::EngineConfig::aliasFolder("Tolmare");
    db::EngineConfig::overrideAlias("Tolmare", dir.path());
    Context onFolder{ctx.args, ctx.out, ctx.err, true, false, QString()};
    const int code = c.run(onFolder);
    // Nothing may hold the snapshot's files when the folder goes.
    db::Session::instance().closeAll();
    db::EngineConfig::overrideAlias("Tolmare", previous);
    return code;
}

std::optional<QDate> parseDate(const QString& text)
{
    const QDate d = QDate::fromString(text, "dd/MM/yyyy");
    if (!d.isValid()) return std::nullopt;
    return d;
}

void logOperation(Context& ctx, const QString& operacao, const QString& detalhe)
{
    try {
        historico::registrar(operacao, detalhe);
    } catch (const db::EngineError& e) {
        ctx.err << "Aviso: a operação não pôde ser registrada no histórico: " << e.message()
                << "\n";
    }
}

}  // namespace cli

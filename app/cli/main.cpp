// tolmare-cli [--dados PASTA [--criar-pasta] | --dados postgresql://...] COMMAND [ARGS]: runs one
// command of the program without windows.
#include "app/cli/Cli.h"
#include "app/doc/Usage.h"
#include "core/DataFolder.h"
#include "core/UVariaveis.h"
#include "core/engine/EngineConfig.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

void printHelp(QTextStream& out)
{
    out << usage::helpHead(usage::cli()) << "\nComandos:\n";
    QList<cli::Command> list = cli::commands();
    std::sort(list.begin(), list.end(),
              [](const cli::Command& a, const cli::Command& b) { return a.name < b.name; });
    for (const cli::Command& c : list) {
        out << "  " << c.usage << "\n";
        for (const QString& line : c.help.split('\n')) out << "      " << line << "\n";
    }
}

const cli::Command* commandNamed(const QString& name)
{
    for (const cli::Command& c : cli::commands())
        if (c.name == name) return &c;
    return nullptr;
}

// The application object the command needs: a plain one, or one that can draw pages.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    const int dados = args.indexOf("--dados");
    if (dados >= 0) args.remove(dados, std::min(2, int(args.size()) - dados));
    const cli::Command* c = args.isEmpty() ? nullptr : commandNamed(args.first());
    if (c && c->needsGui) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        return std::make_unique<QGuiApplication>(argc, argv);
    }
    return std::make_unique<QCoreApplication>(argc, argv);
}

}  // namespace

int main(int argc, char** argv)
{
    datafolder::privateFiles();
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv);
    QCoreApplication::setApplicationName("Tolmare");
    UsuarioAtual = 1;  // no log-in: every row the program writes is by user 1
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = app->arguments().mid(1);

    const bool createFolder = args.removeAll("--criar-pasta") > 0;
    const int dados = args.indexOf("--dados");
    QString server;
    if (dados >= 0) {
        if (dados + 1 >= args.size()) {
            err << "--dados precisa de uma pasta\n";
            return 2;
        }
        // A server's address is never taken for a folder.
        if (db::EngineConfig::isServerAddress(args.at(dados + 1)))
            server = args.at(dados + 1);
        else
            db::EngineConfig::overrideAlias("Tolmare", args.at(dados + 1));
        args.remove(dados, 2);
    }
    if (args.size() == 1 && args.first() == "--version") {
        out << "tolmare-cli " << usage::version() << "\n";
        return 0;
    }
    if (args.isEmpty() || args.first() == "--help" || args.first() == "-h") {
        printHelp(out);
        return args.isEmpty() ? 2 : 0;
    }
    const QString name = args.takeFirst();
    if (const cli::Command* c = commandNamed(name)) {
        cli::Context ctx{args, out, err, dados >= 0, createFolder, server};
        if (ctx.flag("help")) {
            out << "Uso: tolmare-cli " << c->usage << "\n" << c->help << "\n";
            return 0;
        }
        if (dados < 0
            && db::EngineConfig::isServerAddress(db::EngineConfig::aliasFolder("Tolmare"))) {
            err << "O apelido Tolmare do arquivo de configuração aponta para um servidor de "
                   "dados, que o tolmare-cli ainda não lê de lá: dê o endereço em --dados "
                   "postgresql://...\n";
            return 2;
        }
        if (!server.isEmpty() && c->fromSnapshot) return cli::runOnServerSnapshot(*c, ctx);
        if (!server.isEmpty() && !c->onServer) {
            QStringList onServer;
            for (const cli::Command& other : cli::commands())
                if (other.onServer || other.fromSnapshot) onServer << other.name;
            onServer.sort();
            err << "O comando " << name << " ainda não funciona com os dados num servidor "
                << "(--dados " << server << "); com o servidor funcionam "
                << onServer.join(", ") << ".\n";
            return 2;
        }
        return c->run(ctx);
    }
    err << "Comando desconhecido: " << name << "\n";
    printHelp(err);
    return 2;
}

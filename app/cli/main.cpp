// tolmare-cli [--dados PASTA] COMMAND [ARGS]: runs one command of the program without windows.
#include "app/cli/Cli.h"
#include "core/UVariaveis.h"
#include "core/engine/EngineConfig.h"

#include <QCoreApplication>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

namespace {

void printHelp(QTextStream& out)
{
    out << "Uso: tolmare-cli [--dados PASTA] COMANDO [ARGUMENTOS]\n\n"
        << "  --dados PASTA   usa PASTA como pasta de dados (alias \"Tolmare\") nesta execução\n"
        << "  --help          mostra esta ajuda\n\nComandos:\n";
    QList<cli::Command> list = cli::commands();
    std::sort(list.begin(), list.end(),
              [](const cli::Command& a, const cli::Command& b) { return a.name < b.name; });
    for (const cli::Command& c : list) {
        out << "  " << c.usage << "\n";
        for (const QString& line : c.help.split('\n')) out << "      " << line << "\n";
    }
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("Tolmare");
    UsuarioAtual = 1;  // no log-in: every row the program writes is by user 1
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = app.arguments().mid(1);

    const int dados = args.indexOf("--dados");
    if (dados >= 0) {
        if (dados + 1 >= args.size()) {
            err << "--dados precisa de uma pasta\n";
            return 2;
        }
        db::EngineConfig::overrideAlias("Tolmare", args.at(dados + 1));
        args.remove(dados, 2);
    }
    if (args.isEmpty() || args.first() == "--help" || args.first() == "-h") {
        printHelp(out);
        return args.isEmpty() ? 2 : 0;
    }
    const QString name = args.takeFirst();
    for (const cli::Command& c : cli::commands()) {
        if (c.name != name) continue;
        cli::Context ctx{args, out, err};
        if (ctx.flag("help")) {
            out << "Uso: tolmare-cli " << c.usage << "\n" << c.help << "\n";
            return 0;
        }
        return c.run(ctx);
    }
    err << "Comando desconhecido: " << name << "\n";
    printHelp(err);
    return 2;
}

// tolmare-cli relatorio: the printed reports written to PDF. Each report is a file of its own
// (CmdRelatorioDebitos.cpp, ...) that registers itself here under its name.
#pragma once

#include "app/cli/Cli.h"

namespace cli {

struct Relatorio {
    QString name;   // "debitos"
    QString usage;  // its arguments after "relatorio NAME"
    QString help;
    std::function<int(Context&)> run;  // args hold what follows the report's name
};

void registerRelatorio(Relatorio r);

struct RelatorioRegistrar {
    explicit RelatorioRegistrar(Relatorio r) { registerRelatorio(std::move(r)); }
};

}  // namespace cli

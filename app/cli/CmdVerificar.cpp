// tolmare-cli verificar: the schema check alone.
#include "app/cli/Cli.h"

namespace {

int verificarCommand(cli::Context& ctx)
{
    if (!cli::checkTables(ctx)) return 1;
    ctx.out << "Tabelas verificadas.\n";
    return 0;
}

const cli::Registrar reg({"verificar", "verificar",
                          "Verifica as tabelas da pasta de dados, criando as que faltam e\n"
                          "ajustando as que diferem da definição.",
                          verificarCommand});

}  // namespace

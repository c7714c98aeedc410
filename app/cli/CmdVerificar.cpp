// tolmare-cli verificar: the schema check alone.
#include "app/cli/Cli.h"
#include "core/MakeDBx.h"

namespace {

// 0: every table in order (and every row of a converted table taken); 1: a table replaced or
// a converted row refused; 2: a table of the older format that could not be read at all.
int verificarCommand(cli::Context& ctx)
{
    const bool ok = cli::checkTables(ctx);
    const makedbx::Outcome o = makedbx::lastOutcome();
    if (o.unreadable) return 2;
    if (!ok) return 1;
    ctx.out << "Tabelas verificadas.\n";
    return o.refused ? 1 : 0;
}

const cli::Registrar reg({"verificar", "verificar",
                          "Verifica as tabelas da pasta de dados, criando as que faltam,\n"
                          "ajustando as que diferem da definição e convertendo as que estão no\n"
                          "formato antigo (Paradox). Sai com 0 quando tudo foi feito, 1 quando\n"
                          "houve registros recusados ou tabela substituída, 2 quando uma tabela\n"
                          "do formato antigo não pôde ser lida.",
                          verificarCommand});

}  // namespace

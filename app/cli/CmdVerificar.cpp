// tolmare-cli verificar: the schema check alone, of the data folder or of the server store.
#include "app/cli/Cli.h"
#include "backup/operation/ServerBackup.h"
#include "core/MakeDBx.h"

namespace {

// The server's tables created or restructured in one transaction, the log lines with them.
int verificarServidor(cli::Context& ctx)
{
    std::vector<pg::SchemaOutcome> outcomes;
    try {
        pg::Connection c(ctx.server.toStdString());
        outcomes = backup::checkServerSchema(c);
    } catch (const pg::PgError& e) {
        ctx.err << e.what() << "\nNenhuma tabela do servidor foi alterada.\n";
        return 1;
    }
    bool lost = false;
    for (const pg::SchemaOutcome& o : outcomes) {
        if (const QString t = backup::schemaChangeText(o); !t.isEmpty())
            ctx.out << "Tabela " << t << ".\n";
        lost = lost || o.lost > 0;
    }
    ctx.out << "Tabelas do servidor verificadas.\n";
    return lost ? 1 : 0;
}

// 0: every table in order (and every row of a converted table taken); 1: a table replaced or
// a converted row refused; 2: a table of the older format that could not be read at all.
int verificarCommand(cli::Context& ctx)
{
    if (!ctx.server.isEmpty()) return verificarServidor(ctx);
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
                          "do formato antigo não pôde ser lida. Com --dados postgresql://...,\n"
                          "cria e ajusta as tabelas do servidor de dados (1: registros perdidos\n"
                          "ao ajustar, ou o servidor falhou e nada mudou).",
                          verificarCommand, false, true});

}  // namespace

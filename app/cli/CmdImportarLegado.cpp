// tolmare-cli importar-legado: takes over the retirees' and pensioners' groups and their
// members from the legacy dBase tables.
#include "app/cli/Cli.h"
#include "core/UVariaveis.h"
#include "core/engine/EngineError.h"
#include "legacy_import/ImportarLegado.h"

namespace {

int importarLegadoCommand(cli::Context& ctx)
{
    const auto imp = ctx.option("imp");
    if (!ctx.args.isEmpty()) {
        ctx.err << "Uso: tolmare-cli importar-legado [--imp PASTA]\n";
        return 2;
    }
    if (!cli::checkTables(ctx)) return 1;
    if (UsuarioAtual == 0) UsuarioAtual = 1;  // as the windows' creation step does
    try {
        legado::TImportacao importacao(imp.value_or(QString()));
        const legado::Resultado r = importacao.executar();
        ctx.out << "Grupos importados: " << r.gruposImportados
                << "; não importados: " << r.gruposIgnorados << "\n"
                << "Associados importados: " << r.associadosImportados
                << "; não importados: " << r.associadosIgnorados << "\n";
        if (!r.erro.isEmpty()) {
            ctx.err << r.erro << "\n";
            return 1;
        }
        ctx.out << "Processo Concluido\n";
        return 0;
    } catch (const db::EngineError& e) {
        ctx.err << e.message() << "\n";
        return 1;
    }
}

const cli::Registrar reg({"importar-legado", "importar-legado [--imp PASTA]",
                          "Importa os grupos de aposentados e pensionistas e os seus associados\n"
                          "das tabelas Recgrp.dbf e Reccli.dbf da pasta do alias \"Imp\" (ou de\n"
                          "PASTA); grupos e associados já importados não se repetem.",
                          importarLegadoCommand});

}  // namespace

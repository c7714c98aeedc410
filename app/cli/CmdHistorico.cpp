// tolmare-cli historico: the operation log of the data folder.
#include "app/cli/Cli.h"
#include "core/Historico.h"
#include "core/engine/Database.h"
#include "core/engine/EngineError.h"

namespace {

const char* const kUsage = "historico [--desde DD/MM/AAAA]";

int historicoCommand(cli::Context& ctx)
{
    const auto desde = ctx.option("desde");
    if (!ctx.args.isEmpty()) {
        ctx.err << "Uso: tolmare-cli " << kUsage << "\n";
        return 2;
    }
    std::optional<QDate> from;
    if (desde) {
        from = cli::parseDate(*desde);
        if (!from) {
            ctx.err << "Data inválida: " << *desde << ". Informe-a como DD/MM/AAAA.\n";
            return 2;
        }
    }
    try {
        db::Connection& c = db::Session::instance().connectionFor("Tolmare");
        const QList<historico::Linha> linhas = historico::ler(c, from.value_or(QDate()));
        for (const historico::Linha& l : linhas) ctx.out << historico::formatar(l) << "\n";
        if (linhas.isEmpty()) ctx.out << "Nenhuma operação registrada.\n";
        return 0;
    } catch (const db::EngineError& e) {
        ctx.err << e.message() << "\n";
        return 1;
    }
}

const cli::Registrar reg({"historico", kUsage,
                          "Mostra o histórico de operações da pasta de dados: remessas,\n"
                          "importações de retorno, backups, restaurações e mudanças de tabelas\n"
                          "feitas ao iniciar, uma por linha, com data, hora e usuário.",
                          historicoCommand});

}  // namespace

// tolmare-cli inadimplentes: the members with months returned since their last received one.
#include "app/cli/Saida.h"
#include "collection/Inadimplentes.h"
#include "collection/Listas.h"
#include "collection/RelLista.h"
#include "components/report/ReportItems.h"
#include "core/engine/EngineError.h"

namespace {

const char* const kUsage =
    "inadimplentes [--minimo N] [--grupo ID] [--ordem valor|meses|nome] "
    "(--csv CAMINHO | --xlsx CAMINHO | --pdf CAMINHO)";

int inadimplentesCommand(cli::Context& ctx)
{
    const auto minimoText = ctx.option("minimo");
    const auto grupoText = ctx.option("grupo");
    const QString ordemText = ctx.option("ordem").value_or("valor");
    const auto saida = cli::lerSaida(ctx);
    if (!saida || !ctx.args.isEmpty()) {
        ctx.err << "Uso: tolmare-cli " << kUsage << "\n";
        return 2;
    }
    bool ok = true;
    const int minimo = minimoText ? minimoText->toInt(&ok) : 1;
    if (!ok || minimo < 1) {
        ctx.err << "Mínimo inválido: \"" << *minimoText << "\". Informe um número de meses, 1 "
                << "ou mais.\n";
        return 2;
    }
    std::optional<double> grupo;
    if (grupoText) {
        grupo = grupoText->toLongLong(&ok);
        if (!ok) {
            ctx.err << "Grupo inválido: \"" << *grupoText << "\". Informe o número do grupo "
                    << "(GRP_ID).\n";
            return 2;
        }
    }
    using O = cobranca::OrdemInadimplentes;
    const std::optional<O> ordem = ordemText == "valor"   ? std::optional(O::Valor)
                                   : ordemText == "meses" ? std::optional(O::Meses)
                                   : ordemText == "nome"  ? std::optional(O::Nome)
                                                          : std::nullopt;
    if (!ordem) {
        ctx.err << "Ordem inválida: \"" << ordemText << "\". Use valor, meses ou nome.\n";
        return 2;
    }
    if (!cli::checkTables(ctx)) return 1;
    try {
        const cobranca::Inadimplencia lista = cobranca::inadimplentes(minimo, grupo, *ordem);
        ctx.out << "Inadimplentes: " << lista.linhas.size() << "\n"
                << "Valor total: " << report::money(lista.total) << "\n";
        return cli::gravarLista(
            ctx, *saida, [&] { return cobranca::planilhaInadimplentes(lista); },
            [&](const QString& path) {
                return cobranca::relInadimplentes(lista, minimo,
                                                  grupo ? QString::number(*grupo, 'f', 0)
                                                        : QString())->gravarPdf(path);
            });
    } catch (const db::EngineError& e) {
        ctx.err << e.message() << "\n";
        return 1;
    }
}

const cli::Registrar reg({"inadimplentes", kUsage,
                          "Os associados com meses devolvidos desde o último mês recebido:\n"
                          "quantos meses, a soma dos valores e o último motivo. --minimo: só\n"
                          "quem tem pelo menos N meses (padrão 1); --grupo: só esse grupo;\n"
                          "--ordem: por valor (padrão), por meses ou por nome.",
                          inadimplentesCommand, true, false, true});

}  // namespace

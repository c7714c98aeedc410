// tolmare-cli relatorio debitos: the debit report of the list, in one of its orders and
// optionally for one group, written to PDF; prints the number of debits and their total.
#include "app/cli/CmdRelatorio.h"
#include "app/cli/Saida.h"
#include "collection/Listas.h"
#include "core/dm/UDMDebito.h"
#include "core/engine/EngineError.h"
#include "debits/ListaDebitos.h"
#include "debits/RelDebito.h"

namespace {

const char* const kUsage = "(--pdf | --csv | --xlsx) CAMINHO [--ordem 0-4] [--grupo ID]";

int debitosReport(cli::Context& ctx)
{
    const auto saida = cli::lerSaida(ctx);
    const auto ordem = ctx.option("ordem");
    const auto grupo = ctx.option("grupo");
    if (!saida || !ctx.args.isEmpty()) {
        ctx.err << "Uso: tolmare-cli relatorio debitos " << kUsage << "\n";
        return 2;
    }
    bool ok = true;
    const int order = ordem ? ordem->toInt(&ok) : 0;
    if (!ok || order < 0 || order >= debitos::kOrdens) {
        ctx.err << "Ordem inválida: \"" << *ordem << "\". Use 0 (alfabética), 1 (conta corrente), "
                << "2 (grupo), 3 (identificador) ou 4 (matrícula).\n";
        return 2;
    }
    std::optional<qint64> group;
    if (grupo) {
        group = grupo->toLongLong(&ok);
        if (!ok) {
            ctx.err << "Grupo inválido: \"" << *grupo << "\". Informe o número do grupo (GRP_ID).\n";
            return 2;
        }
    }
    if (!cli::checkTables(ctx)) return 1;
    try {
        TDMDebito dm;
        if (group) {
            dm.TGrupos->open();
            if (!dm.TGrupos->findKey({*group})) {
                ctx.err << "Grupo " << *group << " não existe.\n";
                return 1;
            }
        }
        debitos::rebuildList(*dm.QDebito, debitos::Ordem(order), group);
        if (saida->tipo != cli::Saida::Tipo::Pdf)
            return cli::gravar(ctx, *saida, cobranca::planilhaDebitos(*dm.QDebito));
        TQRelDebito rel(*dm.QDebito);
        const report::PdfResult res = rel.gravarPdf(saida->caminho);
        if (!res.ok) {
            ctx.err << res.message << "\n";
            return 1;
        }
        ctx.out << "Débitos: " << rel.nrImpresso() << "\n"
                << "Valor total: " << rel.totalImpresso() << "\n"
                << "Páginas: " << res.layout.pages << "\n"
                << "PDF: " << saida->caminho << "\n";
        return 0;
    } catch (const db::EngineError& e) {
        ctx.err << e.message() << "\n";
        return 1;
    }
}

const cli::RelatorioRegistrar reg({"debitos", kUsage,
                                   "O relatório de débitos: as linhas da lista de débitos na "
                                   "ordem escolhida\n(0 alfabética, 1 conta corrente, 2 grupo, 3 "
                                   "identificador, 4 matrícula; padrão 0),\nsó do grupo --grupo "
                                   "quando dado; no fim, o número de débitos e o valor total.\n"
                                   "--csv ou --xlsx: a lista numa planilha em vez do PDF.",
                                   debitosReport});

}  // namespace

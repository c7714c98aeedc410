// tolmare-cli relatorio retornos: the return report of a month, all rows or those with or
// without a return, written to PDF; prints the number of rows and their total, and with
// --por-motivo the count and total per reason (also as a last page of the PDF).
#include "app/cli/CmdRelatorio.h"
#include "app/cli/Saida.h"
#include "collection/Listas.h"
#include "components/report/ReportItems.h"
#include "core/dm/UDMRet_Debito.h"
#include "core/engine/EngineError.h"
#include "core/engine/Table.h"
#include "remittance/FiltroRetorno.h"
#include "remittance/RelRetorno.h"

namespace {

const char* const kUsage =
    "--mes MM/AAAA --motivo todos|com|sem (--pdf | --csv | --xlsx) CAMINHO [--por-motivo]";

std::optional<retorno::Motivo> lerMotivo(const QString& s)
{
    if (s == "todos") return retorno::Motivo::Todos;
    if (s == "com") return retorno::Motivo::Com;
    if (s == "sem") return retorno::Motivo::Sem;
    return std::nullopt;
}

int retornosReport(cli::Context& ctx)
{
    const auto mes = ctx.option("mes");
    const auto motivoText = ctx.option("motivo");
    const auto saida = cli::lerSaida(ctx);
    const bool porMotivo = ctx.flag("por-motivo");
    if (!mes || !motivoText || !saida || !ctx.args.isEmpty()) {
        ctx.err << "Uso: tolmare-cli relatorio retornos " << kUsage << "\n";
        return 2;
    }
    const std::optional<retorno::Motivo> motivo = lerMotivo(*motivoText);
    if (!motivo) {
        ctx.err << "Motivo inválido: \"" << *motivoText << "\". Use todos (todos os retornos), "
                << "com (com data de retorno) ou sem (sem data de retorno).\n";
        return 2;
    }
    // The command asks for a whole month: the window's short forms are not taken here.
    QString erro;
    if (mes->size() != 7 || !retorno::primeiroDia(*mes, QDate::currentDate(), &erro)) {
        ctx.err << (erro.isEmpty() ? QString("Mês inválido: \"%1\". Informe o mês e o ano como "
                                             "MM/AAAA, por exemplo 05/2004.").arg(*mes)
                                   : erro)
                << "\n";
        return 2;
    }
    if (!cli::checkTables(ctx)) return 1;
    try {
        TDMRet_Debito dm;
        dm.TAssociados->open();
        dm.TRet_Debito->open();
        retorno::definirMes(*dm.TRet_Debito, *mes, QDate::currentDate());
        if (saida->tipo != cli::Saida::Tipo::Pdf) {
            const std::optional<bool> com = *motivo == retorno::Motivo::Todos
                                                ? std::nullopt
                                                : std::optional(*motivo == retorno::Motivo::Com);
            return cli::gravar(ctx, *saida, cobranca::planilhaRelRetorno(*dm.TRet_Debito, com));
        }
        TQRelRetorno rel(*dm.TRet_Debito, [m = *motivo] { return m; });
        const report::PdfResult res = rel.gravarPdf(saida->caminho, porMotivo);
        if (!res.ok) {
            ctx.err << res.message << "\n";
            return 1;
        }
        ctx.out << "Retornos: " << rel.nrImpresso() << "\n"
                << "Valor total: " << rel.totalImpresso() << "\n";
        if (porMotivo) {
            ctx.out << "Por motivo:\n";
            for (const retorno::TotalMotivo& t : rel.porMotivo())
                ctx.out << "  " << t.motivo << ": " << t.quantidade << " - "
                        << report::money(t.valor) << "\n";
        }
        ctx.out << "Páginas: " << res.layout.pages << "\n"
                << "PDF: " << saida->caminho << "\n";
        return 0;
    } catch (const db::EngineError& e) {
        ctx.err << e.message() << "\n";
        return 1;
    }
}

const cli::RelatorioRegistrar reg({"retornos", kUsage,
                                   "O relatório de retorno do mês: todos os débitos enviados "
                                   "(todos), só os que voltaram\nno arquivo de retorno (com) ou "
                                   "só os que não voltaram (sem); no fim, o número\n"
                                   "de retornos e o valor total. --por-motivo acrescenta uma "
                                   "página com a\nquantidade e o valor por motivo (em branco: "
                                   "\"Debitado\").\n--csv ou --xlsx: as linhas do relatório numa planilha "
                                   "em vez do PDF.",
                                   retornosReport});

}  // namespace

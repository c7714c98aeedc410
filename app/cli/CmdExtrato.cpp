// tolmare-cli extrato: every month of one member, newest first, with the totals.
#include "app/cli/Saida.h"
#include "collection/Extrato.h"
#include "collection/Listas.h"
#include "collection/RelLista.h"
#include "components/report/ReportItems.h"
#include "core/engine/EngineError.h"

namespace {

const char* const kUsage = "extrato ASS_ID (--csv CAMINHO | --xlsx CAMINHO | --pdf CAMINHO)";

int extratoCommand(cli::Context& ctx)
{
    const auto saida = cli::lerSaida(ctx);
    if (!saida || ctx.args.size() != 1) {
        ctx.err << "Uso: tolmare-cli " << kUsage << "\n";
        return 2;
    }
    bool ok = false;
    const qint64 assId = ctx.args.first().toLongLong(&ok);
    if (!ok) {
        ctx.err << "Associado inválido: \"" << ctx.args.first() << "\". Informe o número do "
                << "associado (ASS_ID).\n";
        return 2;
    }
    if (!cli::checkTables(ctx)) return 1;
    try {
        const cobranca::Extrato e = cobranca::extrato(double(assId));
        if (!e.existe && e.meses.isEmpty()) {
            ctx.err << "Associado " << assId << " não existe e não tem débitos enviados.\n";
            return 1;
        }
        ctx.out << "Associado: " << assId << (e.existe ? " - " + e.nome.trimmed() : QString())
                << "\n"
                << "Meses: " << e.meses.size() << "\n"
                << "Enviado: " << report::money(e.enviado) << "\n"
                << "Recebido: " << report::money(e.recebido) << "\n"
                << "Devolvido: " << report::money(e.devolvido) << "\n";
        return cli::gravarLista(
            ctx, *saida, [&] { return cobranca::planilhaExtrato(e); },
            [&](const QString& path) { return cobranca::relExtrato(e)->gravarPdf(path); });
    } catch (const db::EngineError& e) {
        ctx.err << e.message() << "\n";
        return 1;
    }
}

const cli::Registrar reg({"extrato", kUsage,
                          "O extrato do associado: cada mês enviado ou devolvido, do mais\n"
                          "recente ao mais antigo, com remessa, valor, situação (Aguardando,\n"
                          "Recebido, Devolvido), motivo e data do retorno; no fim, os totais\n"
                          "enviado, recebido e devolvido.",
                          extratoCommand, true, false, true});

}  // namespace

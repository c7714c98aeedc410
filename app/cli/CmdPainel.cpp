// tolmare-cli painel: the last months at a glance.
#include "app/cli/Saida.h"
#include "collection/Listas.h"
#include "collection/Painel.h"
#include "collection/RelPainel.h"
#include "core/engine/EngineError.h"

namespace {

const char* const kUsage = "painel [--meses N] [--ate MM/AAAA] "
                           "(--csv CAMINHO | --xlsx CAMINHO | --pdf CAMINHO)";

int painelCommand(cli::Context& ctx)
{
    const auto mesesText = ctx.option("meses");
    const auto ateText = ctx.option("ate");
    const auto saida = cli::lerSaida(ctx);
    if (!saida || !ctx.args.isEmpty()) {
        ctx.err << "Uso: tolmare-cli " << kUsage << "\n";
        return 2;
    }
    bool ok = true;
    const int meses = mesesText ? mesesText->toInt(&ok) : 12;
    if (!ok || meses < 1 || meses > 240) {
        ctx.err << "Número de meses inválido: \"" << *mesesText << "\". Informe de 1 a 240.\n";
        return 2;
    }
    QDate ate = QDate::currentDate();
    if (ateText) {
        ate = QDate::fromString("01/" + *ateText, "dd/MM/yyyy");
        if (ateText->size() != 7 || !ate.isValid()) {
            ctx.err << "Mês inválido: \"" << *ateText << "\". Informe o mês e o ano como "
                    << "MM/AAAA, por exemplo 05/2004.\n";
            return 2;
        }
    }
    if (!cli::checkTables(ctx)) return 1;
    try {
        const QVector<cobranca::MesPainel> painel = cobranca::painel(meses, ate);
        for (const cobranca::MesPainel& m : painel)
            ctx.out << cobranca::linhaPainel(m).join(";") << "\n";
        return cli::gravarLista(
            ctx, *saida, [&] { return cobranca::planilhaPainel(painel); },
            [&](const QString& path) { return cobranca::gravarPainelPdf(path, painel); });
    } catch (const db::EngineError& e) {
        ctx.err << e.message() << "\n";
        return 1;
    }
}

const cli::Registrar reg({"painel", kUsage,
                          "O painel de cobrança dos últimos N meses (padrão 12) até --ate\n"
                          "(padrão: o mês atual): enviados, recebidos, devolvidos e\n"
                          "aguardando (quantidade e valor), a taxa de cobrança (valor recebido\n"
                          "sobre o enviado) e os três motivos mais frequentes. O PDF traz o\n"
                          "gráfico dos valores e da taxa.",
                          painelCommand, true, false, true});

}  // namespace

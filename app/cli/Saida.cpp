#include "app/cli/Saida.h"

#include "core/engine/EngineError.h"

namespace cli {

std::optional<Saida> lerSaida(Context& ctx, bool pdf)
{
    std::optional<Saida> out;
    int given = 0;
    for (const auto& [name, tipo] : {std::pair{"csv", Saida::Tipo::Csv},
                                     std::pair{"xlsx", Saida::Tipo::Xlsx},
                                     std::pair{"pdf", Saida::Tipo::Pdf}}) {
        if (const auto path = ctx.option(name)) {
            ++given;
            out = Saida{tipo, *path};
        }
    }
    if (given != 1 || (!pdf && out->tipo == Saida::Tipo::Pdf)) return std::nullopt;
    return out;
}

int gravar(Context& ctx, const Saida& s, cobranca::Planilha p)
{
    const cobranca::ResultadoPlanilha r = s.tipo == Saida::Tipo::Xlsx
                                              ? cobranca::gravarXlsx(s.caminho, p)
                                              : cobranca::gravarCsv(s.caminho, p);
    if (!r.ok) {
        ctx.err << r.mensagem << "\n";
        return 1;
    }
    ctx.out << "Planilha: " << s.caminho << " (" << r.linhas << " linha(s))\n";
    return 0;
}

int gravarLista(Context& ctx, const Saida& s, const std::function<cobranca::Planilha()>& planilha,
                const std::function<report::PdfResult(const QString&)>& pdf)
{
    try {
        if (s.tipo != Saida::Tipo::Pdf) return gravar(ctx, s, planilha());
        const report::PdfResult res = pdf(s.caminho);
        if (!res.ok) {
            ctx.err << res.message << "\n";
            return 1;
        }
        ctx.out << "PDF: " << s.caminho << "\n";
        return 0;
    } catch (const db::EngineError& e) {
        ctx.err << e.message() << "\n";
        return 1;
    }
}

}  // namespace cli

#include "app/cli/Saida.h"

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

}  // namespace cli

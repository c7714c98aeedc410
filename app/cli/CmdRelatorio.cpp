// tolmare-cli relatorio NOME ...: hands the arguments to the report of that name.
#include "app/cli/CmdRelatorio.h"

namespace cli {

namespace {

QList<Relatorio>& relatorios()
{
    static QList<Relatorio> list;
    return list;
}

QString usageLines()
{
    QStringList lines;
    for (const Relatorio& r : relatorios()) lines << "tolmare-cli relatorio " + r.name + " " + r.usage;
    return lines.join("\n");
}

int relatorioCommand(Context& ctx)
{
    const QString name = ctx.args.isEmpty() ? QString() : ctx.args.takeFirst();
    for (const Relatorio& r : relatorios()) {
        if (r.name != name) continue;
        if (ctx.flag("help")) {
            ctx.out << "Uso: tolmare-cli relatorio " << r.name << " " << r.usage << "\n"
                    << r.help << "\n";
            return 0;
        }
        return r.run(ctx);
    }
    if (!name.isEmpty()) ctx.err << "Relatório desconhecido: " << name << "\n";
    ctx.err << "Uso:\n" << usageLines() << "\n";
    return 2;
}

const Registrar reg({"relatorio", "relatorio NOME (--pdf | --csv | --xlsx) CAMINHO [OPÇÕES]",
                     "Grava um relatório em PDF, ou suas linhas numa planilha CSV ou XLSX\n"
                     "(completo ou nada). Relatórios:\n"
                     "  debitos --pdf CAMINHO [--ordem 0-4] [--grupo ID]\n"
                     "  retornos --mes MM/AAAA --motivo todos|com|sem --pdf CAMINHO\n"
                     "           [--por-motivo]\n"
                     "Veja tolmare-cli relatorio NOME --help.",
                     relatorioCommand, true, false, true});

}  // namespace

void registerRelatorio(Relatorio r) { relatorios().append(std::move(r)); }

}  // namespace cli

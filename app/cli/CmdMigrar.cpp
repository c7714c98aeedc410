// tolmare-cli migrar: takes the tables of an existing installation's folder into the data
// folder; the schema check converts those in the older format.
#include "app/cli/Cli.h"
#include "core/MakeDBx.h"
#include "core/engine/Database.h"
#include "core/engine/EngineConfig.h"
#include "core/engine/EngineError.h"
#include "legacy_import/MigrarInstalacao.h"

#include <QDir>

namespace {

// 0: every table taken with every row; 1: taken, some rows refused (listed in the
// conversion's report); 2: nothing taken.
int migrarCommand(cli::Context& ctx)
{
    const bool substituir = ctx.flag("substituir");
    if (ctx.args.size() != 1) {
        ctx.err << "Uso: tolmare-cli migrar PASTA_ANTIGA [--substituir]\n";
        return 2;
    }
    const QString old = ctx.args.first();
    const QString data = db::EngineConfig::aliasFolder("Tolmare");
    if (const QString refusal = migracao::recusaDaPasta(old, data); !refusal.isEmpty()) {
        ctx.err << refusal << "\n";
        return 2;
    }
    if (!cli::checkTables(ctx)) return 2;
    QStringList holding;
    try {
        holding = migracao::tabelasComRegistros(data);
    } catch (const db::EngineError& e) {
        ctx.err << "Não foi possível ver se as tabelas da pasta de dados "
                << QDir::toNativeSeparators(data) << " têm registros: " << e.message()
                << "\nNada foi copiado.\n";
        return 2;
    }
    if (!holding.isEmpty() && !substituir) {
        ctx.err << "A pasta de dados " << QDir::toNativeSeparators(data) << " já tem registros: "
                << holding.join(", ") << ".\nNada foi copiado. Para trocá-los pelas tabelas de "
                << QDir::toNativeSeparators(old) << ", repita o comando com --substituir (as tabelas "
                   "atuais ficam guardadas numa subpasta da pasta de dados).\n";
        return 2;
    }
    db::Session::instance().closeAll();
    QString kept;
    QString error = holding.isEmpty() ? migracao::removerTabelasVazias(data)
                                      : migracao::guardarTabelasAtuais(data, kept);
    QStringList copied;
    if (error.isEmpty()) {
        error = migracao::copiarTabelas(old, data, copied);
        if (!error.isEmpty() && !kept.isEmpty()) {
            const QString back = migracao::devolverTabelas(data, kept);
            error += "\n" + (back.isEmpty() ? QString("As tabelas anteriores foram devolvidas.") : back);
        }
    }
    if (!error.isEmpty()) {
        ctx.err << error << "\n";
        return 2;
    }
    if (!kept.isEmpty())
        ctx.out << "As tabelas que estavam na pasta de dados foram guardadas em " << kept << ".\n";
    ctx.out << "Copiados de " << QDir::toNativeSeparators(old) << ": " << copied.join(", ") << "\n";
    const bool ok = cli::checkTables(ctx);
    const makedbx::Outcome o = makedbx::lastOutcome();
    cli::logOperation(ctx, "Migração",
                      "Tabelas copiadas de " + QDir::toNativeSeparators(old)
                          + (kept.isEmpty() ? QString() : "; as anteriores guardadas em " + kept));
    if (!ok || o.unreadable) return 2;
    return o.refused ? 1 : 0;
}

const cli::Registrar reg({"migrar", "migrar PASTA_ANTIGA [--substituir]",
                          "Copia para a pasta de dados as tabelas de uma instalação antiga (a\n"
                          "pasta antiga não é alterada) e converte as que estão no formato antigo\n"
                          "(Paradox). Recusa uma pasta de dados que já tem registros, a não ser\n"
                          "com --substituir, que antes guarda as tabelas atuais numa subpasta\n"
                          "\"Anterior-AAAAMMDD-HHMMSS\". Sai com 0 quando todos os registros foram\n"
                          "convertidos, 1 quando houve registros recusados, 2 quando nada foi feito.",
                          migrarCommand});

}  // namespace

// tolmare-cli desfazer-remessa: undoes the last remittance while nothing came back for it.
#include "app/cli/Cli.h"
#include "backup/operation/ServerBackup.h"
#include "core/engine/EngineError.h"
#include "remittance/DesfazerRemessa.h"
#include "remittance/server/DesfazerRemessaServidor.h"

namespace {

const char* const kUsage = "desfazer-remessa";

int desfazerCommand(cli::Context& ctx)
{
    if (!ctx.args.isEmpty()) {
        ctx.err << "Uso: tolmare-cli " << kUsage << "\n";
        return 2;
    }
    remessa::ResultadoDesfazer r;
    if (!ctx.server.isEmpty()) {
        try {
            pg::Connection c(ctx.server.toStdString());
            backup::checkServerSchema(c);
            r = remessa::desfazerNoServidor(c);
        } catch (const pg::PgError& e) {
            ctx.err << e.what() << remessa::desfazer::kNadaAlterado << "\n";
            return 1;
        } catch (const db::EngineError& e) {
            ctx.err << e.message() << remessa::desfazer::kNadaAlterado << "\n";
            return 1;
        }
    } else {
        if (!cli::checkTables(ctx)) return 1;
        r = remessa::desfazerUltimaRemessa();
    }
    if (r.kind != remessa::ResultadoDesfazer::Kind::Done) {
        ctx.err << r.message << "\n";
        return 1;
    }
    ctx.out << r.message << "\n";
    return 0;
}

const cli::Registrar reg({"desfazer-remessa", kUsage,
                          "Desfaz a última remessa enquanto nenhum retorno dela foi importado:\n"
                          "os débitos, as linhas de retorno e o número da remessa voltam ao\n"
                          "que eram antes dela, e o arquivo da remessa ganha \".desfeita\" no\n"
                          "fim do nome (não é apagado: ele pode já ter sido enviado).",
                          desfazerCommand, false, true});

}  // namespace

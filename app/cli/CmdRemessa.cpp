// tolmare-cli remessa: the remittance file for a debit date.
#include "app/cli/Cli.h"
#include "backup/operation/ServerBackup.h"
#include "core/MainRoutines.h"
#include "core/engine/EngineError.h"
#include "remittance/GerarRemessa.h"
#include "remittance/TextosRemessa.h"
#include "remittance/VerificarRemessa.h"
#include "remittance/server/GerarRemessaServidor.h"

namespace {

const char* const kUsage =
    "remessa --data DD/MM/AAAA (--arquivo CAMINHO | --verificar) [--hoje DD/MM/AAAA]";

// The check alone: every problem listed, nothing changed. Exit 0 only when nothing would stop
// the remittance.
int verificar(cli::Context& ctx, const QDate& debitDate)
{
    if (!cli::checkTables(ctx)) return 1;
    try {
        const remessa::Verificacao v = remessa::verificarRemessa(debitDate);
        for (const QString& line : v.linhas() + v.comparacao) ctx.out << line << "\n";
        ctx.out << v.debitos << " débito(s) seriam enviados, total "
                << QString::number(double(v.total) / 10000, 'f', 2).replace('.', ',') << "\n";
        if (v.podeGerar()) {
            ctx.out << "Nada impede a remessa.\n";
            return 0;
        }
        ctx.err << "Corrija os problemas marcados \"Impede\" antes de gerar a remessa.\n";
        return 1;
    } catch (const db::EngineError& e) {
        ctx.err << e.message() << "\n";
        return 1;
    }
}

int printOutcome(cli::Context& ctx, const remessa::Outcome& o)
{
    if (o.kind != remessa::Outcome::Kind::Done) {
        ctx.err << o.message << "\n";
        return 1;
    }
    for (const QString& line : o.summary) ctx.out << line << "\n";
    return 0;
}

// On a server store the generation removes the repeated RET_DEBITO rows itself, inside its
// transaction.
int gerarNoServidor(cli::Context& ctx, const QString& arquivo, const QDate& debitDate,
                    const QDate& today)
{
    try {
        pg::Connection c(ctx.server.toStdString());
        backup::checkServerSchema(c);
        return printOutcome(ctx, remessa::gerarNoServidor(c, arquivo, debitDate, today));
    } catch (const pg::PgError& e) {
        ctx.err << e.what() << remessa::kNadaAlterado << "\n";
        return 1;
    } catch (const db::EngineError& e) {
        ctx.err << e.message() << remessa::kNadaAlterado << "\n";
        return 1;
    }
}

int remessaCommand(cli::Context& ctx)
{
    const auto data = ctx.option("data");
    const auto arquivo = ctx.option("arquivo");
    const auto hoje = ctx.option("hoje");
    const bool soVerificar = ctx.flag("verificar");
    if (!data || bool(arquivo) == soVerificar || !ctx.args.isEmpty()) {
        ctx.err << "Uso: tolmare-cli " << kUsage << "\n";
        return 2;
    }
    const auto debitDate = cli::parseDate(*data);
    const auto today = hoje ? cli::parseDate(*hoje) : std::optional<QDate>(QDate::currentDate());
    if (!debitDate || !today) {
        ctx.err << "Data inválida: " << (debitDate ? *hoje : *data) << "\n";
        return 2;
    }
    if (soVerificar && !ctx.server.isEmpty()) {
        // Only reads: on one snapshot of the server's tables, as on a data folder.
        const cli::Command check{"remessa", kUsage, {}, [&](cli::Context& onFolder) {
                                     return verificar(onFolder, *debitDate);
                                 }};
        return cli::runOnServerSnapshot(check, ctx);
    }
    if (soVerificar) return verificar(ctx, *debitDate);
    if (const auto refused = remessa::recusaDoCaminho(*arquivo)) {
        ctx.err << refused->message << "\n";
        return 2;
    }
    if (!ctx.server.isEmpty()) return gerarNoServidor(ctx, *arquivo, *debitDate, *today);
    if (!cli::checkTables(ctx)) return 1;
    // As the window does first: one RET_DEBITO row per date and member.
    try {
        Apagar_Duplicacoes_Retorno();
    } catch (const db::EngineError& e) {
        ctx.err << e.message() << "\nA remessa não foi gerada.\n";
        return 1;
    }
    return printOutcome(ctx, remessa::GerarArquivo(*arquivo, *debitDate, *today));
}

const cli::Registrar reg({"remessa", kUsage,
                          "Gera o arquivo de remessa PREVI dos débitos para a data de débito,\n"
                          "leva os débitos pendentes a essa data, registra cada débito enviado\n"
                          "como \"Aguardando Retorno\" e avança o número da remessa.\n"
                          "Mostra o resumo; um erro vai para a saída de erro (código 1).\n"
                          "--hoje: a data do cabeçalho e do resumo (padrão: hoje).\n"
                          "--verificar: só lista os problemas dos débitos que seriam enviados\n"
                          "(nada é alterado); código 0 quando nada impede a remessa.",
                          remessaCommand, false, true});

}  // namespace

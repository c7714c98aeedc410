// tolmare-cli retorno: imports PREVI's return file for a month.
#include "app/cli/Cli.h"
#include "backup/operation/ServerBackup.h"
#include "core/MainRoutines.h"
#include "core/dm/UDMRet_Debito.h"
#include "core/engine/EngineError.h"
#include "remittance/ImportarRetorno.h"
#include "remittance/RetornosImportados.h"
#include "remittance/server/ImportarRetornoServidor.h"

#include <QFileInfo>

namespace {

// The summary, and the file's new name; a file that kept its name is told as a warning (the
// import itself was recorded, and the same content is known if imported again).
void printResult(cli::Context& ctx, const retorno::Resultado& r, const QString& path)
{
    for (const QString& line : r.resumo) ctx.out << line << "\n";
    if (!r.novoNome.isEmpty()) ctx.out << "Arquivo renomeado para " << r.novoNome << "\n";
    else
        ctx.err << "Aviso: o retorno foi importado, mas o arquivo " << path << " manteve o nome "
                << "(já existe um arquivo com o nome Retorno_... do mês, ou a pasta não permite "
                   "gravação).\n";
}

const char* const kUsage =
    "retorno --arquivo CAMINHO --mes MM/AAAA [--hoje DD/MM/AAAA] [--reimportar]";

int retornoCommand(cli::Context& ctx)
{
    const auto arquivo = ctx.option("arquivo");
    const auto mes = ctx.option("mes");
    const auto hoje = ctx.option("hoje");
    const bool reimportar = ctx.flag("reimportar");
    if (!arquivo || !ctx.args.isEmpty()) {
        ctx.err << "Uso: tolmare-cli " << kUsage << "\n";
        return 2;
    }
    const QString text = mes.value_or(QString()).trimmed();
    int month = 0, year = 0;
    const QString bad = text.count('/') > 1
        ? "Mês / Ano inválido: '" + text + "'. Informe-o como MM/AAAA."
        : retorno::validarMesAno(text.section('/', 0, 0), text.section('/', 1), month, year);
    if (!bad.isEmpty()) {
        ctx.err << bad << "\n";
        return 2;
    }
    const auto today = hoje ? cli::parseDate(*hoje) : std::optional<QDate>(QDate::currentDate());
    if (!today) {
        ctx.err << "Data inválida: " << *hoje << "\n";
        return 2;
    }
    if (!QFileInfo(*arquivo).isFile()) {
        ctx.err << "O arquivo de retorno " << *arquivo << " não existe: informe o caminho de um "
                << "arquivo (--arquivo).\n";
        return 2;
    }
    auto jaImportado = [&](const retorno::ImportacaoAnterior& anterior) {
        ctx.err << "Este arquivo já foi importado em " << anterior.data.toString("dd/MM/yyyy")
                << " para "
                << QString("%1/%2").arg(anterior.mes, 2, 10, QLatin1Char('0')).arg(anterior.ano)
                << ". Nada foi importado; use --reimportar para importá-lo novamente.\n";
        return 1;
    };
    if (!ctx.server.isEmpty()) {
        try {
            pg::Connection c(ctx.server.toStdString());
            backup::checkServerSchema(c);
            printResult(
                ctx, retorno::importarNoServidor(c, *arquivo, month, year, *today, {}, reimportar),
                *arquivo);
            return 0;
        } catch (const retorno::JaImportado& j) {
            return jaImportado(j.anterior);
        } catch (const pg::PgError& e) {
            // A lost connection says itself whether anything may have been imported.
            ctx.err << e.what()
                    << (e.kind() == pg::ErrorKind::ConnectionLost
                            ? "\nO arquivo manteve o nome.\n"
                            : "\nNada foi importado e o arquivo manteve o nome.\n");
            return 1;
        } catch (const db::EngineError& e) {
            ctx.err << e.message() << "\n";
            return 1;
        }
    }
    if (!cli::checkTables(ctx)) return 1;
    try {
        if (const auto anterior = retorno::importacaoAnterior(*arquivo); anterior && !reimportar)
            return jaImportado(*anterior);
        // As the consultation window does first: one RET_DEBITO row per date and member.
        Apagar_Duplicacoes_Retorno();
        TDMRet_Debito dm;
        const retorno::Resultado r =
            retorno::importar(dm, *arquivo, month, year, *today, {}, reimportar);
        printResult(ctx, r, *arquivo);
        return 0;
    } catch (const retorno::JaImportado& j) {
        return jaImportado(j.anterior);  // imported by another program meanwhile
    } catch (const db::EngineError& e) {
        ctx.err << e.message() << "\n";
        return 1;
    }
}

const cli::Registrar reg(
    {"retorno", kUsage,
     "Importa o arquivo de retorno PREVI do mês: cada associado encontrado\n"
     "tem o retorno registrado no seu débito do mês; o resumo sai na saída\n"
     "padrão e o arquivo é renomeado para Retorno_<letra>_<mês>-<ano>.imp.\n"
     "Um arquivo já importado é recusado, a menos que --reimportar seja dado.\n"
     "Também no servidor de dados (--dados postgresql://...).",
     retornoCommand, false, true});

}  // namespace

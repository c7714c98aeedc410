// tolmare-cli historico: the operation log of the data folder, or of the server store.
#include "app/cli/Cli.h"
#include "core/Historico.h"
#include "core/engine/Database.h"
#include "core/engine/EngineError.h"
#include "core/pgstore/ServerLog.h"

namespace {

const char* const kUsage = "historico [--desde DD/MM/AAAA]";

QList<historico::Linha> serverLines(const QString& uri, const QDate& from)
{
    pg::Connection c(uri.toStdString());
    QList<historico::Linha> out;
    for (const pg::LogLine& l :
         pg::readLog(c, from.isValid() ? from.toString(Qt::ISODate).toStdString() : "")) {
        out.append({QDateTime::fromString(QString::fromStdString(l.when), Qt::ISODateWithMs),
                    int(l.user), QString::fromStdString(l.operation),
                    QString::fromStdString(l.detail)});
    }
    return out;
}

int historicoCommand(cli::Context& ctx)
{
    const auto desde = ctx.option("desde");
    if (!ctx.args.isEmpty()) {
        ctx.err << "Uso: tolmare-cli " << kUsage << "\n";
        return 2;
    }
    std::optional<QDate> from;
    if (desde) {
        from = cli::parseDate(*desde);
        if (!from) {
            ctx.err << "Data inválida: " << *desde << ". Informe-a como DD/MM/AAAA.\n";
            return 2;
        }
    }
    try {
        const QList<historico::Linha> linhas = ctx.server.isEmpty()
            ? historico::ler(db::Session::instance().connectionFor("Tolmare"),
                             from.value_or(QDate()))
            : serverLines(ctx.server, from.value_or(QDate()));
        for (const historico::Linha& l : linhas) ctx.out << historico::formatar(l) << "\n";
        if (linhas.isEmpty()) ctx.out << "Nenhuma operação registrada.\n";
        return 0;
    } catch (const db::EngineError& e) {
        ctx.err << e.message() << "\n";
        return 1;
    } catch (const pg::PgError& e) {
        ctx.err << e.what() << "\n";
        return 1;
    }
}

const cli::Registrar reg({"historico", kUsage,
                          "Mostra o histórico de operações da pasta de dados (ou do servidor\n"
                          "de dados): remessas, importações de retorno, backups, restaurações e\n"
                          "mudanças de tabelas, uma por linha, com data, hora e usuário.",
                          historicoCommand, false, true});

}  // namespace

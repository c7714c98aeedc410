// tolmare-cli restaurar and conteudo: restoring an archive into a folder, listing it.
#include "app/cli/BackupCli.h"
#include "core/engine/Connection.h"
#include "core/engine/Database.h"
#include "core/engine/EngineError.h"
#include "remittance/RetornosImportados.h"

#include <QFileInfo>

#include <optional>
#include <QTextStream>

#include <unistd.h>

using namespace backupcli;

namespace {

int restaurarCommand(cli::Context& ctx)
{
    TBackupFile b;
    const QString mode = ctx.option("modo").value_or("todos");
    const QStringList modes{"todos", "sem-sobrescrever", "mais-novos", "existentes",
                            "existentes-mais-novos"};
    if (!modes.contains(mode)) {
        ctx.err << "Modo desconhecido: " << mode << "\n";
        return 2;
    }
    b.RestoreMode = TBackupFile::TRestoreMode(modes.indexOf(mode));
    b.RestoreFullPath = ctx.flag("caminho-completo");
    if (ctx.args.size() != 2) {
        ctx.err << "Uso: tolmare-cli restaurar ARQUIVO PASTA [--modo M] [--caminho-completo]\n";
        return 2;
    }
    const QString archive = ctx.args[0], folder = ctx.args[1];
    if (!QFile::exists(archive)) {
        ctx.err << "Arquivo não encontrado: " << archive << "\n";
        return 1;
    }
    // Only into a folder named on purpose: an empty one would send each file to the place
    // stored in the archive.
    if (folder.trimmed().isEmpty() || !QFileInfo(folder).isDir()) {
        ctx.err << "A pasta de destino \"" << folder << "\" não existe ou não é uma pasta: "
                << "informe uma pasta que exista (os arquivos são gravados só dentro dela).\n";
        return 1;
    }
    std::optional<retorno::RetDebitoAntes> before;
    try {
        before = retorno::antesDaRestauracao(
            db::Session::instance().connectionFor("Tolmare").folder());
    } catch (const db::EngineError&) {
    }
    // Logged however the run ends: what it put back stays put back.
    const auto record = [&](bool ok) {
        const QString detalhe = QString("arquivo %1 em %2: %3 arquivo(s) restaurado(s)%4")
                                    .arg(archive, folder).arg(b.FilesDone)
                                    .arg(ok ? "" : ", com falhas");
        if (!before) return cli::logOperation(ctx, "Restauração", detalhe);
        try {
            retorno::registrarRestauracao(db::Session::instance().connectionFor("Tolmare"),
                                          detalhe, *before);
        } catch (const db::EngineError& e) {
            ctx.err << "Aviso: a restauração não pôde ser registrada no histórico: "
                    << e.message() << "\n";
        }
    };
    wire(b, archive, false, ctx.err);
    try {
        const bool ok = b.Restore(archive, folder);
        ctx.out << (terminal(STDERR_FILENO) ? "\n" : "") << b.FilesDone << " arquivo(s) restaurado(s)\n";
        record(ok);
        return ok ? 0 : 1;
    } catch (const BackupException& e) {
        archiveUnreadable(ctx, e, archive);
        if (b.FilesDone > 0) {
            ctx.err << b.FilesDone << " arquivo(s) lidos antes do defeito foram restaurados; "
                    << "os demais ficaram como estavam.\n";
            record(false);
        }
        return 1;
    }
}

int conteudoCommand(cli::Context& ctx)
{
    if (ctx.args.size() != 1) {
        ctx.err << "Uso: tolmare-cli conteudo ARQUIVO\n";
        return 2;
    }
    TBackupFile b;
    int failed = 0;
    b.OnError = [&](TBackupFile* sender, qint32 code, const QString& msg) {
        failed = code;
        printError(ctx.err, *sender, code, msg);
    };
    if (!QFileInfo(ctx.args[0]).isFile()) {
        ctx.err << "Arquivo não encontrado: " << ctx.args[0] << "\n";
        return 1;
    }
    // The file lines are printed as they are decoded, after the header.
    QString title;
    bool header = false;
    const auto printHeader = [&] {
        if (header) return;
        header = true;
        ctx.out << "Título: " << title << "\nArquivos: " << b.FileCount << "\nTamanho total: "
                << b.TotalSize << " bytes\n";
    };
    b.GetArchiveInfo(ctx.args[0], [&](const QString& line) {
        printHeader();
        ctx.out << line << "\n";
    }, title);
    if (failed) return 1;
    printHeader();
    return 0;
}

const cli::Registrar regRestaurar({"restaurar",
    "restaurar ARQUIVO PASTA [--modo M] [--caminho-completo]",
    "Restaura os arquivos do backup na PASTA. --modo: todos, sem-sobrescrever, mais-novos,\n"
    "existentes ou existentes-mais-novos. Os volumes seguintes são lidos quando existem;\n"
    "sem eles, pergunta no terminal (ou para, quando a entrada não é um terminal).",
    restaurarCommand});
const cli::Registrar regConteudo({"conteudo", "conteudo ARQUIVO",
    "Mostra o título, os totais e a lista de arquivos (quando gravada) de um backup.",
    conteudoCommand});

}  // namespace

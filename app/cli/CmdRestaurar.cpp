// tolmare-cli restaurar and conteudo: restoring an archive into a folder or onto the server
// store, listing it.
#include "app/cli/BackupCli.h"
#include "backup/operation/ServerBackup.h"

#include <QFileInfo>
#include <QTextStream>

#include <unistd.h>

using namespace backupcli;

namespace {

// The archive's tables onto the server, in one transaction.
int restaurarNoServidor(cli::Context& ctx)
{
    if (ctx.args.size() != 1) {
        ctx.err << "Uso: tolmare-cli --dados postgresql://... restaurar ARQUIVO (as tabelas do "
                   "backup substituem as do servidor; --modo e --caminho-completo não valem "
                   "aqui)\n";
        return 2;
    }
    const QString archive = ctx.args[0];
    if (!QFile::exists(archive)) {
        ctx.err << "Arquivo não encontrado: " << archive << "\n";
        return 1;
    }
    TBackupFile b;
    wire(b, ctx.err);
    const backup::ServerRestoreOutcome done =
        backup::runServerRestore(b, archive, ctx.server, follow());
    if (terminal(STDERR_FILENO)) ctx.err << "\n";
    if (!done.ok) {
        if (!done.reported) printError(ctx.err, done.error);
        return 1;
    }
    ctx.out << "Tabelas carregadas no servidor de dados: " << done.loaded.join(", ") << "\n";
    return 0;
}

int restaurarCommand(cli::Context& ctx)
{
    if (!ctx.server.isEmpty()) return restaurarNoServidor(ctx);
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
    wire(b, ctx.err);
    const backup::RestoreOutcome done = backup::runRestore(b, archive, folder, follow());
    if (done.started)
        ctx.out << (terminal(STDERR_FILENO) ? "\n" : "") << done.files
                << " arquivo(s) restaurado(s)\n";
    if (!done.ok && !done.reported) printError(ctx.err, done.error);
    warnNotLogged(ctx.err, done.logProblem);
    return done.ok ? 0 : 1;
}

int conteudoCommand(cli::Context& ctx)
{
    if (ctx.args.size() != 1) {
        ctx.err << "Uso: tolmare-cli conteudo ARQUIVO\n";
        return 2;
    }
    TBackupFile b;
    int failed = 0;
    b.OnError = [&](TBackupFile* sender, qint32 code, const QString&) {
        failed = code;
        printError(ctx.err, sender->LastError());
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
    "sem eles, pergunta no terminal (ou para, quando a entrada não é um terminal).\n"
    "Com --dados postgresql://... (restaurar ARQUIVO): as tabelas do backup substituem as do\n"
    "servidor, todas numa só transação.",
    restaurarCommand, false, true});
const cli::Registrar regConteudo({"conteudo", "conteudo ARQUIVO",
    "Mostra o título, os totais e a lista de arquivos (quando gravada) de um backup.",
    conteudoCommand, false, true});

}  // namespace

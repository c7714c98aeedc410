// tolmare-cli backup and verificar-backup: writing an archive and reading it back.
#include "app/cli/BackupCli.h"
#include "backup/ArchiveBytes.h"
#include "backup/operation/ServerBackup.h"
#include "core/TableDefs.h"
#include "core/engine/EngineConfig.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <unistd.h>

using namespace backupcli;

namespace {

// --volume: 0 (one volume) or at least the size that holds a block.
std::optional<qint32> volumeSize(cli::Context& ctx)
{
    const QString text = ctx.option("volume").value_or("0");
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    if (!ok || v < 0 || v > 0x7FFFFFFF) {
        ctx.err << "Valor inválido para --volume: " << text << "\n";
        return std::nullopt;
    }
    if (v != 0 && v < backupfmt::kMinVolume) {
        ctx.err << "O volume deve ter pelo menos " << backupfmt::kMinVolume
                << " bytes (ou 0 para um só volume): " << text << "\n";
        return std::nullopt;
    }
    return qint32(v);
}

// The table files of the data folder: what a backup without specifications takes.
QStringList tableFiles()
{
    const QDir folder(db::EngineConfig::aliasFolder("Tolmare"));
    QStringList files;
    for (const store::TableSpec& t : tables::all()) {
        const QString path = folder.filePath(QString::fromStdString(t.fileName));
        if (QFileInfo(path).isFile()) files << path;
    }
    return files;
}

int backupCommand(cli::Context& ctx)
{
    TBackupFile b;
    b.BackupTitle = ctx.option("titulo").value_or(QString());
    if (ctx.flag("incremental")) b.setBackupMode(TBackupFile::bmIncremental);
    b.SaveFileID = ctx.flag("ids");
    const QString level = ctx.option("nivel").value_or("rapido");
    const QStringList levels{"rapido", "nenhuma", "padrao", "maxima"};
    if (!levels.contains(level)) {
        ctx.err << "Nível desconhecido: " << level << " (rapido, nenhuma, padrao, maxima)\n";
        return 2;
    }
    b.CompressionLevel = TBackupFile::TCompressionLevel(levels.indexOf(level));
    const std::optional<qint32> volume = volumeSize(ctx);
    if (!volume) return 2;
    b.MaxSize = *volume;
    const bool verify = !ctx.flag("sem-verificacao");
    if (ctx.args.isEmpty()) {
        ctx.err << "Uso: tolmare-cli backup ARQUIVO [ESPECIFICACAO...] [opções]\n";
        return 2;
    }
    const QString archive = ctx.args.takeFirst();
    if (!ctx.server.isEmpty() && !ctx.args.isEmpty()) {
        ctx.err << "Com os dados num servidor, o backup leva as tabelas do servidor: dê só o "
                   "ARQUIVO, sem especificações de arquivos.\n";
        return 2;
    }
    const QStringList files = ctx.server.isEmpty() && ctx.args.isEmpty() ? tableFiles() : ctx.args;
    if (ctx.server.isEmpty() && files.isEmpty()) {
        ctx.err << "A pasta de dados "
                << QDir::toNativeSeparators(db::EngineConfig::aliasFolder("Tolmare"))
                << " não tem as tabelas do Tolmare: confira o caminho dado em --dados, ou dê "
                   "as especificações dos arquivos. Nenhum backup foi gravado.\n";
        return 1;
    }
    wire(b, ctx.err);
    const backup::Outcome done =
        ctx.server.isEmpty() ? backup::runBackup(b, files, archive, verify, follow())
                             : backup::runServerBackup(b, ctx.server, archive, verify, follow());
    if (terminal(STDERR_FILENO)) ctx.err << "\n";
    if (done.written)
        ctx.out << done.files << " arquivo(s), " << b.TotalSize << " bytes, compressão "
                << b.CompressionRate() << "%\n";
    if (!done.ok) {
        if (!done.reported) printError(ctx.err, done.error);
        if (done.written)
            ctx.err << "Backup com defeito ou incompleto: " << archive << "\n";
        else if (done.error.kind != backup::RunError::Kind::NothingToDo)
            ctx.err << "Backup falhou ou foi abortado; nenhum arquivo de backup foi gravado.\n";
        return 1;
    }
    if (verify) ctx.out << "Backup íntegro: " << done.checked << " arquivo(s)\n";
    warnNotLogged(ctx.err, done.logProblem);
    return 0;
}

int verificarCommand(cli::Context& ctx)
{
    if (ctx.args.size() != 1) {
        ctx.err << "Uso: tolmare-cli verificar-backup ARQUIVO\n";
        return 2;
    }
    const QString archive = ctx.args[0];
    if (!QFileInfo(archive).isFile()) {
        ctx.err << "Arquivo não encontrado: " << archive << "\n";
        return 1;
    }
    const backup::Outcome checked = backup::verifyArchive(archive, follow());
    if (terminal(STDERR_FILENO)) ctx.err << "\n";
    if (checked.ok) {
        ctx.out << "Backup íntegro: " << checked.files << " arquivo(s)\n";
        return 0;
    }
    printError(ctx.err, checked.error);
    ctx.err << "Backup com defeito ou incompleto: " << archive << "\n";
    return 1;
}

const cli::Registrar regVerificar({"verificar-backup", "verificar-backup ARQUIVO",
    "Lê todos os blocos do backup (e dos volumes seguintes) sem gravar nada; termina com 0\n"
    "só quando todos decodificam e cada arquivo tem o tamanho registrado na lista.",
    verificarCommand, false, true});
const cli::Registrar regBackup({"backup",
    "backup ARQUIVO [ESPEC...] [--titulo T] [--incremental] [--ids] [--nivel N]"
    " [--volume BYTES] [--sem-verificacao]",
    "Copia os arquivos das especificações (curingas; \" /s\" no fim entra nas pastas)\n"
    "para o arquivo de backup; sem especificações, as cinco tabelas da pasta de dados, ou,\n"
    "com --dados postgresql://..., um retrato único das tabelas do servidor (as mesmas\n"
    "tabelas que uma pasta de dados guarda). --nivel: rapido, nenhuma, padrao ou maxima.\n"
    "--volume divide o backup em volumes de até BYTES (ARQUIVO.002, .003...). --ids grava a\n"
    "lista dos arquivos. Depois lê o backup inteiro de volta (verificar-backup), salvo com\n"
    "--sem-verificacao.",
    backupCommand, false, true});
}  // namespace

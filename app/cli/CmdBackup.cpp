// tolmare-cli backup, restaurar, conteudo, verificar-backup: the backup engine without windows.
#include "app/cli/Cli.h"
#include "backup/ArchiveBytes.h"
#include "backup/EventPump.h"
#include "backup/backup.h"
#include "core/store/TableReadLock.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

namespace {

bool terminal(int fd) { return ::isatty(fd) == 1; }

// A text progress bar on standard error when it is a terminal.
void progressBar(const QString& file, int percent)
{
    if (!terminal(STDERR_FILENO)) return;
    const int filled = std::clamp(percent, 0, 100) / 5;
    QTextStream err(stderr);
    err << "\r[" << QString(filled, '#') << QString(20 - filled, ' ') << "] "
        << QString::number(percent).rightJustified(3) << "% " << file.right(50).leftJustified(50);
    err.flush();
}

// The next volume: go on when its file is there, ask on a terminal, stop otherwise.
bool nextVolume(const QString& archive, int volume, bool creating)
{
    const QString name = TBackupFile::volumeName(archive, volume);
    if (creating || QFile::exists(name)) return true;
    if (!terminal(STDIN_FILENO)) {
        QTextStream(stderr) << "\nVolume " << volume << " não encontrado: " << name << "\n";
        return false;
    }
    QTextStream(stderr) << "\nInsira o disco " << volume << " e tecle Enter para continuar "
                        << "(ou digite c para cancelar): " << Qt::flush;
    char line[64] = {};
    if (!std::fgets(line, sizeof line, stdin)) return false;
    return line[0] != 'c' && line[0] != 'C';
}

void wire(TBackupFile& b, const QString& archive, bool creating, QTextStream& err)
{
    b.OnProgress = [](TBackupFile*, const QString& f, int p, bool&) { progressBar(f, p); };
    b.OnNeedDisk = [archive, creating](TBackupFile*, quint16 disk, bool& cont) {
        cont = nextVolume(archive, disk, creating);
    };
    b.OnError = [&err](TBackupFile* sender, qint32 code, const QString& msg) {
        err << "\nErro " << code << ": " << msg;
        if (!sender->ErrorFile.isEmpty()) err << ": " << sender->ErrorFile;
        err << "\n";
    };
    b.OnNote = [&err](TBackupFile*, const QString& text) { err << "Aviso: " << text << "\n"; };
}

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

// Reads the archive back; true (and the count on `out`) when every block decodes.
bool verifyArchive(cli::Context& ctx, const QString& archive)
{
    TBackupFile b;
    wire(b, archive, false, ctx.err);
    try {
        if (b.Verify(archive)) {
            ctx.out << "Backup íntegro: " << b.FilesDone << " arquivo(s)\n";
            return true;
        }
    } catch (const BackupException& e) {
        ctx.err << e.message() << ": " << archive << "\n";
    }
    ctx.err << "Backup com defeito ou incompleto: " << archive << "\n";
    return false;
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
    if (ctx.args.size() < 2) {
        ctx.err << "Uso: tolmare-cli backup ARQUIVO ESPECIFICACAO... [opções]\n";
        return 2;
    }
    const QString archive = ctx.args.takeFirst();
    wire(b, archive, true, ctx.err);
    // Tables are read under a read lock: the copy is a committed state even while another
    // process writes them.
    b.ReadLock = store::readLockTable;
    try {
        const bool ok = b.Backup(ctx.args, archive);
        progressBar(QString(), 100);
        if (terminal(STDERR_FILENO)) ctx.err << "\n";
        if (!ok) {
            ctx.err << "Backup falhou ou foi abortado; nenhum arquivo de backup foi gravado.\n";
            return 1;
        }
        ctx.out << b.FilesDone << " arquivo(s), " << b.TotalSize << " bytes, compressão "
                << b.CompressionRate() << "%\n";
        if (verify) return verifyArchive(ctx, archive) ? 0 : 1;
        return 0;
    } catch (const BackupException& e) {
        ctx.err << e.message() << "\n";
        return 1;
    }
}

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
    const QString archive = ctx.args[0];
    if (!QFile::exists(archive)) {
        ctx.err << "Arquivo não encontrado: " << archive << "\n";
        return 1;
    }
    const QFileInfo dest(ctx.args[1]);
    if (dest.exists() && !dest.isDir()) {
        ctx.err << "O destino não é uma pasta: " << ctx.args[1] << "\n";
        return 1;
    }
    wire(b, archive, false, ctx.err);
    try {
        const bool ok = b.Restore(archive, ctx.args[1]);
        ctx.out << (terminal(STDERR_FILENO) ? "\n" : "") << b.FilesDone << " arquivo(s) restaurado(s)\n";
        return ok ? 0 : 1;
    } catch (const BackupException& e) {
        ctx.err << e.message() << "\n";
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
    b.OnError = [&](TBackupFile*, qint32 code, const QString& msg) {
        failed = code;
        ctx.err << "Erro " << code << ": " << msg << "\n";
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
    return verifyArchive(ctx, archive) ? 0 : 1;
}

const cli::Registrar regVerificar({"verificar-backup", "verificar-backup ARQUIVO",
    "Lê todos os blocos do backup (e dos volumes seguintes) sem gravar nada; termina com 0\n"
    "só quando todos decodificam e cada arquivo tem o tamanho registrado na lista.",
    verificarCommand});
const cli::Registrar regBackup({"backup",
    "backup ARQUIVO ESPEC... [--titulo T] [--incremental] [--ids] [--nivel N] [--volume BYTES]"
    " [--sem-verificacao]",
    "Copia os arquivos das especificações (curingas; \" /s\" no fim entra nas pastas)\n"
    "para o arquivo de backup. --nivel: rapido, nenhuma, padrao ou maxima. --volume divide\n"
    "o backup em volumes de até BYTES (ARQUIVO.002, .003...). --ids grava a lista dos arquivos.\n"
    "Depois lê o backup inteiro de volta (verificar-backup), salvo com --sem-verificacao.",
    backupCommand});
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

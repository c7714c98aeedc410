#include "app/cli/BackupCli.h"

#include <QFile>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

namespace backupcli {

namespace {

// The next volume: go on when its file is there, ask on a terminal, stop otherwise.
bool nextVolume(const QString& archive, int volume, bool creating)
{
    const QString name = TBackupFile::volumePath(archive, volume);
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

}  // namespace

bool terminal(int fd) { return ::isatty(fd) == 1; }

void progressBar(const QString& file, int percent)
{
    if (!terminal(STDERR_FILENO)) return;
    const int filled = std::clamp(percent, 0, 100) / 5;
    QTextStream err(stderr);
    err << "\r[" << QString(filled, '#') << QString(20 - filled, ' ') << "] "
        << QString::number(percent).rightJustified(3) << "% " << file.right(50).leftJustified(50);
    err.flush();
}

void printError(QTextStream& err, const TBackupFile& b, int code, const QString& message)
{
    const QString& file = b.ErrorFile;
    err << "Erro " << code << ": " << message;
    if (!file.isEmpty()) err << ": " << file;
    err << "\n";
    if (!b.ErrorDetail.isEmpty()) {
        err << b.ErrorDetail << "\n";
        return;
    }
    switch (code) {
    case 1:
        err << "Falha ao ler " << file << ": verifique se o arquivo existe, se pode ser lido e se "
            << "nenhum outro programa o mantém bloqueado.\n";
        break;
    case 2: case 4: case 7:
        err << "Falha ao gravar " << file << ": verifique se há espaço no disco e se a pasta "
            << "permite gravação; o backup anterior com esse nome foi mantido.\n";
        break;
    case 3:
        err << "Falha ao ler o backup " << file << ": verifique se ele existe e se você pode lê-lo.\n";
        break;
    case 5: case 6:
        err << "Falha ao ler o backup " << file << ": ele não é um backup ou está danificado. "
            << "Use outra cópia do backup.\n";
        break;
    default: break;
    }
}

void wire(TBackupFile& b, const QString& archive, bool creating, QTextStream& err)
{
    b.OnProgress = [](TBackupFile*, const QString& f, int p, bool&) { progressBar(f, p); };
    b.OnNeedDisk = [archive, creating](TBackupFile*, quint16 disk, bool& cont) {
        cont = nextVolume(archive, disk, creating);
    };
    b.OnError = [&err](TBackupFile* sender, qint32 code, const QString& msg) {
        err << "\n";
        printError(err, *sender, code, msg);
    };
    b.OnNote = [&err](TBackupFile*, const QString& text) { err << "Aviso: " << text << "\n"; };
}

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

void archiveUnreadable(cli::Context& ctx, const BackupException& e, const QString& archive)
{
    ctx.err << e.message() << ": " << archive << "\n"
            << "Falha ao ler o backup " << archive << ": ele não pôde ser aberto, não é um backup "
            << "ou está danificado. Confira o nome e as permissões do arquivo, ou use outra cópia "
            << "do backup.\n";
}

}  // namespace backupcli

#include "app/cli/BackupCli.h"

#include <QTextStream>

#include <cstdio>
#include <unistd.h>

namespace backupcli {

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

void printError(QTextStream& err, const backup::RunError& e)
{
    if (e.code != 0) err << "Erro " << e.code << ": ";
    err << e.described() << "\n";
}

void warnNotLogged(QTextStream& err, const QString& problem)
{
    if (!problem.isEmpty())
        err << "Aviso: a operação não pôde ser registrada no histórico: " << problem << "\n";
}

void wire(TBackupFile& b, QTextStream& err)
{
    b.OnProgress = [](TBackupFile*, const QString& f, int p, bool&) { progressBar(f, p); };
    b.OnError = [&err](TBackupFile* sender, qint32, const QString&) {
        err << "\n";
        printError(err, sender->LastError());
    };
    b.OnNote = [&err](TBackupFile*, const QString& text) { err << "Aviso: " << text << "\n"; };
}

backup::Follow follow()
{
    backup::Follow f;
    f.checking = progressBar;
    f.missingVolume = [](int volume, const QString&) {
        if (!terminal(STDIN_FILENO)) return false;
        QTextStream(stderr) << "\nInsira o disco " << volume << " e tecle Enter para continuar "
                            << "(ou digite c para cancelar): " << Qt::flush;
        char line[64] = {};
        if (!std::fgets(line, sizeof line, stdin)) return false;
        return line[0] != 'c' && line[0] != 'C';
    };
    return f;
}

}  // namespace backupcli

#include "backup/RunError.h"

#include <QFileDevice>

#include <cerrno>

namespace backup {

QString RunError::engineText(int code)
{
    switch (code) {
        case 1:
            return "Cannot read file";
        case 2:
            return "Overwriting file failed";
        case 3:
            return "Cannot read archive";
        case 4:
            return "Cannot write to archive";
        case 5:
            return "Invalid archive type";
        case 6:
            return "Compression error";
        case 7:
            return "Cannot create temporary file to save the file IDs";
        default:
            return {};
    }
}

QString RunError::message() const
{
    if (!detail.isEmpty()) return detail;
    switch (kind) {
        case Kind::None:
            return {};
        case Kind::SourceUnreadable:
            return QString(
                       "Falha ao ler %1: verifique se o arquivo existe, se pode ser lido e se "
                       "nenhum outro programa o mantém bloqueado.")
                .arg(file);
        case Kind::ArchiveUnreadable:
            return QString(
                       "Falha ao ler o backup %1: verifique se ele existe e se você pode lê-lo.")
                .arg(file);
        case Kind::ArchiveDamaged:
            return QString(
                       "Falha ao ler o backup %1: ele não é um backup ou está danificado. Use "
                       "outra cópia do backup.")
                .arg(file);
        case Kind::WriteFailed:
            return QString(
                       "Falha ao gravar %1: verifique se há espaço no disco e se a pasta permite "
                       "gravação; o backup anterior com esse nome foi mantido.")
                .arg(file);
        case Kind::DiskFull:
            return QString(
                       "Falha ao gravar %1: o disco está cheio. Libere espaço ou escolha outra "
                       "pasta; o backup anterior com esse nome foi mantido.")
                .arg(file);
        case Kind::Cancelled:
            return "Operação cancelada (pelo operador, ou um volume pedido não foi fornecido).";
        case Kind::Busy:
            return QString(
                       "%1 continuou bloqueado por outro programa que grava nele (ou não pôde ser "
                       "aberto como tabela) além da espera: feche esse programa ou tente de novo "
                       "daqui a pouco. Nenhum backup foi gravado.")
                .arg(file);
        case Kind::NothingToDo:
            return "Nenhum arquivo a copiar: nenhum backup foi gravado.";
    }
    return {};
}

QString RunError::described() const
{
    if (code == 0) return message();
    const QString head = engineText(code) + (file.isEmpty() ? QString() : ": " + file);
    const QString said = message();
    return said.isEmpty() ? head : head + "\n" + said;
}

RunError::Kind writeFailure(const QFileDevice& device)
{
    const bool full =
        device.error() == QFileDevice::ResourceError || errno == ENOSPC || errno == EDQUOT;
    return full ? RunError::Kind::DiskFull : RunError::Kind::WriteFailed;
}

}  // namespace backup

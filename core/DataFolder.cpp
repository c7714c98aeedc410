#include "core/DataFolder.h"

#include "core/Dialogs.h"
#include "core/TableDefs.h"
#include "core/engine/EngineConfig.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace datafolder {

void privateFiles()
{
    ::umask(077);
}

QString create(const QString& folder)
{
    const QString absolute = QFileInfo(folder).absoluteFilePath();
    const QStringList parts = absolute.split(u'/', Qt::SkipEmptyParts);
    QString path;
    for (const QString& part : parts) {
        path += "/" + part;
        const QByteArray p = QFile::encodeName(path);
        if (::mkdir(p.constData(), 0700) == 0) {
            ::chmod(p.constData(), 0700);  // the umask may have taken bits off; never added
            continue;
        }
        if (errno == EEXIST && QFileInfo(path).isDir()) continue;
        const int err = errno;
        if (err == EACCES || err == EPERM || err == EROFS)
            return QString("Não foi possível criar a pasta de dados %1: sem permissão de escrita "
                           "em %2. Escolha outra pasta ou peça a permissão.")
                .arg(absolute, QFileInfo(path).path());
        return QString("Não foi possível criar a pasta de dados %1 (%2): %3.")
            .arg(absolute, path, QString::fromLocal8Bit(std::strerror(err)));
    }
    return {};
}

bool holdsTables(const QString& folder)
{
    const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    for (const store::TableSpec& t : tables::all())
        for (const QString& e : entries)
            if (e.compare(QString::fromStdString(t.fileName), Qt::CaseInsensitive) == 0)
                return true;
    return false;
}

QString missingQuestion(const QString& folder)
{
    return QString("A pasta de dados\n%1\nnão existe. Criar esta pasta agora, com tabelas "
                   "vazias?\n\nSe a pasta foi movida ou o disco dela não está ligado, responda "
                   "Não, corrija o alias \"Tolmare\" em %2 e abra o programa de novo.")
        .arg(QDir::toNativeSeparators(folder),
             QDir::toNativeSeparators(db::EngineConfig::configFile()));
}

bool ensureForWindow(const QString& folder, dialogs::Dialogs& d)
{
    if (db::EngineConfig::isServerAddress(folder)) {
        d.message(dialogs::Kind::Error,
                  "O apelido Tolmare do arquivo de configuração " + QDir::toNativeSeparators(
                      db::EngineConfig::configFile())
                      + " aponta para um servidor de dados, com que a janela ainda não "
                        "trabalha. Aponte o apelido para uma pasta de dados; com o servidor, use "
                        "o tolmare-cli --dados postgresql://... (tolmare-cli --help diz os "
                        "comandos que já trabalham com ele).");
        return false;
    }
    if (QFileInfo(folder).isDir()) return true;
    if (!d.yesNo(missingQuestion(folder))) return false;
    const QString error = create(folder);
    if (error.isEmpty()) return true;
    d.message(dialogs::Kind::Error, error);
    return false;
}

}  // namespace datafolder

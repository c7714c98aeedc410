#include "backup/rules/BackupFolders.h"

#include <QDir>
#include <QFileInfo>

namespace fmbackup {

QString typedPath(const QString& text)
{
    QString path = text;
    path.replace('\\', '/');
    return path;
}

QString dataFolder(const QStringList& aliasParams)
{
    if (aliasParams.isEmpty() || aliasParams.first().trimmed().isEmpty()) return {};
    const QString line = aliasParams.first();
    const int eq = line.indexOf('=');
    QString folder = typedPath(eq >= 0 ? line.mid(eq + 1) : line);
    if (!folder.endsWith('/')) folder += '/';
    return folder;
}

QString backupFolder(const QString& dataFolder)
{
    return QDir::cleanPath(dataFolder + "/../Backup");
}

bool excludedName(const QString& fileName)
{
    QString upper = fileName;
    for (QChar& c : upper)
        if (c >= 'a' && c <= 'z') c = QChar(c.unicode() - 'a' + 'A');
    for (const QChar c : upper)
        if (c >= '0' && c <= '9') return true;
    for (const char* text : {"CóPIA DE", "CÓPIA DE", "KEYVIO", "RESTTE"})
        if (upper.contains(QString::fromUtf8(text))) return true;
    return false;
}

QStringList defaultFiles(const QString& folder)
{
    const QFileInfoList found = QDir(folder).entryInfoList(
        {"*.DB", "*.MB"}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    QStringList files;
    for (const QFileInfo& f : found)
        if (!excludedName(f.fileName())) files << f.absoluteFilePath();
    return files;
}

QString backupTitle(const QDate& day) { return "Tolmare_" + day.toString("dd-MM-yyyy"); }

QString proposedArchive(const QString& folder, const QDate& day)
{
    return QDir(folder).filePath("Backup Tolmare " + day.toString("dd-MM-yyyy") + ".Bck");
}

QString archiveName(const QString& chosen)
{
    const QString path = typedPath(chosen);
    return QFileInfo(path).suffix().isEmpty() ? path + ".bck" : path;
}

QStringList archivesIn(const QString& folder)
{
    return QDir(folder).entryList({"*.bck"}, QDir::Files, QDir::Name | QDir::IgnoreCase);
}

}  // namespace fmbackup

// Building the backup list: file specifications (wildcards, " /s") expanded into the paths of
// regular files, in the order found.
#include "backup/ArchiveFlag.h"
#include "backup/backup.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <sys/stat.h>

namespace {

enum class Kind { Regular, Folder, Other };

Kind kindOf(const QString& path, bool followLink)
{
    struct stat st {};
    const QByteArray p = QFile::encodeName(path);
    if ((followLink ? ::stat(p.constData(), &st) : ::lstat(p.constData(), &st)) != 0)
        return Kind::Other;
    if (S_ISREG(st.st_mode)) return Kind::Regular;
    return S_ISDIR(st.st_mode) ? Kind::Folder : Kind::Other;
}

bool inside(const QString& path, const QString& folder)
{
    return path.startsWith(folder == "/" ? folder : folder + '/');
}

}  // namespace

void TBackupFile::note(const QString& text)
{
    if (OnNote) OnNote(this, text);
}

QStringList TBackupFile::buildList(const QStringList& files, const QString& archiveName)
{
    QStringList list;
    QSet<QString> seen;
    const archiveflag::State flags;
    const QString archive = archiveName == ":STREAM" ? QString()
                                                     : QFileInfo(archiveName).absoluteFilePath();
    // `root` is the folder the operator chose: no link is followed out of it, and no link to a
    // folder is followed at all (a loop of links would never end).
    std::function<void(const QString&, const QString&)> expand = [&](const QString& text,
                                                                       const QString& root) {
        QString spec = text.trimmed();
        // Recursion is a trailing " /s" (a path here may well hold "/s" of its own).
        bool recurse = false;
        if (spec.endsWith(" /s", Qt::CaseInsensitive)) {
            recurse = true;
            spec = spec.chopped(3).trimmed();
        }
        if (spec.isEmpty()) return;
        const QFileInfo info(spec);
        QString mask = info.fileName();
        if (mask == "*.*") mask = "*";
        const QDir dir(info.absolutePath());
        const QString top =
            root.isEmpty() ? QFileInfo(dir.absolutePath()).canonicalFilePath() : root;
        const QFileInfoList entries = dir.entryInfoList(
            {mask}, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
            QDir::Name);
        for (const QFileInfo& e : entries) {
            const QString path = e.absoluteFilePath();
            Kind kind = kindOf(path, false);
            if (e.isSymLink()) {
                const QString target = e.canonicalFilePath();
                kind = kindOf(path, true);
                if (target.isEmpty() || !inside(target, top) || kind == Kind::Folder) {
                    note("Ignorado (link para fora da pasta escolhida ou para uma pasta): " + path);
                    continue;
                }
            }
            if (kind == Kind::Folder) {
                if (recurse) expand(path + "/" + info.fileName() + " /s", top);
                continue;
            }
            if (kind != Kind::Regular) {
                note("Ignorado (não é um arquivo comum): " + path);
                continue;
            }
            if (seen.contains(path) || path == archive) continue;
            if (BackupMode == bmIncremental && !flags.has(path)) continue;
            seen.insert(path);
            list << path;
        }
    };
    for (const QString& f : files) expand(f, QString());
    return list;
}

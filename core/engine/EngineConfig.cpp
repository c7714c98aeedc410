#include "core/engine/EngineConfig.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QStandardPaths>
#include <QStringDecoder>

#include <optional>

namespace db {

namespace {

QHash<QString, QString>& overrides()
{
    static QHash<QString, QString> map;
    return map;
}

QString defaultFolder(const QString& alias)
{
    const QString base =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Tolmare";
    if (alias.compare("Tolmare", Qt::CaseInsensitive) == 0) return base + "/Dados";
    if (alias.compare("Imp", Qt::CaseInsensitive) == 0) return base + "/Imp";
    return {};
}

// The value of `key` in `section` of the configuration file: the whole text after "=" on its
// line, trimmed, so that commas, semicolons and backslashes in a folder stand as written (an
// INI reader that takes commas for lists and backslashes for escapes misreads Windows paths).
// Keys before any section, or in [General], are the file's top-level keys. Quotes around the
// whole value are taken off.
std::optional<QString> iniValue(const QString& section, const QString& key)
{
    QFile f(EngineConfig::configFile());
    if (!f.open(QIODevice::ReadOnly) || f.size() > 1024 * 1024) return std::nullopt;
    const QByteArray bytes = f.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError()) text = QString::fromLatin1(bytes);
    QString current;
    for (const QString& raw : text.split(u'\n')) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#')) continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            current = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0 || line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) != 0) continue;
        const bool inSection =
            section.isEmpty()
                ? current.isEmpty() || current.compare("General", Qt::CaseInsensitive) == 0
                : current.compare(section, Qt::CaseInsensitive) == 0;
        if (!inSection) continue;
        QString value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return std::nullopt;
}

// Both "\\" and "/" separate folders, on every system. A server address is no folder: its
// "//" and any backslash stay.
QString folderPath(QString configured)
{
    if (EngineConfig::isServerAddress(configured)) return configured;
    return QDir::cleanPath(configured.replace(u'\\', u'/'));
}

}  // namespace

QString EngineConfig::configFile()
{
    const QString env = qEnvironmentVariable("TOLMARE_ENGINE_CONFIG");
    if (!env.isEmpty()) return env;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + "/Tolmare/engine.ini";
}

QString EngineConfig::aliasFolder(const QString& alias)
{
    for (auto it = overrides().cbegin(); it != overrides().cend(); ++it)
        if (it.key().compare(alias, Qt::CaseInsensitive) == 0) return it.value();
    const std::optional<QString> folder = iniValue("Aliases", alias);
    if (folder && !folder->isEmpty()) return folderPath(*folder);
    return defaultFolder(alias);
}

QStringList EngineConfig::aliasParams(const QString& alias)
{
    const QString folder = aliasFolder(alias);
    if (folder.isEmpty()) return {};
    return {"PATH=" + folder};
}

QString EngineConfig::dllPath()
{
    return folderPath(iniValue({}, "DLLPath").value_or(QString()));
}

bool EngineConfig::isServerAddress(const QString& text)
{
    return text.startsWith("postgresql:") || text.startsWith("postgres:");
}

void EngineConfig::overrideAlias(const QString& alias, const QString& folder)
{
    overrides().insert(alias, folderPath(folder));
}

}  // namespace db

#include "core/engine/EngineConfig.h"

#include <QDir>
#include <QHash>
#include <QSettings>
#include <QStandardPaths>

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
    QSettings ini(configFile(), QSettings::IniFormat);
    ini.beginGroup("Aliases");
    for (const QString& key : ini.childKeys()) {
        if (key.compare(alias, Qt::CaseInsensitive) == 0) {
            const QString folder = ini.value(key).toString();
            if (!folder.isEmpty()) return QDir::cleanPath(QDir::fromNativeSeparators(folder));
        }
    }
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
    QSettings ini(configFile(), QSettings::IniFormat);
    return ini.value("DLLPath").toString();
}

void EngineConfig::overrideAlias(const QString& alias, const QString& folder)
{
    overrides().insert(alias, QDir::cleanPath(QDir::fromNativeSeparators(folder)));
}

}  // namespace db

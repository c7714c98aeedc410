// The table engine's configuration: the aliases "Tolmare" and "Imp" and the folder of the
// table-structure component ("DLLPath"), read from an INI file, each value as the whole text
// after "=" on its line ("Tolmare=C:\Tolmare\Dados, 2026" names that folder as written).
// The file is the one named by the environment variable TOLMARE_ENGINE_CONFIG, else
// `<config dir>/Tolmare/engine.ini`. Without a file (or a key) the data folder is
// `<user data dir>/Tolmare/Dados` and the legacy folder `<user data dir>/Tolmare/Imp`;
// "DLLPath" is then empty.
#pragma once

#include <QString>
#include <QStringList>

namespace db {

class EngineConfig {
public:
    static QString configFile();
    // The folder of an alias; empty for an alias that is not known. A server store's address
    // (see isServerAddress) is given back as written.
    static QString aliasFolder(const QString& alias);
    // The alias's parameter list; its first line is "PATH=<folder>". Empty when unknown.
    static QStringList aliasParams(const QString& alias);
    static QString dllPath();
    // Points an alias at another folder for the rest of this run (the command line's --dados).
    static void overrideAlias(const QString& alias, const QString& folder);
    // Whether an alias's value is a server store's address (a libpq URI), not a folder.
    static bool isServerAddress(const QString& text);
};

}  // namespace db

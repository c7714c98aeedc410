#include "core/engine/Database.h"

#include "core/engine/Connection.h"
#include "core/engine/Dataset.h"
#include "core/engine/EngineConfig.h"
#include "core/engine/EngineError.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QList>

#include <memory>
#include <unordered_map>

namespace db {

Database::Database(QObject* parent) : QObject(parent) {}

Database::~Database()
{
    disconnect();
}

void Database::connect()
{
    if (connection_) return;
    const QString folder = EngineConfig::aliasFolder(alias_);
    if (folder.isEmpty()) throw EngineError("Unknown database alias: " + alias_);
    // Never created here: the start-up names a missing folder to the operator first.
    if (!QFileInfo(folder).isDir())
        throw EngineError(QString("A pasta do banco de dados \"%1\" não existe: %2. Confira o "
                                  "caminho configurado para ela em %3.")
                              .arg(alias_, QDir::toNativeSeparators(folder),
                                   QDir::toNativeSeparators(EngineConfig::configFile())));
    connection_ = &Session::instance().connectionForFolder(folder);
    Session::instance().registerDatabase(this);
}

void Database::disconnect()
{
    if (!connection_) return;
    Session::instance().unregisterDatabase(this);
    connection_ = nullptr;
}

QString Database::directory() const
{
    return connection_ ? connection_->folder() : QString();
}

struct Session::Impl {
    std::unordered_map<std::string, std::unique_ptr<Connection>> byFolder;
    QList<Database*> databases;
};

Session& Session::instance()
{
    static Session session;
    return session;
}

Session::Impl& Session::impl()
{
    static Impl i;
    return i;
}

Connection& Session::connectionFor(const QString& databaseName)
{
    for (Database* d : impl().databases)
        if (d->connected() && d->databaseName().compare(databaseName, Qt::CaseInsensitive) == 0)
            return *d->connection();
    const QString folder = EngineConfig::aliasFolder(databaseName);
    if (folder.isEmpty()) throw EngineError("Unknown database: " + databaseName);
    if (!QFileInfo(folder).isDir()) throw EngineError("Directory does not exist: " + folder);
    return connectionForFolder(folder);
}

Connection& Session::connectionForFolder(const QString& folder)
{
    const std::string key = QFileInfo(folder).absoluteFilePath().toStdString();
    auto it = impl().byFolder.find(key);
    if (it != impl().byFolder.end()) return *it->second;
    auto conn = std::make_unique<Connection>(QString::fromStdString(key));
    Connection& ref = *conn;
    impl().byFolder.emplace(key, std::move(conn));
    return ref;
}

void Session::registerDatabase(Database* d)
{
    if (!impl().databases.contains(d)) impl().databases.append(d);
}

void Session::unregisterDatabase(Database* d)
{
    impl().databases.removeAll(d);
}

void Session::reset()
{
    const QList<Database*> open = impl().databases;
    for (Database* d : open) d->disconnect();
    impl().databases.clear();
    impl().byFolder.clear();
}

void Session::closeAll()
{
    Dataset::closeAll();
    reset();
}

}  // namespace db

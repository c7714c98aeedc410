// Named databases: a connection on an alias, as the program's data modules declare them
// (for instance `DB_Tolmade_Ver` on the alias "Tolmare"), and the session that owns the open
// connections. Datasets name their database by alias ("Tolmare", "Imp") or by the name of a
// connected Database.
#pragma once

#include <QObject>
#include <QString>

namespace db {

class Connection;

class Database : public QObject {
    Q_OBJECT
public:
    explicit Database(QObject* parent = nullptr);
    ~Database() override;

    void setAliasName(const QString& alias) { alias_ = alias; }
    QString aliasName() const { return alias_; }
    void setDatabaseName(const QString& name) { name_ = name; }
    QString databaseName() const { return name_; }

    // Connects: the alias must name an existing folder (never created here). Throws
    // EngineError otherwise.
    void connect();
    void disconnect();
    bool connected() const { return connection_ != nullptr; }
    // The folder of the connected database (its working folder).
    QString directory() const;
    Connection* connection() const { return connection_; }

private:
    QString alias_;
    QString name_;
    Connection* connection_ = nullptr;
};

// The engine's session: keeps one connection per data folder, shared by every dataset that
// works in that folder. Its handle is an opaque address handed to the table-structure component.
class Session {
public:
    static Session& instance();
    void* handle() { return this; }
    // The connection for a database name: a connected Database of that name, else an alias.
    // Throws EngineError("Unknown database: X") when neither exists.
    Connection& connectionFor(const QString& databaseName);
    Connection& connectionForFolder(const QString& folder);
    void registerDatabase(Database* db);
    void unregisterDatabase(Database* db);
    // Closes every connection (tests use it between data folders).
    void reset();
    // Closes every open dataset, then every connection: no handle on a table file is left,
    // so the files can be replaced (a restore). Datasets reopen on a fresh connection.
    void closeAll();

private:
    Session() = default;
    struct Impl;
    Impl& impl();
};

}  // namespace db

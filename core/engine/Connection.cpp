#include "core/engine/Connection.h"

#include "core/engine/EngineError.h"
#include "core/engine/SqlValue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace db {

void throwSqlite(sqlite3* db, const QString& what)
{
    throw sqliteError(db, what);
}

namespace {

EngineError mainDatabaseError(int code, const QString& folder)
{
    const QString name = QString::fromLatin1(Connection::kMainFileName);
    const QString dir = QDir::toNativeSeparators(folder);
    const int primary = code & 0xff;
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        return EngineError(QString("O arquivo %1 da pasta %2 está em uso por outro programa "
                                   "(outra janela do Tolmare ou o tolmare-cli). Aguarde o fim "
                                   "da outra operação e tente de novo.").arg(name, dir),
                           EngineFault::Busy);
    if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT)
        return EngineError(QString("O arquivo %1 da pasta %2 está danificado. Feche o Tolmare, "
                                   "guarde uma cópia dele e restaure-o de um backup.")
                               .arg(name, dir),
                           EngineFault::NotATable);
    return EngineError(QString("Não foi possível abrir o arquivo %1 da pasta %2. Verifique se "
                               "a pasta existe, se %1 é um arquivo comum (não um atalho) e se o "
                               "usuário tem permissão de leitura e escrita nela, e tente de "
                               "novo.").arg(name, dir),
                       EngineFault::ReadOnly);
}

}  // namespace

Connection::Connection(const QString& folder) : folder_(folder)
{
    // The main database is a small file of the folder, never in memory: only then does a
    // transaction over several attached tables commit as one (through a super-journal beside
    // it), and the operation log and the record of imported returns kept there last. It holds
    // no table of the system. A symbolic link in its place is not followed. The wait for locks
    // is set before the first statement, so another program committing at that moment is
    // waited for like any busy table; a main database that still cannot be opened is refused.
    // A connection, like the session that owns it, is used by one thread only: SQLite need
    // not lock it on every call.
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI
                      | SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_NOMUTEX;
    const QString mainPath = QDir(folder).filePath(QString::fromLatin1(kMainFileName));
    const QByteArray mainUri =
        QUrl::fromLocalFile(QFileInfo(mainPath).absoluteFilePath()).toString(QUrl::FullyEncoded)
            .toUtf8();
    int rc = SQLITE_CANTOPEN;
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
        rc = sqlite3_open_v2(mainUri.constData(), &db_, flags, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_extended_result_codes(db_, 1);
            sqlite3_busy_timeout(db_, kBusyTimeoutMs);
            rc = sqlite3_exec(db_, "PRAGMA main.journal_mode=DELETE; PRAGMA main.synchronous=FULL",
                              nullptr, nullptr, nullptr);
        }
    }
    if (rc != SQLITE_OK) {
        const int code = db_ ? sqlite3_extended_errcode(db_) : rc;
        sqlite3_close(db_);
        db_ = nullptr;
        throw mainDatabaseError(code, folder);
    }
    // It holds the operation log: its owner's only, and so its journals, which take its mode
    // (SQLite gives a new file 0644 whatever the umask).
    if (const char* file = sqlite3_db_filename(db_, "main"); file && *file) ::chmod(file, 0600);
    store::registerCollation(db_);
}

Connection::~Connection()
{
    forgetStatements();
    sqlite3_close_v2(db_);
}

sqlite3_stmt* Connection::takeStatement(const QString& sql, const QString& table)
{
    Kept& k = kept_[sql];
    if (k.inUse) return nullptr;
    if (!k.st) {
        try {
            k.st = prepare(db_, sql, table);
        } catch (...) {
            kept_.remove(sql);
            throw;
        }
    }
    k.inUse = true;
    return k.st;
}

void Connection::giveBackStatement(sqlite3_stmt* st)
{
    for (Kept& k : kept_)
        if (k.st == st) k.inUse = false;
}

void Connection::forgetStatements()
{
    for (auto it = kept_.begin(); it != kept_.end();) {
        if (it->inUse) {
            ++it;
            continue;
        }
        sqlite3_finalize(it->st);
        it = kept_.erase(it);
    }
}

QString Connection::resolve(const QString& fileName) const
{
    const QDir dir(folder_);
    if (QFileInfo(dir.filePath(fileName)).isFile()) return dir.filePath(fileName);
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden);
    for (const QString& e : entries)
        if (e.compare(fileName, Qt::CaseInsensitive) == 0) return dir.filePath(e);
    return {};
}

QString Connection::attach(const QString& fileName)
{
    const store::TableSpec probe{fileName.toStdString(), {}, {}};
    QString schema = QString::fromStdString(probe.tableName());
    if (specs_.contains(schema)) return schema;
    const QString path = resolve(fileName);
    if (path.isEmpty())
        throw EngineError(QString("A tabela %1 não existe na pasta %2. Abra o Tolmare para que "
                                  "as tabelas sejam criadas, ou restaure-as de um backup.")
                              .arg(fileName, folder_));
    return attachPath(path, schema, nullptr);
}

QString Connection::createTable(const store::TableSpec& spec)
{
    const QString file = QString::fromStdString(spec.fileName);
    const QString schema = QString::fromStdString(spec.tableName());
    if (specs_.contains(schema)) throw EngineError("Table " + schema + " is open already");
    const QString path = QDir(folder_).filePath(file);
    const QByteArray native = QFile::encodeName(path);
    const int fd =
        ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int e = errno;
        throw EngineError(QString("Não foi possível criar a tabela %1 na pasta %2 (%3): confira o "
                                  "espaço livre e as permissões da pasta, e tente de novo.")
                              .arg(file, QDir::toNativeSeparators(folder_),
                                   QString::fromLocal8Bit(std::strerror(e))),
                          e == ENOSPC ? EngineFault::DiskFull : EngineFault::ReadOnly);
    }
    ::close(fd);
    try {
        return attachPath(path, schema, &spec);
    } catch (...) {
        ::unlink(native.constData());
        throw;
    }
}

// Attaches the file at `path` as `schema`, first creating the table of `create` in it (an empty
// file) when given, and reads its definition back.
QString Connection::attachPath(const QString& path, const QString& schema,
                               const store::TableSpec* create)
{
    const QString uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(
                            QUrl::FullyEncoded) + "?mode=rw";
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, "ATTACH DATABASE ? AS ?", -1, &st, nullptr) != SQLITE_OK)
        throwSqlite(db_, path);
    const QByteArray u = uri.toUtf8(), s = schema.toUtf8();
    sqlite3_bind_text(st, 1, u.constData(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, s.constData(), -1, SQLITE_TRANSIENT);
    const int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) throwSqlite(db_, path);

    const QString q = QString::fromStdString(store::quoted(schema.toStdString()));
    const auto detach = [&] {
        if (inTransaction()) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_exec(db_, ("DETACH DATABASE " + q).toUtf8().constData(), nullptr, nullptr,
                     nullptr);
    };
    store::TableSpec spec;
    try {
        if (create) {
            exec("BEGIN IMMEDIATE", path);
            for (const std::string& sql : store::createStatements(*create, schema.toStdString()))
                exec(QString::fromStdString(sql), path);
            exec("COMMIT", path);
        }
        std::string error;
        if (!store::readSpec(db_, schema.toStdString(), QFileInfo(path).fileName().toStdString(),
                             spec, error)) {
            // A file that cannot be read now (held by another program) is not one that is no
            // table: the schema is read once more, its failure reported as it is.
            exec("SELECT 1 FROM " + q + ".sqlite_master LIMIT 1", path);
            throw sqliteError(SQLITE_NOTADB, QString::fromStdString(error), path, {});
        }
        exec("PRAGMA " + q + ".journal_mode=DELETE", path);
        exec("PRAGMA " + q + ".synchronous=FULL", path);
    } catch (...) {
        detach();
        throw;
    }
    specs_.insert(schema, spec);
    return schema;
}

bool Connection::attachByTableName(const QString& tableName)
{
    const QString file = resolve(tableName + ".DB");
    if (file.isEmpty()) return false;
    attach(QFileInfo(file).fileName());
    return true;
}

const store::TableSpec& Connection::spec(const QString& schema) const
{
    auto it = specs_.constFind(schema.toUpper());
    if (it == specs_.constEnd()) throw EngineError("Table " + schema + " is not open");
    return it.value();
}

void Connection::detachAll()
{
    forgetStatements();
    for (auto it = specs_.cbegin(); it != specs_.cend(); ++it) {
        const QString sql = "DETACH DATABASE "
                            + QString::fromStdString(store::quoted(it.key().toStdString()));
        sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    }
    specs_.clear();
    bump();
}

void Connection::exec(const QString& sql, const QString& table)
{
    char* err = nullptr;
    if (sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &err) != SQLITE_OK) {
        const QString msg = QString::fromUtf8(err ? err : "unknown error");
        sqlite3_free(err);
        throw sqliteError(sqlite3_extended_errcode(db_), msg, table, folder_);
    }
}

void Connection::begin() { exec("BEGIN IMMEDIATE"); }
void Connection::commit(const QString& table) { exec("COMMIT", table); bump(); }
void Connection::rollback() { exec("ROLLBACK"); bump(); }
bool Connection::inTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

ReadTransaction::ReadTransaction(Connection& c) : c_(c)
{
    if (c_.inTransaction()) return;
    c_.exec("BEGIN DEFERRED");
    own_ = true;
}

void ReadTransaction::end()
{
    if (!own_) return;
    own_ = false;
    // Nothing was written: COMMIT only lets the locks go. Should it fail, ROLLBACK does.
    if (c_.inTransaction()
        && sqlite3_exec(c_.handle(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        sqlite3_exec(c_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

}  // namespace db

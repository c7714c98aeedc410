#include "tests/common/TestData.h"

#include "core/TableDefs.h"
#include "core/engine/Database.h"
#include "core/engine/EngineConfig.h"
#include "core/engine/Table.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <sqlite3.h>

#include <stdexcept>

namespace testdata {

void makeDataFolder(const QString& folder)
{
    db::Session::instance().reset();
    QDir().mkpath(folder);
    for (const store::TableSpec& t : tables::all()) {
        const QString path = QDir(folder).filePath(QString::fromStdString(t.fileName));
        QFile::remove(path);
        sqlite3* h = nullptr;
        if (sqlite3_open(path.toUtf8().constData(), &h) != SQLITE_OK)
            throw std::runtime_error("cannot create " + path.toStdString());
        store::registerCollation(h);
        for (const std::string& sql : store::createStatements(t, "main")) {
            if (sqlite3_exec(h, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
                const std::string err = sqlite3_errmsg(h);
                sqlite3_close(h);
                throw std::runtime_error(sql + ": " + err);
            }
        }
        sqlite3_close(h);
    }
    db::EngineConfig::overrideAlias("Tolmare", folder);
}

QString nextDataFolder(const QTemporaryDir& dir, bool withTables)
{
    static int n = 0;
    const QString folder = dir.filePath(QString("d%1").arg(++n));
    if (withTables) makeDataFolder(folder);
    else QDir().mkpath(folder);
    return folder;
}

void addRow(const QString& fileName, const QVariantMap& values)
{
    db::Table t;
    t.setTableName(fileName);
    t.open();
    t.append();
    for (auto it = values.cbegin(); it != values.cend(); ++it) t.fieldByName(it.key()).setValue(it.value());
    t.post();
    t.close();
}

int countRows(const QString& folder, const QString& fileName)
{
    sqlite3* h = nullptr;
    const QString path = QDir(folder).filePath(fileName);
    if (sqlite3_open_v2(path.toUtf8().constData(), &h, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(h);
        return -1;
    }
    store::registerCollation(h);
    const QString table = QString(fileName).section('.', 0, 0).toUpper();
    sqlite3_stmt* st = nullptr;
    int n = -1;
    if (sqlite3_prepare_v2(h, ("SELECT COUNT(*) FROM \"" + table + "\"").toUtf8().constData(), -1,
                           &st, nullptr) == SQLITE_OK
        && sqlite3_step(st) == SQLITE_ROW)
        n = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(h);
    return n;
}

QString copyForOtherUser(const QString& dir, const QString& program)
{
    const QString to = QDir(dir).filePath("programa");
    const auto all = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                     | QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup;
    if (!QDir().mkpath(to) || !QFile::setPermissions(to, all)) return {};
    const QString from = QCoreApplication::applicationDirPath();
    for (const QString& name : {program, QStringLiteral("TBLSCN.DLL")}) {
        const QString copy = QDir(to).filePath(name);
        QFile::remove(copy);
        if (!QFile::copy(QDir(from).filePath(name), copy) || !QFile::setPermissions(copy, all))
            return {};
    }
    return QDir(to).filePath(program);
}

}  // namespace testdata

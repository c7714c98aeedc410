// The schema check end to end: the real TBLSCN.DLL loaded from disk, real table files.
#include "core/MakeDBx.h"
#include "core/TableDefs.h"
#include "core/engine/EngineConfig.h"
#include "core/engine/EngineError.h"
#include "core/engine/Table.h"
#include "core/store/StoreSchema.h"
#include "tests/common/TestData.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <dlfcn.h>

namespace {

struct Note {
    int state, total, current;
    QString table;
};
QVector<Note> g_notes;
int g_stopAt = -1;  // answer "stop" at this notification

int recordingStatus(const unsigned char* rec)
{
    auto le = [&](int at) {
        return int(uint32_t(rec[at]) | uint32_t(rec[at + 1]) << 8 | uint32_t(rec[at + 2]) << 16
                   | uint32_t(rec[at + 3]) << 24);
    };
    g_notes.append({rec[0], le(1), le(5),
                    QString::fromLatin1(reinterpret_cast<const char*>(rec + 10), rec[9])});
    return g_notes.size() - 1 == g_stopAt ? 0 : 1;
}

QByteArray hashOf(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

store::TableSpec specOf(const QString& path, const std::string& fileName)
{
    sqlite3* h = nullptr;
    sqlite3_open(path.toUtf8().constData(), &h);
    store::registerCollation(h);
    store::TableSpec s;
    std::string err;
    store::readSpec(h, "main", fileName, s, err);
    sqlite3_close(h);
    return s;
}

void exec(const QString& path, const QStringList& sql, bool reversedCollation = false)
{
    sqlite3* h = nullptr;
    sqlite3_open(path.toUtf8().constData(), &h);
    if (reversedCollation) {
        sqlite3_create_collation(h, "INTL", SQLITE_UTF8, nullptr,
                                 [](void*, int na, const void* a, int nb, const void* b) {
                                     return -store::intlCompare(static_cast<const char*>(a), na,
                                                                static_cast<const char*>(b), nb);
                                 });
    } else {
        store::registerCollation(h);
    }
    for (const QString& s : sql) sqlite3_exec(h, s.toUtf8().constData(), nullptr, nullptr, nullptr);
    sqlite3_close(h);
}

}  // namespace

class TestTblscn : public testdata::DataFolderTest {
    Q_OBJECT

private slots:
    void init()
    {
        freshFolder(false);
        qputenv("TOLMARE_ENGINE_CONFIG", dir_.filePath("none.ini").toUtf8());
        g_notes.clear();
        g_stopAt = -1;
        makedbx::setStatusCallback(recordingStatus);
    }

    void createsMissingTables()
    {
        makedbx::checkDataFolder(folder_);
        for (const store::TableSpec& t : tables::all()) {
            store::TableSpec got = specOf(QDir(folder_).filePath(QString::fromStdString(t.fileName)),
                                          t.fileName);
            QCOMPARE(got == t, true);
        }
        QCOMPARE(g_notes.first().state, int(TBLSCN_START));
        QCOMPARE(g_notes.last().state, int(TBLSCN_END));
        QCOMPARE(g_notes.at(1).state, int(TBLSCN_CREATING));
        QCOMPARE(g_notes.at(1).table, QString("ASSOCIADOS.DB"));
        QCOMPARE(g_notes.at(1).total, 5);
        QCOMPARE(g_notes.at(g_notes.size() - 2).current, 5);
    }

    void matchingTablesStayByteForByte()
    {
        makedbx::checkDataFolder(folder_);
        testdata::makeDataFolder(folder_ + "/unused");
        const QString grupo = QDir(folder_).filePath("GRUPO.DB");
        exec(grupo, {"INSERT INTO GRUPO (GRP_DESCRICAO) VALUES ('Ativos')"});
        QMap<QString, QByteArray> before;
        for (const QString& f : QDir(folder_).entryList(QDir::Files)) before[f] = hashOf(QDir(folder_).filePath(f));
        g_notes.clear();
        makedbx::checkDataFolder(folder_);
        for (const QString& f : before.keys()) QCOMPARE(hashOf(QDir(folder_).filePath(f)), before[f]);
        for (int i = 1; i + 1 < g_notes.size(); ++i) QCOMPARE(g_notes[i].state, int(TBLSCN_VERIFYING));
    }

    void modifiesKeepingRows()
    {
        const QString grupo = QDir(folder_).filePath("GRUPO.DB");
        // An older GRUPO: a shorter description and no user field.
        exec(grupo, {"CREATE TABLE GRUPO (GRP_ID INTEGER PRIMARY KEY AUTOINCREMENT, "
                     "GRP_DESCRICAO ALPHA_CHAR(10) COLLATE INTL, GRP_DTA_CAD DATE_TEXT)",
                     "INSERT INTO GRUPO VALUES (3, 'Ativos', '2026-01-02')",
                     "INSERT INTO GRUPO VALUES (7, 'Aposentados', NULL)",
                     "DELETE FROM GRUPO WHERE GRP_ID = 7",
                     "INSERT INTO GRUPO VALUES (5, 'Outros', NULL)"});
        makedbx::checkDataFolder(folder_);
        QCOMPARE(specOf(grupo, "GRUPO.DB") == *tables::find("GRUPO.DB"), true);
        bool modified = false;
        for (const Note& n : g_notes) modified = modified || (n.state == TBLSCN_MODIFYING && n.table == "GRUPO.DB");
        QVERIFY(modified);
        testdata::makeDataFolder(folder_ + "/x");  // resets the engine
        db::EngineConfig::overrideAlias("Tolmare", folder_);
        db::Table t;
        t.setTableName("GRUPO.DB");
        t.open();
        QCOMPARE(t.recordCount(), 2);
        QCOMPARE(t.fieldByName("GRP_DESCRICAO").asString(), QString("Ativos"));
        QCOMPARE(t.fieldByName("GRP_DTA_CAD").asDate(), QDate(2026, 1, 2));
        t.append();
        t.fieldByName("GRP_DESCRICAO").setAsString("Novo");
        t.post();
        QCOMPARE(t.fieldByName("GRP_ID").asInteger(), 8);  // 7 was given once: never again
    }

    void rebuildsDamagedTables()
    {
        makedbx::checkDataFolder(folder_);
        const QString grupo = QDir(folder_).filePath("GRUPO.DB");
        // Rows written under another order than the index's: the index no longer agrees.
        exec(grupo, {"INSERT INTO GRUPO (GRP_DESCRICAO) VALUES ('b')",
                     "INSERT INTO GRUPO (GRP_DESCRICAO) VALUES ('a')",
                     "INSERT INTO GRUPO (GRP_DESCRICAO) VALUES ('c')"}, true);
        const QString debito = QDir(folder_).filePath("DEBITO.DB");
        QFile garbage(debito);
        QVERIFY(garbage.open(QIODevice::WriteOnly | QIODevice::Truncate));
        garbage.write(QByteArray(5000, 'x'));
        garbage.close();
        g_notes.clear();
        makedbx::checkDataFolder(folder_);
        QStringList rebuilt;
        for (const Note& n : g_notes) if (n.state == TBLSCN_REBUILDING) rebuilt << n.table;
        QCOMPARE(rebuilt, QStringList({"DEBITO.DB", "GRUPO.DB"}));
        QVERIFY(QFile::exists(debito + ".damaged"));
        QCOMPARE(testdata::countRows(folder_, "GRUPO.DB"), 3);
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), 0);
    }

    void cancelStopsAndReports()
    {
        g_stopAt = 1;
        try {
            makedbx::checkDataFolder(folder_);
            QFAIL("no error after a cancel");
        } catch (const db::EngineError& e) {
            QVERIFY(!e.message().isEmpty());
        }
        QCOMPARE(g_notes.last().state, int(TBLSCN_END));
        QCOMPARE(QDir(folder_).entryList(QDir::Files).size(), 0);
    }

    void loadOrderAndBusy()
    {
        // From the engine's folder when DLLPath names one.
        const QString own = dir_.filePath("engine");
        QDir().mkpath(own);
        QFile::remove(own + "/TBLSCN.DLL");
        QVERIFY(QFile::copy(QCoreApplication::applicationDirPath() + "/TBLSCN.DLL", own + "/TBLSCN.DLL"));
        QFile ini(dir_.filePath("own.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write(QString("DLLPath=%1\n").arg(own).toUtf8());
        ini.close();
        qputenv("TOLMARE_ENGINE_CONFIG", dir_.filePath("own.ini").toUtf8());
        makedbx::checkDataFolder(folder_);
        QCOMPARE(QDir(folder_).entryList(QDir::Files).size(), 5);
        // Already loaded in the process: busy.
        void* held = dlopen((own + "/TBLSCN.DLL").toUtf8().constData(), RTLD_NOW);
        QVERIFY(held);
        try {
            makedbx::checkDataFolder(folder_);
            QFAIL("a loaded component was not reported busy");
        } catch (const db::EngineError& e) {
            QCOMPARE(e.message(), QString("TBLSCN.DLL is busy"));
        }
        dlclose(held);
        makedbx::checkDataFolder(folder_);  // and usable again once released
    }

    void loadingErrors()
    {
        try {
            makedbx::CheckTables({{TBLSCN_INT, 0, nullptr, 0, nullptr}});
            QFAIL("accepted a wrong first parameter");
        } catch (const db::EngineError& e) {
            QCOMPARE(e.message(), QString("CheckTables invalid parameter"));
        }
        // A library without DEF in the engine's folder.
        const QString fake = dir_.filePath("fake");
        QDir().mkpath(fake);
        QVERIFY(QFile::copy(QLibraryInfo::path(QLibraryInfo::LibrariesPath) + "/libQt6Test.so.6",
                            fake + "/TBLSCN.DLL"));
        QFile ini(dir_.filePath("engine.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QString("DLLPath=%1\n").arg(fake).toUtf8());
        ini.close();
        qputenv("TOLMARE_ENGINE_CONFIG", dir_.filePath("engine.ini").toUtf8());
        try {
            makedbx::checkDataFolder(folder_);
            QFAIL("loaded a library without DEF");
        } catch (const db::EngineError& e) {
            QCOMPARE(e.message(), fake + "/TBLSCN.DLL invalid version");
        }
    }
};

QTEST_GUILESS_MAIN(TestTblscn)
#include "tst_tblscn.moc"

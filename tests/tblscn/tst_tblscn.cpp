// The schema check end to end: the real TBLSCN.DLL loaded from disk, real table files.
#include "core/MakeDBx.h"
#include "core/TableDefs.h"
#include "core/dm/UDMTolmare.h"
#include "core/engine/EngineConfig.h"
#include "core/engine/EngineError.h"
#include "core/engine/Table.h"
#include "core/store/StoreSchema.h"
#include "tblscn/SoundFiles.h"
#include "tests/common/ScriptedDialogs.h"
#include "tests/common/TestData.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <dlfcn.h>
#include <thread>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

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

// Runs the schema check on `folder`; the error it raised, empty when none.
QString checkError(const QString& folder)
{
    try {
        makedbx::checkDataFolder(folder);
    } catch (const db::EngineError& e) {
        return e.message();
    }
    return {};
}

// A second process holding a lock on a table file ("write": a write transaction begun,
// "exclusive": the exclusive lock) until the test lets it go.
class LockHolder {
public:
    bool start(const QString& path, const QString& mode)
    {
        p_.start(QCoreApplication::applicationFilePath(), {"--hold", path, mode});
        return p_.waitForReadyRead(10000) && p_.readLine().trimmed() == "ready";
    }
    ~LockHolder()
    {
        p_.closeWriteChannel();
        p_.waitForFinished(10000);
    }

private:
    QProcess p_;
};

// Runs tolmare-cli; the exit code, with standard error in `err`.
int runCli(const QStringList& args, QString* err = nullptr, QString* out = nullptr)
{
    QProcess cli;
    cli.start(QCoreApplication::applicationDirPath() + "/tolmare-cli", args);
    if (!cli.waitForFinished(60000)) return -1;
    if (err) *err = QString::fromUtf8(cli.readAllStandardError());
    if (out) *out = QString::fromUtf8(cli.readAllStandardOutput());
    return cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
}

// The table as an older version of the program left it: its last field outside every key is
// missing and its first Alpha field is five characters wider.
store::TableSpec olderForm(const store::TableSpec& t)
{
    store::TableSpec old = t;
    int drop = int(old.fields.size());
    for (; drop >= 1; --drop) {
        bool keyed = false;
        for (const store::IndexSpec& idx : old.indexes)
            keyed = keyed || std::count(idx.fields.begin(), idx.fields.end(), drop) > 0;
        if (!keyed) break;
    }
    old.fields.erase(old.fields.begin() + (drop - 1));
    for (store::IndexSpec& idx : old.indexes)
        for (int& f : idx.fields)
            if (f > drop) --f;
    for (store::FieldSpec& f : old.fields)
        if (f.type == store::FieldType::Alpha) {
            f.width += 5;
            break;
        }
    return old;
}

// Creates the table file `spec` with rows 1..`rows`, every field given a value made of the
// row's number.
void writeTable(const QString& path, const store::TableSpec& spec, int rows)
{
    QFile::remove(path);
    QStringList sql;
    for (const std::string& s : store::createStatements(spec, "main"))
        sql << QString::fromStdString(s);
    for (int n = 1; n <= rows; ++n) {
        QStringList values;
        for (const store::FieldSpec& f : spec.fields) {
            switch (f.type) {
            case store::FieldType::Alpha: values << QString("'v%1'").arg(n); break;
            case store::FieldType::Date:
                values << QString("'2026-01-%1'").arg(n, 2, 10, QChar('0'));
                break;
            default: values << QString::number(n);
            }
        }
        sql << QString("INSERT INTO %1 VALUES (%2)")
                   .arg(QString::fromStdString(spec.tableName()), values.join(", "));
    }
    exec(path, sql);
}

QString tableSql(const QString& path, const QString& query)
{
    sqlite3* h = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &h, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    QString out;
    if (sqlite3_prepare_v2(h, query.toUtf8().constData(), -1, &st, nullptr) == SQLITE_OK
        && sqlite3_step(st) == SQLITE_ROW)
        out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    sqlite3_close(h);
    return out;
}

int modeOf(const QString& path)
{
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return int(st.st_mode & 0777);
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

    void lockedTableIsNeverDamaged_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("lock");
        QTest::addColumn<bool>("older");       // the file needs restructuring
        QTest::addColumn<QString>("message");  // empty: the check succeeds
        QTest::newRow("exclusive lock, matching table")
            << "RET_DEBITO.DB" << "exclusive" << false << "trava exclusiva";
        QTest::newRow("write lock, table to restructure")
            << "DEBITO.DB" << "write" << true << "trava de escrita";
        QTest::newRow("write lock, matching table: read and verified")
            << "DEBITO.DB" << "write" << false << "";
    }

    void lockedTableIsNeverDamaged()
    {
        QFETCH(QString, file);
        QFETCH(QString, lock);
        QFETCH(bool, older);
        QFETCH(QString, message);
        makedbx::checkDataFolder(folder_);
        const store::TableSpec& def = *tables::find(file.toStdString());
        const QString path = QDir(folder_).filePath(file);
        writeTable(path, older ? olderForm(def) : def, 3);
        const QByteArray before = hashOf(path);
        {
            LockHolder holder;
            QVERIFY(holder.start(path, lock));
            QString error = checkError(folder_);
            if (message.isEmpty()) {
                QCOMPARE(error, QString());
            } else {
                QVERIFY2(error.contains(file) && error.contains(message), qPrintable(error));
            }
            QCOMPARE(hashOf(path), before);
        }
        QCOMPARE(hashOf(path), before);
        QVERIFY(!QFile::exists(path + ".damaged"));
        QCOMPARE(testdata::countRows(folder_, file), 3);
    }

    void commandLineStopsOnALockedTable()
    {
        makedbx::checkDataFolder(folder_);
        const QString path = QDir(folder_).filePath("DEBITO.DB");
        writeTable(path, *tables::find("DEBITO.DB"), 4);
        const QByteArray before = hashOf(path);
        LockHolder holder;
        QVERIFY(holder.start(path, "exclusive"));
        QString err, out;
        QCOMPARE(runCli({"--dados", folder_, "verificar"}, &err, &out), 1);
        QVERIFY2(err.contains("DEBITO.DB") && err.contains("trava"), qPrintable(err));
        QVERIFY(!out.contains("Tabelas verificadas."));
        QCOMPARE(hashOf(path), before);
    }

    void everyTableRestructuresKeepingRows_data()
    {
        QTest::addColumn<QString>("file");
        for (const store::TableSpec& t : tables::all())
            QTest::newRow(t.fileName.c_str()) << QString::fromStdString(t.fileName);
    }

    void everyTableRestructuresKeepingRows()
    {
        QFETCH(QString, file);
        const store::TableSpec& def = *tables::find(file.toStdString());
        const QString path = QDir(folder_).filePath(file);
        writeTable(path, olderForm(def), 2);
        makedbx::checkDataFolder(folder_);  // no error, and every table after it is done too
        for (const store::TableSpec& t : tables::all()) {
            const QString p = QDir(folder_).filePath(QString::fromStdString(t.fileName));
            QVERIFY2(specOf(p, t.fileName) == t, t.fileName.c_str());
        }
        QCOMPARE(testdata::countRows(folder_, file), 2);
        QCOMPARE(tableSql(path, QString("SELECT min(rowid) FROM %1").arg(def.tableName().c_str()))
                     .isEmpty(), false);
        bool modified = false;
        for (const Note& n : g_notes)
            modified = modified || (n.state == TBLSCN_MODIFYING && n.table == file);
        QVERIFY(modified);
        if (def.rowidKey()) {  // the counter survives: 2 is never given again
            QCOMPARE(tableSql(path, QString("SELECT seq FROM sqlite_sequence WHERE name = '%1'")
                                        .arg(def.tableName().c_str())),
                     QString("2"));
        }
        QVERIFY(QDir(folder_).entryList({"*.damaged*", "*.tblscn-new*"}).isEmpty());
    }

    void killDuringRestructureLeavesBeforeOrAfter_data()
    {
        QTest::addColumn<int>("delayMs");
        QTest::newRow("before the write") << 0;
        QTest::newRow("in the write transaction") << 150;
        QTest::newRow("later in it") << 300;
        QTest::newRow("after the commit") << 3000;
    }

    void killDuringRestructureLeavesBeforeOrAfter()
    {
        QFETCH(int, delayMs);
        const int rows = 60000;
        const store::TableSpec& def = *tables::find("DEBITO.DB");
        const store::TableSpec old = olderForm(def);
        const QString path = QDir(folder_).filePath("DEBITO.DB");
        writeTable(path, old, 0);
        exec(path, {QString("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n "
                            "WHERE x < %1) INSERT INTO DEBITO SELECT '2026-01-01', x, x * 1.5, "
                            "'2026-01-02' FROM n").arg(rows)});
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--check", folder_});
        QVERIFY(child.waitForReadyRead(20000));  // the component is at DEBITO.DB
        QTest::qWait(delayMs);
        if (child.state() != QProcess::NotRunning) {
            child.kill();
            QVERIFY(child.waitForFinished(10000));
        }
        // Whatever the moment: the old structure or the new one, never fewer rows.
        const store::TableSpec now = specOf(path, "DEBITO.DB");
        QVERIFY(now == old || now == def);

        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), rows);
        makedbx::checkDataFolder(folder_);
        QVERIFY(specOf(path, "DEBITO.DB") == def);
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), rows);
    }

    void twoChecksAtOnceAgree()
    {
        const QString path = QDir(folder_).filePath("DEBITO.DB");
        writeTable(path, olderForm(*tables::find("DEBITO.DB")), 500);
        QProcess a, b;
        a.start(QCoreApplication::applicationFilePath(), {"--check", folder_});
        b.start(QCoreApplication::applicationFilePath(), {"--check", folder_});
        QVERIFY(a.waitForFinished(60000) && b.waitForFinished(60000));
        QCOMPARE(a.exitCode(), 0);
        QCOMPARE(b.exitCode(), 0);
        for (const store::TableSpec& t : tables::all()) {
            const QString file = QDir(folder_).filePath(QString::fromStdString(t.fileName));
            QVERIFY(specOf(file, t.fileName) == t);
        }
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), 500);
        QCOMPARE(QDir(folder_).entryList(QDir::Files).size(), 5);
    }

    // Programs remembering sound files at once share one record: each keeps every other's
    // lines, and no temporary file is left beside it.
    void filesRememberedAtOnceAreAllKept()
    {
        const QString state = dir_.filePath("sound-files.txt");
        const QByteArray saved = qgetenv("TOLMARE_TBLSCN_STATE");
        qputenv("TOLMARE_TBLSCN_STATE", state.toUtf8());
        std::vector<std::string> files;
        for (int i = 0; i < 160; ++i) {
            files.push_back(dir_.filePath(QString("t%1.DB").arg(i)).toStdString());
            QFile f(QString::fromStdString(files.back()));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("x") == 1);
        }
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t)
            threads.emplace_back([&files, t] {
                for (size_t i = size_t(t); i < files.size(); i += 8)
                    tblscn::rememberSound(files[i]);
            });
        for (std::thread& t : threads) t.join();
        int known = 0;
        for (const std::string& f : files) known += tblscn::knownSound(f);
        qputenv("TOLMARE_TBLSCN_STATE", saved);
        QCOMPARE(known, int(files.size()));
        QCOMPARE(QDir(dir_.path()).entryList({"sound-files.txt.*"}, QDir::Files),
                 QStringList({"sound-files.txt.lock"}));
    }

    void foreignColumnIsDroppedRowsKept_data()
    {
        QTest::addColumn<QString>("column");
        QTest::newRow("text") << "NOTA TEXT";
        QTest::newRow("no type") << "NOTA";
        QTest::newRow("integer with default") << "NOTA INTEGER DEFAULT 0";
    }

    void foreignColumnIsDroppedRowsKept()
    {
        QFETCH(QString, column);
        makedbx::checkDataFolder(folder_);
        const QString path = QDir(folder_).filePath("DEBITO.DB");
        writeTable(path, *tables::find("DEBITO.DB"), 5);
        exec(path, {"ALTER TABLE DEBITO ADD COLUMN " + column});
        g_notes.clear();
        makedbx::checkDataFolder(folder_);
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), 5);
        QVERIFY(specOf(path, "DEBITO.DB") == *tables::find("DEBITO.DB"));
        QVERIFY(!QFile::exists(path + ".damaged"));
        for (const Note& n : g_notes) QVERIFY(n.state != TBLSCN_REBUILDING);
    }

    void unreadableTableIsToldAndKept()
    {
        db::EngineConfig::overrideAlias("Tolmare", folder_);
        makedbx::checkDataFolder(folder_);
        const QString debito = QDir(folder_).filePath("DEBITO.DB");
        auto spoil = [&] {
            QFile f(debito);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QByteArray(5000, 'x'));
        };
        spoil();
        testdata::ScriptedDialogs dialogs;
        {
            TDMTolmare dm;
            dm.DataModuleCreate();
            QVERIFY(dm.TParametros->active());
        }
        QCOMPARE(dialogs.shown.size(), 1);
        const QString& text = dialogs.shown.first();
        QVERIFY2(text.contains("DEBITO.DB") && text.contains("0 registro(s)")
                     && text.contains("DEBITO.DB.damaged") && text.contains(folder_),
                 qPrintable(text));
        QCOMPARE(hashOf(debito + ".damaged"), QCryptographicHash::hash(QByteArray(5000, 'x'),
                                                                      QCryptographicHash::Sha256));
        // Again from the command line: said on standard error, non-zero exit, nothing overwritten.
        db::Session::instance().reset();
        spoil();
        QString err;
        QCOMPARE(runCli({"--dados", folder_, "verificar"}, &err), 1);
        QVERIFY2(err.contains("DEBITO.DB.damaged.2"), qPrintable(err));
        QVERIFY(QFile::exists(debito + ".damaged"));
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), 0);
    }

    void oneFileServesATable_data()
    {
        QTest::addColumn<QStringList>("files");  // GRUPO files made, each with (index + 1) rows
        QTest::addColumn<int>("rows");           // GRUPO rows afterwards; -1: the check stops
        QTest::addColumn<QStringList>("after");  // the GRUPO files afterwards
        QTest::newRow("only a lower-case file: taken under the defined name")
            << QStringList{"grupo.db"} << 1 << QStringList{"GRUPO.DB"};
        QTest::newRow("the defined name beside another case: the defined name serves")
            << QStringList{"GRUPO.DB", "grupo.db"} << 1 << QStringList{"GRUPO.DB", "grupo.db"};
        QTest::newRow("two files in other cases: the operator chooses")
            << QStringList{"Grupo.db", "grupo.DB"} << -1 << QStringList{"Grupo.db", "grupo.DB"};
    }

    void oneFileServesATable()
    {
        QFETCH(QStringList, files);
        QFETCH(int, rows);
        QFETCH(QStringList, after);
        for (int i = 0; i < files.size(); ++i)
            writeTable(QDir(folder_).filePath(files[i]), *tables::find("GRUPO.DB"), i + 1);
        QString error = checkError(folder_);
        QStringList grupo = QDir(folder_).entryList({"grupo.db"}, QDir::Files);
        grupo.sort();
        after.sort();
        QCOMPARE(grupo, after);
        if (rows < 0) {
            QVERIFY2(error.contains(files[0]) && error.contains(files[1]), qPrintable(error));
            return;
        }
        QCOMPARE(error, QString());
        // The engine reads the same file the check worked on.
        db::Session::instance().reset();
        db::EngineConfig::overrideAlias("Tolmare", folder_);
        db::Table t;
        t.setTableName("GRUPO.DB");
        t.open();
        QCOMPARE(t.recordCount(), rows);
    }

    void newFilesAreTheOwnersOnly()
    {
        const mode_t old = ::umask(0);
        makedbx::checkDataFolder(folder_);
        const QString debito = QDir(folder_).filePath("DEBITO.DB");
        QFile f(debito);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray(3000, 'y'));
        f.close();
        makedbx::checkDataFolder(folder_);  // rebuilt into a new file
        ::umask(old);
        for (const store::TableSpec& t : tables::all())
            QCOMPARE(modeOf(QDir(folder_).filePath(QString::fromStdString(t.fileName))), 0600);
    }

    void fullDiskChangesNothingHalfway()
    {
        if (::geteuid() != 0) QSKIP("mounting a small file system needs root");
        const QString small = dir_.filePath("small");
        QDir().mkpath(small);
        if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", small}) != 0)
            QSKIP("cannot mount a small file system here");
        struct Unmount {
            QString at;
            ~Unmount() { QProcess::execute("umount", {at}); }
        } unmount{small};
        // Filling: the tables created before the disk is full are whole, the rest are missing.
        QString error = checkError(small);
        QVERIFY2(error.contains("Disco cheio"), qPrintable(error));
        QVERIFY(QDir(small).entryList({"*.tblscn-new*", "*-journal"}, QDir::Files).isEmpty());
        for (const QString& f : QDir(small).entryList(QDir::Files))
            QVERIFY2(specOf(QDir(small).filePath(f), f.toStdString())
                         == *tables::find(f.toStdString()), qPrintable(f));
        // A restructure that runs out of room is rolled back: the table stays as it was.
        QCOMPARE(QProcess::execute("mount", {"-o", "remount,size=256k", small}), 0);
        makedbx::checkDataFolder(small);
        const QString debito = small + "/DEBITO.DB";
        writeTable(debito, olderForm(*tables::find("DEBITO.DB")), 0);
        exec(debito, {"WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n "
                      "WHERE x < 1500) "
                      "INSERT INTO DEBITO SELECT '2026-01-01', x, x * 1.5, '2026-01-02' FROM n"});
        const QByteArray before = hashOf(debito);
        error = checkError(small);
        QVERIFY2(error.contains("Disco cheio") && error.contains("DEBITO.DB"), qPrintable(error));
        QCOMPARE(hashOf(debito), before);
        QCOMPARE(testdata::countRows(small, "DEBITO.DB"), 1500);
    }

    void folderWithoutWritePermissionIsSaidPlainly()
    {
        if (::geteuid() != 0) QSKIP("needs root to run the check as another user");
        // A folder the other user may read but not write, holding no table yet.
        QVERIFY(QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner
                                                       | QFile::ExeOwner | QFile::ReadOther
                                                       | QFile::ExeOther));
        const QString program = testdata::copyForOtherUser(
            dir_.path(), QFileInfo(QCoreApplication::applicationFilePath()).fileName());
        QVERIFY(!program.isEmpty());
        QProcess child;
        child.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups", program,
                                "--check", folder_});
        QVERIFY(child.waitForFinished(30000));
        if (child.exitCode() == 127) QSKIP("cannot run as another user here");
        const QString err = QString::fromUtf8(child.readAllStandardError());
        QCOMPARE(child.exitCode(), 1);
        QVERIFY2(err.contains("Sem permissão de escrita") && err.contains("ASSOCIADOS.DB"),
                 qPrintable(err));
        QVERIFY(QDir(folder_).entryList(QDir::Files).isEmpty());
    }

    void commandLineNeverStartsAMistypedFolder_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("create");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("missing folder") << false << false << 1;
        QTest::newRow("existing folder without tables") << true << false << 1;
        QTest::newRow("missing folder, --criar-pasta") << false << true << 0;
    }

    void commandLineNeverStartsAMistypedFolder()
    {
        QFETCH(bool, exists);
        QFETCH(bool, create);
        QFETCH(int, exitCode);
        const QString folder = folder_ + "/Dados, 2026";
        if (exists) QVERIFY(QDir().mkpath(folder));
        QStringList args{"--dados", folder};
        if (create) args << "--criar-pasta";
        QString err;
        QCOMPARE(runCli(args << "verificar", &err), exitCode);
        QVERIFY2(err.contains(folder), qPrintable(err));
        if (exitCode) {
            QVERIFY(err.contains("--criar-pasta"));
            QCOMPARE(QFileInfo(folder).isDir(), exists);
            QVERIFY(!exists || QDir(folder).isEmpty());
        } else {
            QCOMPARE(modeOf(folder), 0700);
            QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 5);
        }
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

int main(int argc, char** argv)
{
    // Helper mode: hold a lock on a table file until standard input closes.
    if (argc == 4 && QByteArray(argv[1]) == "--hold") {
        sqlite3* h = nullptr;
        if (sqlite3_open_v2(argv[2], &h, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) return 1;
        const char* begin =
            QByteArray(argv[3]) == "exclusive" ? "BEGIN EXCLUSIVE" : "BEGIN IMMEDIATE";
        if (sqlite3_exec(h, begin, nullptr, nullptr, nullptr) != SQLITE_OK) return 1;
        printf("ready\n");
        fflush(stdout);
        char buf[64];
        while (fread(buf, 1, sizeof buf, stdin) > 0) {}
        sqlite3_exec(h, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(h);
        return 0;
    }
    QCoreApplication app(argc, argv);
    // Helper mode: run the schema check on a folder, saying when it reaches DEBITO.DB.
    if (argc == 3 && QByteArray(argv[1]) == "--check") {
        makedbx::setStatusCallback([](const unsigned char* rec) {
            const QByteArray table(reinterpret_cast<const char*>(rec + 10), rec[9]);
            if (rec[0] == TBLSCN_VERIFYING && table == "DEBITO.DB") {
                printf("at DEBITO.DB\n");
                fflush(stdout);
            }
            return 1;
        });
        try {
            makedbx::checkDataFolder(QString::fromLocal8Bit(argv[2]));
        } catch (const db::EngineError& e) {
            fprintf(stderr, "%s\n", e.message().toUtf8().constData());
            return 1;
        }
        return 0;
    }
    TestTblscn t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_tblscn.moc"

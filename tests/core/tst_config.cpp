// The engine configuration as written by hand, and the data folder made before the tables.
#include "core/DataFolder.h"
#include "core/engine/Database.h"
#include "core/engine/EngineConfig.h"
#include "core/engine/EngineError.h"
#include "tests/common/ScriptedDialogs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

int modeOf(const QString& path)
{
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return int(st.st_mode & 0777);
}

}  // namespace

class TestConfig : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    int n_ = 0;

    QString writeIni(const QByteArray& text)
    {
        const QString path = dir_.filePath(QString("engine%1.ini").arg(++n_));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) f.write(text);
        qputenv("TOLMARE_ENGINE_CONFIG", QFile::encodeName(path));
        return path;
    }

private slots:
    void aliasIsTheWholeLine_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("dllPath");
        QTest::newRow("comma") << QByteArray("[Aliases]\nTolmare=/dados/Tolmare, Sede\n")
                               << "/dados/Tolmare, Sede" << "";
        QTest::newRow("semicolon") << QByteArray("[Aliases]\nTolmare=/dados/a;b\n") << "/dados/a;b"
                                   << "";
        QTest::newRow("single backslashes")
            << QByteArray("[Aliases]\r\nTolmare=C:\\Tolmare\\Dados\r\n") << "C:/Tolmare/Dados"
            << "";
        QTest::newRow("doubled backslashes")
            << QByteArray("[Aliases]\nTolmare=C:\\\\Tolmare\\\\Dados\n") << "C:/Tolmare/Dados"
            << "";
        QTest::newRow("quoted, spaces, any case")
            << QByteArray("[aliases]\n  tolmare = \"/dados/x, y\"  \n") << "/dados/x, y" << "";
        QTest::newRow("key of another section")
            << QByteArray("[Outra]\nTolmare=/errada\n[Aliases]\n; comentario\nTolmare=/certa\n")
            << "/certa" << "";
        QTest::newRow("DLLPath at the top, with a comma")
            << QByteArray("DLLPath=/opt/motor,2\n[Aliases]\nTolmare=/d\n") << "/d"
            << "/opt/motor,2";
        QTest::newRow("server address, as written")
            << QByteArray("[Aliases]\nTolmare=postgresql://sede//base?host=\\x\n")
            << "postgresql://sede//base?host=\\x" << "";
        QTest::newRow("DLLPath under [General]")
            << QByteArray("[General]\nDLLPath=C:\\Motor\n") << "" << "C:/Motor";
    }

    void aliasIsTheWholeLine()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, folder);
        QFETCH(QString, dllPath);
        writeIni(ini);
        if (!folder.isEmpty()) QCOMPARE(db::EngineConfig::aliasFolder("Tolmare"), folder);
        QCOMPARE(db::EngineConfig::dllPath(), dllPath);
    }

    void createdFolderIsTheOwnersOnly()
    {
        const mode_t old = ::umask(0);
        const QString folder = dir_.filePath("novo/Dados");
        QCOMPARE(datafolder::create(folder), QString());
        ::umask(old);
        QCOMPARE(modeOf(folder), 0700);
        QCOMPARE(modeOf(dir_.filePath("novo")), 0700);
    }

    void missingFolderIsNamedBeforeCreation_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::newRow("operator agrees") << true;
        QTest::newRow("operator declines") << false;
    }

    void missingFolderIsNamedBeforeCreation()
    {
        QFETCH(bool, answer);
        const QString folder = dir_.filePath(QString("pasta %1, nova").arg(++n_));
        testdata::ScriptedDialogs dialogs;
        dialogs.answer = answer;
        QCOMPARE(datafolder::ensureForWindow(folder, dialogs), answer);
        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY(dialogs.shown.first().contains(QDir::toNativeSeparators(folder)));
        QCOMPARE(QFileInfo(folder).isDir(), answer);
        // An existing folder asks nothing.
        dialogs.shown.clear();
        QDir().mkpath(folder);
        QVERIFY(datafolder::ensureForWindow(folder, dialogs));
        QVERIFY(dialogs.shown.isEmpty());
    }

    // The window does not open a server store: it says so and creates no folder of the address.
    void serverAliasIsRefusedByTheWindow()
    {
        testdata::ScriptedDialogs dialogs;
        dialogs.answer = true;
        const QString cwd = QDir::currentPath();
        QDir::setCurrent(dir_.path());
        QVERIFY(!datafolder::ensureForWindow("postgresql://sede/base", dialogs));
        QDir::setCurrent(cwd);
        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY2(dialogs.shown.first().contains("servidor de dados"),
                 qPrintable(dialogs.shown.first()));
        QVERIFY(QDir(dir_.path())
                    .entryList(QDir::NoDotAndDotDot | QDir::AllEntries)
                    .filter("postgres")
                    .isEmpty());
    }

    void connectingNeverCreatesTheFolder()
    {
        const QString folder = dir_.filePath("nao-existe");
        db::EngineConfig::overrideAlias("Tolmare", folder);
        db::Database d;
        d.setAliasName("Tolmare");
        d.setDatabaseName("DB_Teste");
        QVERIFY_THROWS_EXCEPTION(db::EngineError, d.connect());
        QVERIFY(!QFileInfo::exists(folder));
    }
};

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"

// The legacy import against real dBase tables written in the test and a real data folder:
// which groups and members are taken over, with what codes, the duplicate checks, running
// twice, a failing record, bad tables, the command line and a kill in the middle.
#include "core/TextHelpers.h"
#include "core/UVariaveis.h"
#include "core/engine/Database.h"
#include "core/engine/EngineError.h"
#include "core/store/StoreSchema.h"
#include "legacy_import/ImportarLegado.h"
#include "legacy_import/MigrarInstalacao.h"
#include "tests/common/TestData.h"
#include "tests/legacy_import/LegacyTables.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <sqlite3.h>
#include <sys/mount.h>

namespace {

const QDateTime kHoje(QDate(2026, 3, 2), QTime(10, 30));

// The rows of a table file, fields joined by "|", in rowid order (plain SQLite, no engine).
QStringList rows(const QString& folder, const QString& table, const QString& fields)
{
    sqlite3* h = nullptr;
    QStringList out;
    const QString path = QDir(folder).filePath(table + ".DB");
    if (sqlite3_open_v2(path.toUtf8().constData(), &h, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(h);
        return {"cannot open " + path};
    }
    store::registerCollation(h);
    sqlite3_busy_timeout(h, 5000);
    sqlite3_stmt* st = nullptr;
    const QString sql = "SELECT " + fields.split('|').join(", ") + " FROM " + table + " ORDER BY rowid";
    if (sqlite3_prepare_v2(h, sql.toUtf8().constData(), -1, &st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            QStringList row;
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                if (sqlite3_column_type(st, c) == SQLITE_FLOAT)
                    row << QString::number(sqlite3_column_double(st, c));
                else
                    row << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)));
            }
            out << row.join('|');
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(h);
    return out;
}

const QString kMember = "ASS_NOME|ASS_GRP_ID|ASS_AGENCIA|ASS_CONTA_CORRENTE|ASS_IDENTIFICADOR|ASS_MATRICULA";

}  // namespace

class TestImportar : public testdata::DataFolderTest {
    Q_OBJECT

    QString imp_;

    legado::Resultado importar()
    {
        legado::TImportacao imp(imp_);
        return imp.executar({}, kHoje);
    }
    QStringList grupos() { return rows(folder_, "GRUPO", "GRP_ID|GRP_DESCRICAO|GRP_USR_ID|GRP_DTA_CAD"); }
    QStringList associados() { return rows(folder_, "ASSOCIADOS", kMember); }

private slots:
    void initTestCase() { UsuarioAtual = 1; }

    void init()
    {
        freshFolder();
        imp_ = QDir(folder_).filePath("imp");
        QDir().mkpath(imp_);
        QVERIFY(testdata::writeMembers(imp_, {}));
    }

    void groups_data()
    {
        QTest::addColumn<QStringList>("descriptions");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("passedOver");
        QTest::newRow("retirees") << QStringList{"Aposentados"} << QStringList{"APOSENTADOS"} << 0;
        QTest::newRow("active") << QStringList{"Ativos"} << QStringList{} << 1;
        QTest::newRow("pensioners, a to z only")
            << QStringList{"pensionistas de São João", "Ativos"}
            << QStringList{"PENSIONISTAS DE SãO JOãO"} << 1;
        QTest::newRow("trailing blanks are padding, leading ones text")
            << QStringList{"  Aposentadas  "} << QStringList{"  APOSENTADAS"} << 0;
        QTest::newRow("deleted record") << QStringList{"*Aposentados"} << QStringList{} << 0;
        QTest::newRow("same description twice")
            << QStringList{"Aposentados", "APOSENTADOS"} << QStringList{"APOSENTADOS"} << 0;
        // GRP_DESCRICAO keeps 50 characters: the description is matched as it is kept.
        QTest::newRow("longer than the field")
            << QStringList{"Aposentados " + QString(48, 'x')}
            << QStringList{"APOSENTADOS " + QString(38, 'X')} << 0;
    }
    void groups()
    {
        QFETCH(QStringList, descriptions);
        QFETCH(QStringList, expected);
        QFETCH(int, passedOver);
        QList<QStringList> legacy;
        for (int i = 0; i < descriptions.size(); ++i) {
            QString d = descriptions[i];
            const bool deleted = d.startsWith('*');
            if (deleted) d.remove(0, 1);
            legacy << QStringList{(deleted ? "*" : "") + QString::number(i + 1), d};
        }
        QVERIFY(testdata::writeGroups(imp_, legacy));
        for (int run = 0; run < 2; ++run) {
            const legado::Resultado r = importar();
            QCOMPARE(r.erro, QString());
            QCOMPARE(r.gruposIgnorados, passedOver);
            QStringList got;
            for (const QString& row : grupos()) got << row.section('|', 1, 1);
            QCOMPARE(got, expected);
        }
    }

    void members_data()
    {
        QTest::addColumn<QStringList>("member");  // GRUPO, AGENCIA, CONTA, NOME, IE
        QTest::addColumn<QString>("expected");    // the ASSOCIADOS row, empty when passed over
        QTest::newRow("codes recomputed") << QStringList{"1", "12340", "123456", "Ana", "123"}
                                          << "ANA|2|1234-3|12345-5|123|12345";
        QTest::newRow("blanks around the codes")
            << QStringList{"1", " 12340", "  123456", "Ana", " 77 "}
            << "ANA|2|1234-3|12345-5|77|12345";
        QTest::newRow("account with its dash") << QStringList{"1", "1234-5", "12345-0", "Bia", ""}
                                               << "BIA|2|1234-3|12345-5||12345";
        QTest::newRow("code page 1252, a to z upper-cased")
            << QStringList{"1", "3456", "99", "José da Conceição  ", "1"}
            << "JOSé DA CONCEIçãO|2|345-X|9-4|1|9";
        QTest::newRow("second group") << QStringList{"2", "1", "1", "Caio", "2"} << "CAIO|3|-0|-0|2|";
        QTest::newRow("group not in Recgrp") << QStringList{"9", "1234", "1234", "Davi", "3"} << "";
        QTest::newRow("group not taken over") << QStringList{"3", "1234", "1234", "Eva", "3"} << "";
        QTest::newRow("group code of a deleted record") << QStringList{"4", "1234", "1234", "Eva", "3"}
                                                        << "";
        QTest::newRow("namesake registered by the operator")
            << QStringList{"5", "1234", "1234", "Fabio", "3"} << "FABIO|1|123-6|123-6|3|123";
    }
    void members()
    {
        QFETCH(QStringList, member);
        QFETCH(QString, expected);
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "DIVERSOS"}});  // GRP_ID 1, taken over below
        QVERIFY(testdata::writeGroups(imp_, {{"1", "Aposentados"}, {"2", "Pensionistas"},
                                             {"3", "Ativos"}, {"*4", "Aposentados"},
                                             {"5", "Diversos"}}));
        QVERIFY(testdata::writeMembers(imp_, {member}));
        const legado::Resultado r = importar();
        QCOMPARE(r.erro, QString());
        // GRUPO: DIVERSOS (1), then APOSENTADOS (2) and PENSIONISTAS (3) taken over.
        const QStringList exp = expected.isEmpty() ? QStringList() : QStringList{expected};
        QCOMPARE(associados(), exp);
        QCOMPARE(r.associadosImportados, int(exp.size()));
        QCOMPARE(r.associadosIgnorados, 1 - int(exp.size()));
    }

    // A member already recorded (branch, account, enrolment) against a legacy one.
    void duplicates_data()
    {
        QTest::addColumn<QStringList>("recorded");
        QTest::addColumn<QStringList>("legacy");  // AGENCIA, CONTA
        QTest::addColumn<bool>("taken");
        QTest::newRow("same branch and account") << QStringList{"1234-3", "12345-5", "999"}
                                                 << QStringList{"12340", "123456"} << false;
        QTest::newRow("same branch and enrolment, account written otherwise")
            << QStringList{"1234-3", "12345-9", "12345"} << QStringList{"12340", "123456"} << false;
        QTest::newRow("same account, other branch") << QStringList{"1234-4", "12345-5", "12345"}
                                                    << QStringList{"12340", "123456"} << true;
        QTest::newRow("same enrolment, other branch") << QStringList{"9999-9", "1-1", "12345"}
                                                      << QStringList{"12340", "123456"} << true;
    }
    void duplicates()
    {
        QFETCH(QStringList, recorded);
        QFETCH(QStringList, legacy);
        QFETCH(bool, taken);
        testdata::addRow("ASSOCIADOS.DB", {{"ASS_NOME", "JA"}, {"ASS_AGENCIA", recorded[0]},
                                           {"ASS_CONTA_CORRENTE", recorded[1]},
                                           {"ASS_MATRICULA", recorded[2]}});
        QVERIFY(testdata::writeGroups(imp_, {{"1", "Aposentados"}}));
        QVERIFY(testdata::writeMembers(imp_, {{"1", legacy[0], legacy[1], "Novo", "1"}}));
        const legado::Resultado r = importar();
        QCOMPARE(r.associadosImportados, taken ? 1 : 0);
        QCOMPARE(associados().size(), taken ? 2 : 1);
    }

    void runningTwice()
    {
        QVERIFY(testdata::writeGroups(imp_, {{"1", "Aposentados"}, {"2", "Pensionistas"}, {"3", "Ativos"}}));
        QVERIFY(testdata::writeMembers(imp_, {{"1", "12340", "123456", "Ana", "1"},
                                              {"2", "12340", "77", "Bia", "2"},
                                              {"3", "1", "1", "Caio", "3"},
                                              {"1", "12340", "123459", "Ana de novo", "4"}}));
        legado::Resultado r = importar();
        QCOMPARE(r.gruposImportados, 2);
        QCOMPARE(r.gruposIgnorados, 1);
        QCOMPARE(r.associadosImportados, 2);
        QCOMPARE(r.associadosIgnorados, 2);  // no group; same branch and enrolment as Ana
        const QStringList members = associados();
        QCOMPARE(members, QStringList({"ANA|1|1234-3|12345-5|1|12345", "BIA|2|1234-3|7-8|2|7"}));

        legado::TImportacao again(imp_);
        r = again.executar({}, kHoje.addDays(5));
        QCOMPARE(r.gruposImportados, 2);
        QCOMPARE(r.associadosImportados, 0);
        QCOMPARE(r.associadosIgnorados, 4);
        QCOMPARE(grupos(), QStringList({"1|APOSENTADOS|1|2026-03-07", "2|PENSIONISTAS|1|2026-03-07"}));
        QCOMPARE(associados(), members);
    }

    // A disk that fills: one message, the true one, and the counts of what was committed.
    void fullDiskSaysOneMessage()
    {
        const QString disk = dir_.filePath("disk");
        QDir().mkpath(disk);
        if (::mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=300k") != 0)
            QSKIP("cannot mount a tmpfs here (needs root)");
        testdata::makeDataFolder(disk);
        QVERIFY(testdata::writeGroups(imp_, {{"1", "Aposentados"}}));
        QList<QStringList> many;
        for (int i = 0; i < 6000; ++i)
            many << QStringList{"1", "12340", QString::number(100000 + 10 * i),
                                "Associado " + QString::number(i), QString::number(i)};
        QVERIFY(testdata::writeMembers(imp_, many));
        const legado::Resultado r = importar();
        const int kept = testdata::countRows(disk, "ASSOCIADOS.DB");
        db::Session::instance().closeAll();
        ::umount2(QFile::encodeName(disk).constData(), MNT_DETACH);
        QVERIFY2(!r.erro.isEmpty(), qPrintable(QString("%1 imported, %2 passed over, %3 kept")
                                                    .arg(r.associadosImportados)
                                                    .arg(r.associadosIgnorados).arg(kept)));
        QVERIFY2(!r.erro.contains("transaction") && !r.erro.contains('\n'), qPrintable(r.erro));
        QCOMPARE(r.associadosImportados, kept);
    }

    void firstGroupRecordOfACode()
    {
        QVERIFY(testdata::writeGroups(imp_, {{"*7", "Ativos"}, {"7", "Pensionistas"},
                                             {"7", "Aposentados"}}));
        legado::TImportacao imp(imp_);
        QCOMPARE(imp.executar({}, kHoje).gruposImportados, 2);
        QCOMPARE(imp.Obter_Grupo("7"), qint64(1));  // PENSIONISTAS, the first live record
        QCOMPARE(imp.Obter_Grupo("8"), qint64(-1));
    }

    void emptyTablesAndProgress()
    {
        QVERIFY(testdata::writeGroups(imp_, {}));
        QStringList calls;
        legado::TImportacao imp(imp_);
        const legado::Resultado r = imp.executar([&](legado::Fase f, int position, int maximum) {
            calls << QString("%1 %2/%3").arg(f == legado::Fase::Grupos ? "G" : "A").arg(position).arg(maximum);
        }, kHoje);
        QCOMPARE(r.erro, QString());
        QCOMPARE(r.gruposImportados + r.gruposIgnorados + r.associadosImportados
                     + r.associadosIgnorados, 0);
        QCOMPARE(calls, QStringList({"G 0/0", "A 0/0", "A 0/0"}));

        QVERIFY(testdata::writeGroups(imp_, {{"1", "Aposentados"}, {"2", "Ativos"}}));
        QVERIFY(testdata::writeMembers(imp_, {{"1", "1", "11", "A", ""}, {"2", "1", "12", "B", ""},
                                              {"1", "1", "13", "C", ""}}));
        calls.clear();
        legado::TImportacao full(imp_);
        full.executar([&](legado::Fase f, int position, int maximum) {
            calls << QString("%1 %2/%3").arg(f == legado::Fase::Grupos ? "G" : "A").arg(position).arg(maximum);
        }, kHoje);
        QCOMPARE(calls, QStringList({"G 0/2", "G 1/2", "G 2/2", "A 0/3", "A 1/3", "A 2/3", "A 3/3"}));
    }

    // A record that fails stops the import: those before it stay, it and those after are absent.
    void failingRecord_data()
    {
        QTest::addColumn<QStringList>("failing");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty name") << QStringList{"1", "1", "30", "   ", "3"}
                                    << "Importação interrompida em Reccli.dbf, registro 3, campo "
                                       "NOME: Field 'ASS_NOME' must have a value";
        QTest::newRow("identifier not a number")
            << QStringList{"1", "1", "30", "Caio", "12A"}
            << "Importação interrompida em Reccli.dbf, registro 3, campo IE: '12A' não é um "
               "número válido para o campo ASS_IDENTIFICADOR. Digite um número, com vírgula "
               "antes dos centavos (por exemplo 1234,50).";
    }
    void failingRecord()
    {
        QFETCH(QStringList, failing);
        QFETCH(QString, message);
        QVERIFY(testdata::writeGroups(imp_, {{"1", "Aposentados"}}));
        QVERIFY(testdata::writeMembers(imp_, {{"1", "1", "10", "Ana", "1"}, {"1", "1", "20", "Bia", "2"},
                                              failing, {"1", "1", "40", "Davi", "4"}}));
        const legado::Resultado r = importar();
        QCOMPARE(r.erro, message);
        QCOMPARE(r.associadosImportados, 2);
        QCOMPARE(associados(), QStringList({"ANA|1|-0|1-9|1|1", "BIA|1|-0|2-7|2|2"}));
        QCOMPARE(grupos().size(), 1);
        // The same record passed over as a duplicate does not stop anything.
        testdata::addRow("ASSOCIADOS.DB", {{"ASS_NOME", "X"}, {"ASS_AGENCIA", "-0"},
                                           {"ASS_CONTA_CORRENTE", "3-5"}});
        QCOMPARE(importar().erro, QString());
        QCOMPARE(associados().size(), 4);
    }

    // Tables that cannot be read are refused at opening: nothing is written.
    void badTables_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("message");
        QTest::newRow("groups missing") << "remove Recgrp.dbf" << "A tabela Recgrp.dbf não foi encontrada";
        QTest::newRow("members missing") << "remove Reccli.dbf" << "A tabela Reccli.dbf não foi encontrada";
        QTest::newRow("members truncated") << "truncate Reccli.dbf"
                                           << "A tabela Reccli.dbf está danificada: o cabeçalho "
                                              "anuncia 2 registros e o arquivo termina antes.";
        QTest::newRow("header cut short") << "head Recgrp.dbf"
                                          << "A tabela Recgrp.dbf está danificada: o cabeçalho "
                                             "está incompleto.";
        QTest::newRow("corrupt header") << "corrupt Reccli.dbf" << "A tabela Reccli.dbf está danificada";
        QTest::newRow("not a table") << "text Recgrp.dbf" << "A tabela Recgrp.dbf está danificada";
        QTest::newRow("field missing") << "noie Reccli.dbf" << "A tabela Reccli.dbf não tem o campo IE.";
        QTest::newRow("empty file") << "empty Reccli.dbf" << "A tabela Reccli.dbf está danificada";
    }
    void badTables()
    {
        QFETCH(QString, damage);
        QFETCH(QString, message);
        QVERIFY(testdata::writeGroups(imp_, {{"1", "Aposentados"}}));
        QVERIFY(testdata::writeMembers(imp_, {{"1", "1", "10", "Ana", "1"}, {"1", "1", "20", "Bia", "2"}}));
        const QString what = damage.section(' ', 0, 0);
        const QString path = QDir(imp_).filePath(damage.section(' ', 1));
        QFile f(path);
        if (what == "remove") {
            QVERIFY(f.remove());
        } else if (what == "noie") {
            QVERIFY(testdata::writeDbf(path, {{"GRUPO", 'C', 3}, {"AGENCIA", 'C', 8},
                                              {"CONTA", 'C', 12}, {"NOME", 'C', 50}},
                                       {{"1", "1", "10", "Ana"}}));
        } else {
            QVERIFY(f.open(QIODevice::ReadWrite));
            QByteArray bytes = f.readAll();
            if (what == "truncate") bytes.chop(10);
            if (what == "head") bytes.truncate(20);
            if (what == "corrupt") bytes.replace(8, 4, "\xff\xff\x01\x00");
            if (what == "text") bytes = "GRUPO;DESCRI\n1;Aposentados\n";
            if (what == "empty") bytes.clear();
            f.resize(0);
            f.seek(0);
            f.write(bytes);
            f.close();
        }
        try {
            legado::TImportacao imp(imp_);
            QFAIL("the tables were opened");
        } catch (const db::EngineError& e) {
            QVERIFY2(e.message().startsWith(message), qPrintable(e.message()));
        }
        QCOMPARE(grupos(), QStringList());
        QCOMPARE(associados(), QStringList());
    }

    // The migration asks which tables hold rows before it removes the empty ones: a table
    // another program holds beyond the wait is an error, never "no rows".
    void migrationNeverTakesAHeldTableForEmpty()
    {
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "DIVERSOS"}});
        QCOMPARE(migracao::tabelasComRegistros(folder_), QStringList{"GRUPO.DB (1 registros)"});
        db::Session::instance().closeAll();
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(QDir(folder_).filePath("GRUPO.DB").toUtf8().constData(), &other),
                 SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        try {
            migracao::tabelasComRegistros(folder_);
            QFAIL("a held table was read as empty");
        } catch (const db::EngineError& e) {
            QCOMPARE(e.fault(), db::EngineFault::Busy);
        }
        sqlite3_close(other);
    }

    void fileNamesWhateverTheirCase()
    {
        QVERIFY(QFile::remove(QDir(imp_).filePath("Reccli.dbf")));
        QVERIFY(testdata::writeGroups(imp_, {{"1", "Aposentados"}}, "RECGRP.DBF"));
        QVERIFY(testdata::writeMembers(imp_, {{"1", "1", "10", "Ana", "1"}}, "reccli.DBF"));
        QCOMPARE(importar().associadosImportados, 1);
    }

    void commandLine()
    {
        QVERIFY(testdata::writeGroups(imp_, {{"1", "Aposentados"}, {"2", "Ativos"}}));
        QVERIFY(testdata::writeMembers(imp_, {{"1", "1", "10", "Ana", "1"}, {"2", "1", "20", "Bia", "2"}}));
        db::Session::instance().reset();
        QProcess cli;
        const QString program = QCoreApplication::applicationDirPath() + "/tolmare-cli";
        cli.start(program, {"--dados", folder_, "importar-legado", "--imp", imp_});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(QString::fromUtf8(cli.readAllStandardError()), QString());
        QCOMPARE(cli.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()),
                 QString("Grupos importados: 1; não importados: 1\n"
                         "Associados importados: 1; não importados: 1\nProcesso Concluido\n"));
        QCOMPARE(associados(), QStringList({"ANA|1|-0|1-9|1|1"}));

        QVERIFY(QFile::remove(QDir(imp_).filePath("Reccli.dbf")));
        cli.start(program, {"--dados", folder_, "importar-legado", "--imp", imp_});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 1);
        QVERIFY(QString::fromUtf8(cli.readAllStandardError()).startsWith("A tabela Reccli.dbf não foi encontrada"));
    }

    // The import killed in the middle: every member written is whole, and a second run takes
    // over exactly the rest.
    void killedInTheMiddle()
    {
        const int n = 40000;
        QList<QStringList> members;
        for (int i = 0; i < n; ++i)
            members << QStringList{"1", "1234", QString::number(100000 + i) + "0", "Associado",
                                  QString::number(i)};
        QVERIFY(testdata::writeGroups(imp_, {{"1", "Aposentados"}}));
        QVERIFY(testdata::writeMembers(imp_, members));
        db::Session::instance().reset();
        QProcess cli;
        cli.start(QCoreApplication::applicationDirPath() + "/tolmare-cli",
                  {"--dados", folder_, "importar-legado", "--imp", imp_});
        QVERIFY(cli.waitForStarted());
        QElapsedTimer t;
        t.start();
        while (testdata::countRows(folder_, "ASSOCIADOS.DB") < 1000 && t.elapsed() < 60000
               && cli.state() == QProcess::Running)
            QTest::qWait(5);
        cli.kill();
        cli.waitForFinished();
        const QStringList written = rows(folder_, "ASSOCIADOS", "ASS_NOME|ASS_GRP_ID|ASS_AGENCIA|"
                                         "ASS_CONTA_CORRENTE|ASS_IDENTIFICADOR|ASS_MATRICULA|"
                                         "ASS_DTA_CAD|ASS_USR_ID");
        // However far it got (all of it on a fast machine), each member is whole.
        QVERIFY(!written.isEmpty());
        for (int i = 0; i < written.size(); ++i) {
            const QString account = QString::number(100000 + i) + "0";
            QCOMPARE(written[i].section('|', 0, 5),
                     QString("ASSOCIADO|1|123-6|%1|%2|%3").arg(
                         CalculaDigitoVerificador(account)).arg(i).arg(account.chopped(1)));
            QVERIFY(!written[i].section('|', 6, 6).isEmpty());
        }
        const legado::Resultado r = importar();
        QCOMPARE(r.associadosImportados, n - int(written.size()));
        QCOMPARE(associados().size(), n);
    }
};

QTEST_GUILESS_MAIN(TestImportar)
#include "tst_importar.moc"

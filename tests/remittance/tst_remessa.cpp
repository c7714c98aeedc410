// The remittance generation over real tables and files. Expected records are written out by
// hand from the record layout.
#include "core/UVariaveis.h"
#include "core/engine/Query.h"
#include "core/engine/Table.h"
#include "remittance/GerarRemessa.h"
#include "remittance/RemessaRecords.h"
#include "tests/common/TestData.h"
#include "tests/remittance/RemessaFixtures.h"

#include "core/engine/Connection.h"
#include "core/engine/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <csignal>
#include <unistd.h>

using remessa::GerarArquivo;
using remessa::Outcome;

namespace {

const QDate kDebitDate(2026, 7, 10);
const QDate kToday(2026, 7, 5);
const QString kSpaces20(20, ' ');
const QString kSpaces23(23, ' ');

// The date step exactly as the row-by-row procedure reads: restart at the first debit after
// every change, count the member's debits through the filter.
void slowDateStep(const QDate& date)
{
    db::Table t;
    t.setTableName("DEBITO.DB");
    t.open();
    t.first();
    while (!t.eof()) {
        if (t.fieldByName("DEB_DATA").asDate() == date) {
            t.next();
            continue;
        }
        t.setFilter("DEB_ASS_ID = " + t.fieldByName("DEB_ASS_ID").asString());
        t.setFiltered(true);
        if (t.recordCount() >= 2) {
            t.first();
            t.deleteRecord();
        } else {
            t.edit();
            t.fieldByName("DEB_DATA").setAsDate(date);
            t.post();
        }
        t.setFiltered(false);
        t.first();
    }
}

}  // namespace

class TestRemessa : public testdata::DataFolderTest {
    Q_OBJECT
    QString out_;

private slots:
    void init()
    {
        freshFolder();
        out_ = QDir(folder_).filePath("ARQ_PREVI_000040.txt");
        UsuarioAtual = 1;
    }

    void normalMonth()
    {
        parametros(40);
        member("Ana", "12.345-6");
        member("Bia", "987");
        debit(kDebitDate, 1, 12.34);
        debit(kDebitDate, 2, 100.0);
        int steps = 0;
        const Outcome o = GerarArquivo(out_, kDebitDate, kToday, [&](int pos, int max) {
            ++steps;
            QCOMPARE(max, 2);
            QCOMPARE(pos, steps);
        });
        QCOMPARE(int(o.kind), int(Outcome::Kind::Done));
        QCOMPARE(steps, 2);
        QCOMPARE(readAll(out_),
                 fileLines({"0ARQ_PREVI_000040.txt05072026" + kSpaces20,
                            "107000000000123456072026012300000000012342026070+",
                            "107000000000000987072026012300000000100002026070+",
                            "90000000002000000000011234" + kSpaces23}));
        QCOMPARE(o.summary, QStringList({"Nr Total de Registros.....: 2",
                                         "Valor total dos créditos..: 112,34",
                                         "Mes / Ano da Remessa......:07/2026",
                                         "Número da Remessa.........:41",
                                         "Arquivo de Remessa........:" + out_}));
        QCOMPARE(remittanceNumber(), 41.0);
        QCOMPARE(rowsOf("RET_DEBITO.DB", {"DEB_DATA", "DEB_DATA_RETORNO", "DEB_ASS_ID",
                                          "DEB_REMESSA", "DEB_VALOR", "DEB_OCORRENCIA",
                                          "DEB_USR_ID"}),
                 QStringList({"10/07/2026||1|41|12,34|Aguardando Retorno|1",
                              "10/07/2026||2|41|100|Aguardando Retorno|1"}));
    }

    void otherDatesAndTwoOnTheDate()
    {
        parametros(40);
        member("Ana", "1");
        member("Bia", "2");
        debit(QDate(2026, 5, 10), 1, 5.0);   // dropped: first of Ana's in key order
        debit(QDate(2026, 6, 10), 1, 6.0);   // kept, re-dated
        debit(kDebitDate, 2, 10.0);          // Bia: two on the date, both sent
        debit(kDebitDate, 2, 20.0);
        const Outcome o = GerarArquivo(out_, kDebitDate, kToday);
        QCOMPARE(int(o.kind), int(Outcome::Kind::Done));
        QCOMPARE(readAll(out_),
                 fileLines({"0ARQ_PREVI_000040.txt05072026" + kSpaces20,
                            "107000000000000001072026012300000000006002026070+",
                            "107000000000000002072026012300000000010002026070+",
                            "107000000000000002072026012300000000020002026070+",
                            "90000000003000000000003600" + kSpaces23}));
        QCOMPARE(rowsOf("DEBITO.DB", {"DEB_DATA", "DEB_ASS_ID", "DEB_VALOR"}),
                 QStringList({"10/07/2026|1|6", "10/07/2026|2|10", "10/07/2026|2|20"}));
        // One row per date and member: Bia's two debits sent together add up on her row.
        QCOMPARE(rowsOf("RET_DEBITO.DB", {"DEB_ASS_ID", "DEB_VALOR"}),
                 QStringList({"1|6", "2|30"}));
    }

    void skippedMembersAndOddValues()
    {
        parametros(1234567, "123", "98765");
        member("Ana", "   ");
        member("Bia", QVariant());
        member("Caio", "1/2.3-4");
        debit(kDebitDate, 1, 10.0);
        debit(kDebitDate, 2, 10.0);
        debit(kDebitDate, 3, 1234.5678);
        debit(kDebitDate, 9, 10.0);  // member missing
        const QString path = QDir(folder_).filePath(remessa::proposedFileName(1234567));
        QCOMPARE(remessa::namePart(path), QString("ARQ_PREVI_234567.txt"));
        const Outcome o = GerarArquivo(path, kDebitDate, kToday);
        QCOMPARE(int(o.kind), int(Outcome::Kind::Done));
        QCOMPARE(readAll(path),
                 fileLines({"0ARQ_PREVI_234567.txt05072026" + kSpaces20,
                            "123000000000001234072026876500000001234562026070+",
                            "90000000001000000000123456" + kSpaces23}));
        QCOMPARE(o.summary.at(0), QString("Nr Total de Registros.....: 4"));
        QCOMPARE(o.summary.at(3), QString("Número da Remessa.........:1234568"));
        QCOMPARE(rowsOf("RET_DEBITO.DB", {"DEB_ASS_ID", "DEB_REMESSA"}),
                 QStringList({"3|1234568"}));
    }

    // A value goes through money (nearest ten-thousandth) before its hundredths are cut, so
    // 0.99999 is sent as 1.00 and 7.12999 as 7.13, while 3.4567 keeps 3.45.
    void valuesRoundedToMoneyThenCut()
    {
        parametros(40);
        member("Ana", "1");
        member("Bia", "2");
        member("Caio", "3");
        debit(kDebitDate, 1, 0.99999);
        debit(kDebitDate, 2, 7.12999);
        debit(kDebitDate, 3, 3.4567);
        const Outcome o = GerarArquivo(out_, kDebitDate, kToday);
        QCOMPARE(int(o.kind), int(Outcome::Kind::Done));
        QCOMPARE(readAll(out_),
                 fileLines({"0ARQ_PREVI_000040.txt05072026" + kSpaces20,
                            "107000000000000001072026012300000000001002026070+",
                            "107000000000000002072026012300000000007132026070+",
                            "107000000000000003072026012300000000003452026070+",
                            "90000000003000000000001158" + kSpaces23}));
        // The summary's total is the trailer's.
        QCOMPARE(o.summary.at(1), QString("Valor total dos créditos..: 11,58"));
    }

    // Debits the file cannot carry stop the generation before anything changes.
    void unsendableValuesChangeNothing_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << QVariant() << "O débito do associado 1 de 10/07/2026 está sem "
                                                "valor em DEBITO.DB";
        QTest::newRow("over 13 digits") << QVariant(100000000000.0)
                                        << "O valor 100000000000.00 do débito do associado 1 de "
                                           "10/07/2026 (DEBITO.DB) não cabe";
    }
    void unsendableValuesChangeNothing()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, message);
        parametros(40);
        member("Ana", "1");
        debit(QDate(2026, 6, 10), 1, value);
        const Outcome o = GerarArquivo(out_, kDebitDate, kToday);
        QCOMPARE(int(o.kind), int(Outcome::Kind::Failed));
        QVERIFY2(o.message.startsWith(message), qPrintable(o.message));
        QCOMPARE(remittanceNumber(), 40.0);
        QCOMPARE(rowsOf("DEBITO.DB", {"DEB_DATA"}), QStringList({"10/06/2026"}));
        QCOMPARE(testdata::countRows(folder_, "RET_DEBITO.DB"), 0);
        QVERIFY(!QFile::exists(out_));
    }

    // Only debits that are sent must carry a value: one the date step deletes does not stop
    // the remittance.
    void emptyValueOfDeletedDebitIsIgnored()
    {
        parametros(40);
        member("Ana", "1");
        debit(QDate(2026, 5, 10), 1, QVariant());  // first in key order: dropped
        debit(QDate(2026, 6, 10), 1, 6.0);         // kept, re-dated
        const Outcome o = GerarArquivo(out_, kDebitDate, kToday);
        QCOMPARE(int(o.kind), int(Outcome::Kind::Done));
        QCOMPARE(rowsOf("DEBITO.DB", {"DEB_DATA", "DEB_VALOR"}), QStringList({"10/07/2026|6"}));
    }

    // An empty value of a member who is never sent does not stop the others.
    void emptyValueOfSkippedMemberIsIgnored()
    {
        parametros(40);
        member("Ana", "");
        member("Bia", "2");
        debit(kDebitDate, 1, QVariant());
        debit(kDebitDate, 2, 5.0);
        const Outcome o = GerarArquivo(out_, kDebitDate, kToday);
        QCOMPARE(int(o.kind), int(Outcome::Kind::Done));
        QCOMPARE(o.summary.at(0), QString("Nr Total de Registros.....: 2"));
    }

    void emptyPreviCodes_data()
    {
        QTest::addColumn<QString>("codInt");
        QTest::addColumn<QString>("codVerba");
        QTest::newRow("interface") << "  " << "123";
        QTest::newRow("item") << "7" << "";
    }
    void emptyPreviCodes()
    {
        QFETCH(QString, codInt);
        QFETCH(QString, codVerba);
        parametros(40, codInt, codVerba);
        member("Ana", "1");
        debit(kDebitDate, 1, 10.0);
        const Outcome o = GerarArquivo(out_, kDebitDate, kToday);
        QCOMPARE(int(o.kind), int(Outcome::Kind::Failed));
        QVERIFY(o.message.contains("PARAMETROS.DB"));
        QVERIFY(!QFile::exists(out_));
        QCOMPARE(testdata::countRows(folder_, "RET_DEBITO.DB"), 0);
    }

    // A file already at the path is replaced; nothing else is left in the folder.
    void replacesAnEarlierFile()
    {
        parametros(40);
        member("Ana", "1");
        debit(kDebitDate, 1, 10.0);
        {
            QFile old(out_);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write(QByteArray(5000, 'x'));
        }
        QCOMPARE(int(GerarArquivo(out_, kDebitDate, kToday).kind), int(Outcome::Kind::Done));
        QCOMPARE(readAll(out_).size(), 3 * 51);
        QCOMPARE(remittanceFiles(folder_), QStringList({"ARQ_PREVI_000040.txt"}));
    }

    void readOnlyPlaces_data()
    {
        QTest::addColumn<bool>("folderReadOnly");
        QTest::newRow("read-only folder") << true;
        QTest::newRow("read-only file") << false;
    }
    void readOnlyPlaces()
    {
        QFETCH(bool, folderReadOnly);
        if (::geteuid() == 0) QSKIP("permissions do not bind the super-user");
        parametros(40);
        member("Ana", "1");
        debit(QDate(2026, 6, 1), 1, 10.0);
        const QString place = QDir(folder_).filePath("saida");
        QDir().mkpath(place);
        const QString path = QDir(place).filePath("ARQ.txt");
        if (folderReadOnly) {
            QFile::setPermissions(place, QFile::ReadOwner | QFile::ExeOwner);
        } else {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("anterior");
            f.close();
            QFile::setPermissions(path, QFile::ReadOwner);
        }
        const Outcome o = GerarArquivo(path, kDebitDate, kToday);
        QFile::setPermissions(place, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(int(o.kind), int(Outcome::Kind::CannotCreate));
        QCOMPARE(o.message, "Erro ao criar arquivo: " + path);
        QCOMPARE(remittanceNumber(), 40.0);
        QCOMPARE(rowsOf("DEBITO.DB", {"DEB_DATA"}), QStringList({"01/06/2026"}));
        QCOMPARE(QDir(place).entryList(QDir::Files).size(), folderReadOnly ? 0 : 1);
    }

    // The disk fills while the file is written (a file-size limit on the command-line run):
    // the operator gets an error naming the file, no part of a file is left in the folder and
    // no table changes.
    void diskFullLeavesNoFile()
    {
        parametros(40);
        member("Ana", "1");
        // 1,500 debits of the debit date: about 76 kB of records.
        db::Query::execute("Tolmare",
                           "INSERT INTO DEBITO (DEB_DATA, DEB_ASS_ID, DEB_VALOR, DEB_DTA_CAD, "
                           "DEB_USR_ID) SELECT '2026-07-10', 1, 2 + n, '2026-07-01', 1 FROM "
                           "(WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c "
                           "WHERE n < 1500) SELECT n FROM c)");
        db::Session::instance().reset();
        QProcess cli;
        cli.setChildProcessModifier([] {
            const rlimit limit{32 * 1024, 32 * 1024};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            std::signal(SIGXFSZ, SIG_IGN);
        });
        cli.start(QCoreApplication::applicationDirPath() + "/tolmare-cli",
                  {"--dados", folder_, "remessa", "--data", "10/07/2026", "--arquivo", out_});
        QVERIFY(cli.waitForFinished(30000));
        const QString err = QString::fromUtf8(cli.readAllStandardError());
        QCOMPARE(cli.exitCode(), 1);
        QVERIFY2(err.contains(out_), qPrintable(err));
        QCOMPARE(remittanceFiles(folder_), QStringList());
        QCOMPARE(remittanceNumber(), 40.0);
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), 1500);
        QCOMPARE(testdata::countRows(folder_, "RET_DEBITO.DB"), 0);
        QVERIFY2(err.contains("nenhuma tabela foi alterada"), qPrintable(err));
    }

    void nobodyWithEnrolment()
    {
        parametros(40);
        member("Ana", "");
        debit(kDebitDate, 1, 10.0);
        const Outcome o = GerarArquivo(out_, kDebitDate, kToday);
        QCOMPARE(int(o.kind), int(Outcome::Kind::Done));
        QCOMPARE(readAll(out_), fileLines({"0ARQ_PREVI_000040.txt05072026" + kSpaces20,
                                           "9" + QString(25, '0') + kSpaces23}));
        QCOMPARE(remittanceNumber(), 41.0);
    }

    void generatingTwiceUpdatesRows()
    {
        parametros(40);
        member("Ana", "1");
        debit(kDebitDate, 1, 10.0);
        QCOMPARE(int(GerarArquivo(out_, kDebitDate, kToday).kind), int(Outcome::Kind::Done));
        db::Query::execute("Tolmare", "UPDATE RET_DEBITO SET DEB_OCORRENCIA = 'SEM SALDO', "
                                      "DEB_DATA_RETORNO = '2026-08-01'");
        QCOMPARE(int(GerarArquivo(out_, kDebitDate, kToday).kind), int(Outcome::Kind::Done));
        // Sent again, the row awaits a return again: its old return date goes.
        QCOMPARE(rowsOf("RET_DEBITO.DB", {"DEB_DATA_RETORNO", "DEB_REMESSA", "DEB_OCORRENCIA"}),
                 QStringList({"|42|Aguardando Retorno"}));
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("20 characters") << "ABCDEFGHIJKLMNOP.txt" << int(Outcome::Kind::Done) << "";
        QTest::newRow("21 characters") << "ABCDEFGHIJKLMNOPQ.txt"
                                       << int(Outcome::Kind::NameTooLong)
                                       << "Nome do arquivo está fora do padrão. Verifique padrão "
                                          "no Layout. Deve conter no máximo 20 caracteres";
        QTest::newRow("missing folder") << "nada/ARQ.txt" << int(Outcome::Kind::CannotCreate)
                                        << "Erro ao criar arquivo: ";
    }
    void refusals()
    {
        QFETCH(QString, name);
        QFETCH(int, kind);
        QFETCH(QString, message);
        parametros(40);
        member("Ana", "1");
        debit(QDate(2026, 6, 1), 1, 10.0);
        const QString path = QDir(folder_).filePath(name);
        const Outcome o = GerarArquivo(path, kDebitDate, kToday);
        QCOMPARE(int(o.kind), kind);
        if (kind == int(Outcome::Kind::Done)) return;
        QVERIFY(o.message.startsWith(message));
        QCOMPARE(remittanceNumber(), 40.0);
        QCOMPARE(rowsOf("DEBITO.DB", {"DEB_DATA"}), QStringList({"01/06/2026"}));
        QCOMPARE(testdata::countRows(folder_, "RET_DEBITO.DB"), 0);
        QVERIFY(!QFile::exists(path));
    }

    void noDebitsOrNoParameters()
    {
        QCOMPARE(int(GerarArquivo(out_, kDebitDate, kToday).kind), int(Outcome::Kind::NoDebits));
        debit(kDebitDate, 1, 10.0);
        const Outcome o = GerarArquivo(out_, kDebitDate, kToday);
        QCOMPARE(int(o.kind), int(Outcome::Kind::Failed));
        QVERIFY(o.message.contains("PARAMETROS.DB"));
        QVERIFY(!QFile::exists(out_));
    }

    void namePartOfPaths_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::newRow("windows") << "c:\\dados\\ARQ.txt" << "ARQ.txt";
        QTest::newRow("unix") << "/home/x/ARQ.txt" << "ARQ.txt";
        QTest::newRow("bare") << "ARQ.txt" << "ARQ.txt";
    }
    void namePartOfPaths()
    {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QCOMPARE(remessa::namePart(path), name);
    }

    void commandLine()
    {
        parametros(40);
        member("Ana", "12.345-6");
        debit(kDebitDate, 1, 12.34);
        db::Session::instance().reset();
        QProcess cli;
        cli.start(QCoreApplication::applicationDirPath() + "/tolmare-cli",
                  {"--dados", folder_, "remessa", "--data", "10/07/2026", "--arquivo", out_,
                   "--hoje", "05/07/2026"});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()).split('\n').at(3),
                 QString("Número da Remessa.........:41"));
        QCOMPARE(readAll(out_),
                 fileLines({"0ARQ_PREVI_000040.txt05072026" + kSpaces20,
                            "107000000000123456072026012300000000012342026070+",
                            "90000000001000000000001234" + kSpaces23}));
        cli.start(QCoreApplication::applicationDirPath() + "/tolmare-cli",
                  {"--dados", folder_, "remessa", "--data", "10/07/2026", "--arquivo",
                   QDir(folder_).filePath("nada/x.txt")});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 1);
        QVERIFY(cli.readAllStandardError().startsWith("Erro ao criar arquivo: "));
    }

    // Worked by hand from the row-by-row procedure: rows written as member:month:value.
    void dateStepCases_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("a later debit pushes out the one on the date")
            << QStringList{"1:7:5", "1:8:7"} << QStringList{"10/07/2026|1|7"};
        QTest::newRow("earlier debit goes, two on the date stay")
            << QStringList{"1:5:1", "1:7:2", "1:7:3"}
            << QStringList{"10/07/2026|1|2", "10/07/2026|1|3"};
        QTest::newRow("before and after the date")
            << QStringList{"1:5:1", "1:7:2", "1:8:3"} << QStringList{"10/07/2026|1|3"};
        QTest::newRow("three other dates") << QStringList{"1:5:1", "1:6:2", "1:8:3"}
                                           << QStringList{"10/07/2026|1|3"};
        QTest::newRow("one other date, lower value first")
            << QStringList{"1:5:2", "1:5:1"} << QStringList{"10/07/2026|1|2"};
        QTest::newRow("two members interleaved")
            << QStringList{"1:5:1", "2:5:1", "1:7:4"}
            << QStringList{"10/07/2026|1|4", "10/07/2026|2|1"};
    }
    void dateStepCases()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        for (const QString& r : before) {
            const QStringList p = r.split(':');
            debit(QDate(2026, p[1].toInt(), 10), p[0].toDouble(), p[2].toDouble());
        }
        remessa::levarDebitosParaData(kDebitDate);
        QCOMPARE(rowsOf("DEBITO.DB", {"DEB_DATA", "DEB_ASS_ID", "DEB_VALOR"}), after);
    }

    // The one-pass date step leaves exactly the rows of the restart-from-the-first procedure.
    void dateStepMatchesRowByRow()
    {
        QRandomGenerator rng(4242);
        const QDate dates[] = {QDate(2026, 5, 10), QDate(2026, 6, 10), kDebitDate,
                               QDate(2026, 7, 11), QDate(2026, 8, 10)};
        // Each side runs in a transaction that is rolled back: both start from the empty table
        // and nothing waits on the disk.
        db::Connection& c = db::Session::instance().connectionFor("Tolmare");
        for (const char* f : {"PARAMETROS.DB", "DEBITO.DB", "ASSOCIADOS.DB", "RET_DEBITO.DB"})
            c.attach(QString::fromLatin1(f));
        for (int round = 0; round < 400; ++round) {
            // Rows in random insertion order, so that file order differs from key order.
            QVector<std::tuple<QDate, int, int>> rows;
            const int n = 1 + int(rng.bounded(12));
            for (int i = 0; i < n; ++i) {
                const auto r = std::make_tuple(dates[rng.bounded(5)], 1 + int(rng.bounded(4)),
                                               1 + int(rng.bounded(4)));
                if (!rows.contains(r)) rows << r;
            }
            QStringList tablesSeen;
            for (int side = 0; side < 2; ++side) {
                db::Transaction tx(c);
                for (const auto& [d, who, v] : rows) debit(d, who, double(v));
                if (side == 0) slowDateStep(kDebitDate);
                else remessa::levarDebitosParaData(kDebitDate);
                tablesSeen
                    << rowsOf("DEBITO.DB", {"DEB_DATA", "DEB_ASS_ID", "DEB_VALOR"}).join(";");
            }
            QCOMPARE(tablesSeen[1], tablesSeen[0]);
        }
    }
};

QTEST_GUILESS_MAIN(TestRemessa)
#include "tst_remessa.moc"

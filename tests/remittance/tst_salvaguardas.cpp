// The safeguards around the money path: the check before a remittance, the written file read
// back, a return file imported twice, and the operation log.
#include "core/Historico.h"
#include "core/dm/UDMRet_Debito.h"
#include "core/engine/Connection.h"
#include "core/engine/Database.h"
#include "core/engine/EngineError.h"
#include "remittance/GerarRemessa.h"
#include "remittance/ImportarRetorno.h"
#include "remittance/ProvaRemessa.h"
#include "remittance/RetornosImportados.h"
#include "remittance/VerificarRemessa.h"
#include "tests/common/TestData.h"
#include "tests/remittance/RemessaFixtures.h"

#include <QCryptographicHash>
#include <QDir>
#include <QTest>

#include <sqlite3.h>

namespace {

const QDate kDate(2026, 11, 10);

void group()
{
    testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "APOSENTADOS"}});
}

QString lines(const remessa::Verificacao& v)
{
    return v.linhas().join("\n");
}

// A remittance file as the layout has it, with `count` details of 12,34 and a trailer
// stating `trailerCount` and `trailerCents`.
QByteArray remittance(int count, int trailerCount, qint64 trailerCents)
{
    QStringList records{"0" + QString(20, ' ') + "10112026" + QString(20, ' ')};
    for (int i = 0; i < count; ++i)
        records << "107" + QString("%1").arg(i + 1, 15, 10, QLatin1Char('0')) + "112026"
                       + "0123" + "0000000001234" + "202611" + "0+";
    records << "9" + QString("%1").arg(trailerCount, 10, 10, QLatin1Char('0'))
                   + QString("%1").arg(trailerCents, 15, 10, QLatin1Char('0')) + QString(23, ' ');
    return fileLines(records);
}

}  // namespace

class TestSalvaguardas : public testdata::DataFolderTest {
    Q_OBJECT
private slots:
    void init() { freshFolder(); }

    // Each kind of problem, alone in an otherwise sound month.
    void check_data();
    void check();
    void checkFollowsTheDateStep();
    void proof_data();
    void proof();
    void proofStopsAGeneration();
    void trailerTotalIsTheSumOfTheRecords();
    void returnImportedTwice();
    void returnImportedUnderTheEarlierFingerprint_data();
    void returnImportedUnderTheEarlierFingerprint();
    void lockedRecordsAreBusyNotAbsent_data();
    void lockedRecordsAreBusyNotAbsent();
    void logOfCommandLine();
    void logIsAppendOnly();
};

void TestSalvaguardas::check_data()
{
    QTest::addColumn<QString>("case_");
    QTest::addColumn<bool>("canGenerate");
    QTest::addColumn<QString>("expected");
    QTest::newRow("sound") << "sound" << true << "";
    QTest::newRow("no value") << "novalue" << false << "Impede: associado 2 - BETO (matrícula 222): débito sem valor.";
    QTest::newRow("zero") << "zero" << false << "valor zero ou negativo (0,00)";
    QTest::newRow("negative") << "negative" << false << "valor zero ou negativo (-5,00)";
    QTest::newRow("too large") << "large" << false << "não cabe nas 13 posições";
    QTest::newRow("fraction of a cent") << "fraction" << false << "tem frações de centavo";
    QTest::newRow("masked numbers collide") << "collision" << false
        << "no arquivo levaria o mesmo número 000000000000222 que o associado 2 - BETO";
    QTest::newRow("no enrolment") << "nomatricula" << true
        << "Não enviado: associado 2 - BETO: sem número de matrícula";
    QTest::newRow("member missing") << "nomember" << true
        << "Não enviado: associado 9: o associado do débito não existe mais";
    QTest::newRow("group deleted") << "nogroup" << true << "Aviso: associado 2 - BETO";
    QTest::newRow("interface code too long") << "codint" << false
        << "O código de interface PREVI (\"123\") não é um número de até 2 dígitos";
}

void TestSalvaguardas::check()
{
    QFETCH(QString, case_);
    QFETCH(bool, canGenerate);
    QFETCH(QString, expected);
    parametros(5, case_ == "codint" ? "123" : "7");
    group();
    member("ANA", "111");
    member("BETO", case_ == "nomatricula" ? QVariant("  ") : QVariant("222"));
    if (case_ == "collision") member("CARLA", "0.22-2");
    if (case_ == "nogroup") testdata::addRow("ASSOCIADOS.DB", {{"ASS_NOME", "DORA"}});
    debit(kDate, 1, 10.0);
    const QHash<QString, QVariant> values{{"novalue", QVariant()}, {"zero", 0.0},
                                          {"negative", -5.0}, {"large", 1e12},
                                          {"fraction", 10.005}};
    debit(kDate, case_ == "nomember" ? 9 : 2, values.value(case_, 20.0));
    if (case_ == "collision") debit(kDate, 3, 30.0);
    if (case_ == "nogroup") {
        db::Connection& c = db::Session::instance().connectionFor("Tolmare");
        c.attach("ASSOCIADOS.DB");
        c.exec("UPDATE ASSOCIADOS.ASSOCIADOS SET ASS_GRP_ID = 99 WHERE ASS_ID = 2");
    }
    const remessa::Verificacao v = remessa::verificarRemessa(kDate);
    QCOMPARE(v.podeGerar(), canGenerate);
    if (expected.isEmpty()) QVERIFY2(v.problemas.isEmpty(), qPrintable(lines(v)));
    else QVERIFY2(lines(v).contains(expected), qPrintable(lines(v)));
    // The check changes nothing.
    QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), case_ == "collision" ? 3 : 2);
    QCOMPARE(remittanceNumber(), 5.0);
}

// A debit the date step deletes is not sent, so its missing value stops nothing.
void TestSalvaguardas::checkFollowsTheDateStep()
{
    parametros(5);
    group();
    member("ANA", "111");
    debit(kDate.addMonths(-1), 1, QVariant());
    debit(kDate, 1, 10.0);
    // Two older debits of BETO: the first is deleted, the second kept and re-dated.
    member("BETO", "222");
    debit(kDate.addMonths(-2), 2, 5.0);
    debit(kDate.addMonths(-1), 2, 7.0);
    const remessa::Verificacao v = remessa::verificarRemessa(kDate);
    QVERIFY2(v.podeGerar(), qPrintable(lines(v)));
    QCOMPARE(v.debitos, 2);
    QCOMPARE(v.total, toCurrency(17.0));
    // The command line names what the date step deletes, with the one kept.
    QString out;
    QCOMPARE(runCli(folder_, {"remessa", "--data", "10/11/2026", "--verificar"}, &out), 0);
    QVERIFY2(out.contains("Será apagado: associado 1 - ANA (matrícula 111): o débito de "
                          "10/10/2026, valor (sem valor), será apagado pela data da remessa; "
                          "fica o de 10/11/2026, valor 10,00.\n"),
             qPrintable(out));
    QVERIFY2(out.contains("Será apagado: associado 2 - BETO (matrícula 222): o débito de "
                          "10/09/2026, valor 5,00, será apagado pela data da remessa; fica o "
                          "de 10/10/2026, valor 7,00, levado para 10/11/2026.\n"),
             qPrintable(out));
    QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), 4);
}

void TestSalvaguardas::proof_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("counted");
    QTest::addColumn<QString>("expected");
    const QByteArray good = remittance(3, 3, 3702);
    QTest::newRow("sound") << good << 3 << "";
    QTest::newRow("cut before the trailer") << good.left(good.size() - 51) << 3
                                            << "termina sem o trailer";
    QTest::newRow("cut mid-record") << good.left(good.size() - 20) << 3 << "não tem 49 caracteres";
    QTest::newRow("LF alone") << QByteArray(good).replace("\r\n", "\n") << 3
                              << "não tem 49 caracteres";
    QTest::newRow("trailer count") << remittance(3, 4, 3702) << 3 << "o trailer indica 4";
    QTest::newRow("trailer total") << remittance(3, 3, 3703) << 3 << "o total do trailer (37,03)";
    QTest::newRow("fewer than counted") << remittance(2, 2, 2468) << 3 << "a geração contou 3";
    QTest::newRow("empty") << QByteArray() << 0 << "está vazio";
}

void TestSalvaguardas::proof()
{
    QFETCH(QByteArray, file);
    QFETCH(int, counted);
    QFETCH(QString, expected);
    const QString path = folder_ + "/ARQ_PREVI_000001.txt";
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(file);
    f.close();
    const QString why = remessa::provarArquivo(path, counted, toCurrency(12.34 * counted));
    if (expected.isEmpty()) QVERIFY2(why.isEmpty(), qPrintable(why));
    else QVERIFY2(why.contains(expected), qPrintable(why));
}

// Values with fractions of a cent are cut in the records like every value, and the trailer
// carries the sum of the records as written: the file agrees with itself and the read-back
// lets it through (the check before the generation is what names such values).
// Whole cents whose sum as floating point falls short of the last cent: the trailer carries
// the exact sum of the records.
void TestSalvaguardas::trailerTotalIsTheSumOfTheRecords()
{
    const QList<double> values{
        5019476366.26, 8301753889.42, 8000984936.97, 5181571914.96, 3977822857.52,
        9920977529.79, 7810234123.34, 8247748658.49, 6800927938.41, 6573022401.72,
        9777105168.09, 5436192661.54, 1001022794.01, 8418907042.54, 5388782724.75,
        6993384728.34, 4728279228.63, 1684005982.93, 1638220785.51, 8813733802.02,
        1297315095.45, 4141674813.37, 8487347090.98, 5907069174.37, 1301158511.71};
    parametros(5);
    group();
    for (int i = 0; i < values.size(); ++i) {
        member(QString("M%1").arg(i + 1), QString::number(100 + i));
        debit(kDate, i + 1, values[i]);
    }
    const QString path = folder_ + "/ARQ_PREVI_000005.txt";
    const remessa::Outcome o = remessa::GerarArquivo(path, kDate, kDate);
    QVERIFY2(o.kind == remessa::Outcome::Kind::Done, qPrintable(o.message));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> records = f.readAll().split('\n');
    QCOMPARE(records.size(), values.size() + 3);
    QCOMPARE(records[values.size() + 1].mid(1, 25), QByteArray("0000000025014484872022112"));
    QVERIFY2(o.message.contains("144848720221,12"), qPrintable(o.message));
}

void TestSalvaguardas::proofStopsAGeneration()
{
    parametros(5);
    group();
    member("ANA", "111");
    member("BETO", "222");
    debit(kDate, 1, 0.005);
    debit(kDate, 2, 0.005);
    const QString path = folder_ + "/ARQ_PREVI_000005.txt";
    const remessa::Outcome o = remessa::GerarArquivo(path, kDate, kDate);
    QVERIFY2(o.kind == remessa::Outcome::Kind::Done, qPrintable(o.message));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> records = f.readAll().split('\n');
    QCOMPARE(records[3].mid(1, 25), QByteArray("0000000002000000000000000"));
    QVERIFY(!remessa::verificarRemessa(kDate).podeGerar());
}

// The same content twice, under another name the second time: refused unless asked for.
void TestSalvaguardas::returnImportedTwice()
{
    parametros(5);
    group();
    member("ANA", "111");
    const QByteArray content = fileLines({"000000000000111ANA"});
    const QString first = dir_.path() + "/ret1.txt", second = dir_.path() + "/sec.txt";
    for (const QString& p : {first, second}) {
        QFile f(p);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QString out, err;
    QCOMPARE(runCli(folder_, {"retorno", "--arquivo", first, "--mes", "11/2026", "--hoje",
                              "05/12/2026"}, &out, &err), 0);
    QCOMPARE(runCli(folder_, {"retorno", "--arquivo", second, "--mes", "11/2026"}, &out, &err), 1);
    QVERIFY2(err.contains("Este arquivo já foi importado em 05/12/2026 para 11/2026"),
             qPrintable(err));
    QVERIFY(QFile::exists(second));  // not renamed: nothing was imported
    QCOMPARE(runCli(folder_, {"retorno", "--arquivo", second, "--mes", "11/2026",
                              "--reimportar"}, &out, &err), 0);
    QVERIFY(!QFile::exists(second));
}

// A file recorded with the fingerprint of earlier versions (its SHA-256 alone) is recognised.
void TestSalvaguardas::returnImportedUnderTheEarlierFingerprint_data()
{
    QTest::addColumn<bool>("insideImport");
    QTest::newRow("before the import") << false;
    QTest::newRow("inside the import's transaction") << true;
}

void TestSalvaguardas::returnImportedUnderTheEarlierFingerprint()
{
    QFETCH(bool, insideImport);
    parametros(5);
    group();
    member("ANA", "111");
    const QByteArray content = fileLines({"000000000000111ANA"});
    const QString path = dir_.path() + "/ret.txt";
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size() && f.flush());
    {
        db::Connection c(folder_);
        retorno::registrarImportacao(c, QCryptographicHash::hash(content,
                                         QCryptographicHash::Sha256).toHex(),
                                     "antigo.txt", 11, 2026, QDate(2026, 12, 1), 1);
    }
    if (insideImport) {
        TDMRet_Debito dm;
        try {
            retorno::importar(dm, path, 11, 2026, QDate(2026, 12, 2));
            QFAIL("imported again");
        } catch (const retorno::JaImportado& j) {
            QCOMPARE(j.anterior.data, QDate(2026, 12, 1));
        }
    } else {
        QString out, err;
        QCOMPARE(runCli(folder_, {"retorno", "--arquivo", path, "--mes", "11/2026"}, &out, &err),
                 1);
        QVERIFY2(err.contains("Este arquivo já foi importado em 01/12/2026 para 11/2026"),
                 qPrintable(err));
    }
    QVERIFY(QFile::exists(path));
}

// The main database held by another program: the record of imports and the log are busy, never
// read as empty (a return would be imported twice).
void TestSalvaguardas::lockedRecordsAreBusyNotAbsent_data()
{
    QTest::addColumn<QString>("what");
    QTest::newRow("imported returns") << "imports";
    QTest::newRow("operation log") << "log";
}

void TestSalvaguardas::lockedRecordsAreBusyNotAbsent()
{
    QFETCH(QString, what);
    const QString path = dir_.path() + "/ret.txt";
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(fileLines({"000000000000111ANA"})) > 0);
    f.close();
    db::Connection& c = db::Session::instance().connectionFor("Tolmare");
    retorno::registrarImportacao(c, "x", "antigo.txt", 11, 2026, QDate(2026, 12, 1), 1);
    historico::registrar(c, "Teste", "linha");
    sqlite3* other = nullptr;
    QCOMPARE(sqlite3_open(QDir(folder_).filePath(".tolmare-main").toUtf8().constData(), &other),
             SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    try {
        if (what == "imports") retorno::importacaoAnterior(path);
        else historico::ler(c);
        QFAIL("a locked table read as absent");
    } catch (const db::EngineError& e) {
        QCOMPARE(e.fault(), db::EngineFault::Busy);
    }
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
}

// Every operation run through the command line leaves its line, committed with it.
void TestSalvaguardas::logOfCommandLine()
{
    parametros(5);
    group();
    member("ANA", "111");
    debit(kDate, 1, 25.5);
    const QString path = dir_.path() + "/ARQ_PREVI_000005.txt";
    QString out, err;
    QCOMPARE(runCli(folder_, {"remessa", "--data", "10/11/2026", "--arquivo", path}, &out, &err),
             0);
    QFile ret(dir_.path() + "/r.txt");
    QVERIFY(ret.open(QIODevice::WriteOnly));
    ret.write(fileLines({"000000000000111ANA"}));
    ret.close();
    QCOMPARE(runCli(folder_, {"retorno", "--arquivo", ret.fileName(), "--mes", "11/2026"}), 0);
    // A backup of the tables, then a restore over them: the log is not one of the files
    // backed up, so the restore leaves it whole, with its own line added.
    const QString archive = dir_.path() + "/copia.bck";
    QCOMPARE(runCli(folder_, {"backup", archive, folder_ + "/*.DB"}, &out, &err), 0);
    QCOMPARE(runCli(folder_, {"restaurar", archive, folder_}, &out, &err), 0);
    // A table missing at the next start is created, and said so.
    QVERIFY(QFile::remove(folder_ + "/GRUPO.DB"));
    QCOMPARE(runCli(folder_, {"verificar"}, &out, &err), 0);
    QCOMPARE(runCli(folder_, {"historico"}, &out, &err), 0);
    const QStringList log = out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(log.size(), 5);
    QVERIFY2(log[0].contains("usuário 1  Remessa: remessa 6 para 10/11/2026: arquivo " + path
                             + ", 1 registro(s), total 25,50"), qPrintable(log[0]));
    QVERIFY2(log[1].contains("Retorno: arquivo " + ret.fileName() + " para 11/2026: 1 linha(s), "
                             "1 importada(s)"), qPrintable(log[1]));
    QVERIFY2(log[2].contains("Backup: arquivo " + archive + ": 5 arquivo(s)"), qPrintable(log[2]));
    QVERIFY2(log[3].contains("Restauração: arquivo " + archive + " em " + folder_
                             + ": 5 arquivo(s) restaurado(s)"), qPrintable(log[3]));
    QVERIFY2(log[4].contains("Tabelas: GRUPO.DB criada"), qPrintable(log[4]));
    QCOMPARE(runCli(folder_, {"historico", "--desde", "01/01/2099"}, &out), 0);
    QVERIFY(out.contains("Nenhuma operação registrada."));
    QCOMPARE(runCli(folder_, {"historico", "--desde", "31/02/2026"}), 2);
}

void TestSalvaguardas::logIsAppendOnly()
{
    db::Connection& c = db::Session::instance().connectionFor("Tolmare");
    historico::registrar(c, "Backup", "arquivo x.bck, 5 arquivo(s)");
    QVERIFY_THROWS_EXCEPTION(db::EngineError, c.exec("DELETE FROM main.HISTORICO"));
    QVERIFY_THROWS_EXCEPTION(db::EngineError,
                             c.exec("UPDATE main.HISTORICO SET DETALHE = 'outro'"));
    QCOMPARE(historico::ler(c).size(), 1);
}

QTEST_GUILESS_MAIN(TestSalvaguardas)
#include "tst_salvaguardas.moc"

// The return file import over real tables, with return files built by the test.
#include "core/UVariaveis.h"
#include "core/dm/UDMRet_Debito.h"
#include "core/engine/EngineError.h"
#include "core/engine/Table.h"
#include "core/Cp1252.h"
#include "remittance/GerarRemessa.h"
#include "remittance/ImportarRetorno.h"
#include "remittance/MemberIndex.h"
#include "tests/common/TestData.h"
#include "tests/remittance/RemessaFixtures.h"

#include "core/engine/Connection.h"
#include "core/engine/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

const QDate kToday(2026, 8, 3);

// A return line: number in 15 positions, name in 45, reason in 30.
QString line(const QString& number, const QString& name, const QString& reason = {})
{
    return number.rightJustified(15, '0') + name.leftJustified(45, ' ') + reason.leftJustified(30, ' ');
}

QString writeFile(const QString& folder, const QString& name, const QStringList& lines,
                  const QByteArray& eol = "\r\n")
{
    const QString path = QDir(folder).filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    for (const QString& l : lines) f.write(cp1252::encode(l) + eol);
    return path;
}

void member(const QString& name, const QString& matricula, const QString& account)
{
    testdata::addRow("ASSOCIADOS.DB", {{"ASS_NOME", name}, {"ASS_MATRICULA", matricula},
                                       {"ASS_CONTA_CORRENTE", account}, {"ASS_GRP_ID", 1.0}});
}

void sent(const QDate& d, double who, double remessa = 7)
{
    testdata::addRow("RET_DEBITO.DB", {{"DEB_DATA", d}, {"DEB_ASS_ID", who},
                                       {"DEB_REMESSA", remessa}, {"DEB_VALOR", 10.0},
                                       {"DEB_OCORRENCIA", "Aguardando Retorno"},
                                       {"DEB_DTA_CAD", d}, {"DEB_USR_ID", 1}});
}

QStringList retRows()
{
    QStringList out;
    db::Table t;
    t.setTableName("RET_DEBITO.DB");
    t.open();
    for (t.first(); !t.eof(); t.next()) {
        QStringList c;
        for (const char* f : {"DEB_DATA", "DEB_DATA_RETORNO", "DEB_ASS_ID", "DEB_REMESSA",
                              "DEB_OCORRENCIA"})
            c << t.fieldByName(f).asString();
        out << c.join("|");
    }
    return out;
}

}  // namespace

class TestRetorno : public testdata::DataFolderTest {
    Q_OBJECT

private slots:
    void init()
    {
        freshFolder();
        UsuarioAtual = 1;
        member("ANA SOUZA", "1234", "900");      // 1
        member("BIA LIMA", "98.765-4", "555");   // 2: masked enrolment number
        member("CAIO", "", "654321");            // 3
        member("DORA", "0077", "100");           // 4: zero-padded enrolment number
    }

    void searchesAndOutcomes()
    {
        sent(QDate(2026, 7, 10), 1);
        sent(QDate(2026, 7, 10), 3);
        sent(QDate(2026, 6, 10), 2);  // another month: untouched
        const QString path = writeFile(folder_, "RET0726.TXT", {
            line("1234", "ANA SOUZA", "SEM SALDO"),  // enrolment number
            line("654321", "QUALQUER"),              // account 654321 -> CAIO; blank reason
            line("999", "BIA LIMA"),                 // by name with trailing blanks
            line("888", "NINGUEM", "CONTA ENCERRADA"),
            "ABC not a member line",
            "",
            line("77", "DORA", "   "),               // reason of blanks; no row that month
        });
        TDMRet_Debito dm;
        qint64 last = 0;
        const retorno::Resultado r = retorno::importar(dm, path, 7, 2026, kToday,
                                                       [&](qint64 pos, qint64) { last = pos; });
        QCOMPARE(last, qint64(5 * 90 + 21));
        QCOMPARE(r.resumo.mid(0, 3), QStringList({"IMPORTANTO ARQUIVO DE RETORNO",
                                                  "MÊS: 7 Ano: 2026", ""}));
        QCOMPARE(r.resumo.mid(3, 5),
                 QStringList({"", "RETORNO IMPORTADO", "     NOME: " + QString("ANA SOUZA").leftJustified(45),
                              "     MATRICULA: 1234", "     MOTIVO: " + QString("SEM SALDO").leftJustified(30)}));
        QVERIFY(r.resumo.contains(QString("ERRO: ASSOCIADO NÃO ENCOTRADO NA BASE DE DADOS")));
        QCOMPARE(r.resumo.count("RETORNO IMPORTADO"), 4);
        QCOMPARE(r.resumo.count("     MATRICULA: 77"), 1);
        QCOMPARE(r.resumo.last(), QString("     MATRICULA: 77"));  // no MOTIVO line for blanks
        QCOMPARE(r.novoNome, QDir(folder_).filePath("Retorno_R_7-2026.imp"));
        QVERIFY(!QFile::exists(path));
        QCOMPARE(retRows(), QStringList({"10/06/2026||2|7|Aguardando Retorno",
                                         "01/07/2026|03/08/2026|2|0|",
                                         "01/07/2026|03/08/2026|4|0|",
                                         "10/07/2026|03/08/2026|1|7|SEM SALDO",
                                         "10/07/2026|03/08/2026|3|7|"}));
        // The month's range stays on the consultation's table.
        QCOMPARE(dm.TRet_Debito->recordCount(), 4);
    }

    // The searches themselves, over the members of init() and these: among equal values the
    // first in account order wins, then among values that begin with the text.
    void memberSearch_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("id");
        const int m = retorno::MemberIndex::Matricula, c = retorno::MemberIndex::Conta,
                  n = retorno::MemberIndex::Nome;
        QTest::newRow("equal, first in account order") << m << "5005" << qint64(6);
        QTest::newRow("masked equal to plain") << m << "987654" << qint64(2);
        QTest::newRow("zeros dropped") << m << "77" << qint64(4);
        QTest::newRow("prefix, first in account order") << m << "50" << qint64(6);
        QTest::newRow("equal before prefix") << c << "555" << qint64(2);
        QTest::newRow("account prefix") << c << "65" << qint64(3);
        QTest::newRow("accented name") << n << "JOÃO" << qint64(7);
        QTest::newRow("accented prefix") << n << "JOÃ" << qint64(7);
        QTest::newRow("case counts") << n << "joão" << qint64(-1);
        QTest::newRow("account prefix, bytes") << c << "A7" << qint64(9);
        QTest::newRow("none") << c << "777" << qint64(-1);
        QTest::newRow("empty") << n << "" << qint64(-1);
    }
    void memberSearch()
    {
        QFETCH(int, field);
        QFETCH(QString, text);
        QFETCH(qint64, id);
        member("ENZO", "5005", "800");  // 5
        member("FABIO", "05005", "050");  // 6: the same number, earlier in account order
        member("JOÃO", "", "5559");     // 7
        member("GIL", "", "a77");       // 8: first in account order, but not an "A"
        member("HUGO", "", "A78");      // 9
        db::Connection c(folder_);
        retorno::MemberIndex index(c);
        const QByteArray utf8 = text.toUtf8();
        QCOMPARE(index.find(retorno::MemberIndex::Field(field),
                            std::string_view(utf8.constData(), size_t(utf8.size()))), id);
    }

    // A prefix that many values begin with is remembered: asked again, it gives the same
    // member, the first in account order.
    void rememberedPrefix()
    {
        for (int i = 0; i < 40; ++i)
            member(QString("ZE %1").arg(i, 2, 10, QChar('0')), "", QString::number(9000 - i));
        db::Connection c(folder_);
        retorno::MemberIndex index(c);
        for (int time = 0; time < 2; ++time)
            QCOMPARE(index.find(retorno::MemberIndex::Nome, "ZE"), 44);
    }

    // A member is found by the number the remittance sent for it, whatever masks and zeros
    // the stored enrolment number carries; an exact number wins over a longer one that only
    // begins with it, even one earlier in account order.
    void enrolmentFoundAsSent_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::newRow("masked") << "12.345-6";
        QTest::newRow("zero-padded") << "0123456";
        QTest::newRow("blanks around") << "  123456  ";
        QTest::newRow("slash and dots") << "00.12/3456";
        QTest::newRow("plain") << "123456";
    }
    void enrolmentFoundAsSent()
    {
        QFETCH(QString, stored);
        member("EVA", "1234567", "0");  // 5: begins with the number, first in account order
        member("ZED", stored, "999");   // 6
        const QString path = writeFile(folder_, "R.TXT", {line("123456", "X"), line("123", "Y")});
        TDMRet_Debito dm;
        retorno::importar(dm, path, 7, 2026, kToday);
        // 123 matches no number exactly: the first that begins with it in account order.
        QCOMPARE(retRows(), QStringList({"01/07/2026|03/08/2026|5|0|",
                                         "01/07/2026|03/08/2026|6|0|"}));
    }

    // A month goes out through the remittance and comes back: every outcome lands on its own
    // member, whether the enrolment number is stored masked, zero-padded or plain, and even
    // when one number begins another.
    void remittanceRoundTrip()
    {
        member("EVA", "0.123/45-6", "7");   // 5
        member("LUIS", "123", "8");         // 6: begins ANA's 1234
        parametros(40);
        for (double who : {1, 2, 3, 4, 5, 6}) debit(QDate(2026, 7, 10), who, 10 + who);
        const QString sentPath = QDir(folder_).filePath("ARQ_PREVI_000040.txt");
        QCOMPARE(int(remessa::GerarArquivo(sentPath, QDate(2026, 7, 10), QDate(2026, 7, 5)).kind),
                 int(remessa::Outcome::Kind::Done));
        // PREVI's answer: each detail's number, a name nobody has, the number as the reason.
        QStringList answer;
        for (const QByteArray& record : readAll(sentPath).split('\n'))
            if (record.startsWith('1'))
                answer << line(record.mid(3, 15), "PREVI", record.mid(3, 15));
        QCOMPARE(answer.size(), 5);  // CAIO has no enrolment number
        const QString path = writeFile(folder_, "RET0726.TXT", answer);
        TDMRet_Debito dm;
        retorno::importar(dm, path, 7, 2026, kToday);
        QCOMPARE(retRows(), QStringList({"10/07/2026|03/08/2026|1|41|000000000001234",
                                         "10/07/2026|03/08/2026|2|41|000000000987654",
                                         "10/07/2026|03/08/2026|4|41|000000000000077",
                                         "10/07/2026|03/08/2026|5|41|000000000123456",
                                         "10/07/2026|03/08/2026|6|41|000000000000123"}));
    }

    void monthLimits_data()
    {
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("year");
        QTest::addColumn<QDate>("inside");
        QTest::addColumn<QDate>("outside");
        QTest::newRow("leap february") << 2 << 2028 << QDate(2028, 2, 29) << QDate(2028, 3, 1);
        QTest::newRow("common february") << 2 << 2026 << QDate(2026, 2, 28) << QDate(2026, 3, 1);
        QTest::newRow("31 days") << 7 << 2026 << QDate(2026, 7, 31) << QDate(2026, 8, 1);
    }
    void monthLimits()
    {
        QFETCH(int, month);
        QFETCH(int, year);
        QFETCH(QDate, inside);
        QFETCH(QDate, outside);
        sent(outside, 4);
        sent(inside, 4);
        const QString path = writeFile(folder_, "R.TXT", {line("77", "DORA", "X")}, "\n");
        TDMRet_Debito dm;
        retorno::importar(dm, path, month, year, kToday);
        const QStringList rows = retRows();
        QCOMPARE(rows.size(), 2);
        QVERIFY(rows.contains(inside.toString("dd/MM/yyyy") + "|03/08/2026|4|7|X"));
    }

    void emptyFileAndTwice()
    {
        const QString empty = writeFile(folder_, "VAZIO.TXT", {});
        TDMRet_Debito dm;
        QVERIFY_THROWS_EXCEPTION(db::EngineError, retorno::importar(dm, empty, 5, 2004, kToday));
        QVERIFY(QFile::exists(empty));

        sent(QDate(2026, 7, 10), 1);
        QString path = writeFile(folder_, "RET.TXT", {line("1234", "ANA", "A")});
        path = retorno::importar(dm, path, 7, 2026, kToday).novoNome;
        // The same content again is refused inside the import's transaction (as when another
        // program imported it meanwhile), unless asked for.
        QVERIFY_THROWS_EXCEPTION(retorno::JaImportado,
                                 retorno::importar(dm, path, 7, 2026, kToday.addDays(1)));
        QCOMPARE(retRows(), QStringList({"10/07/2026|03/08/2026|1|7|A"}));
        QVERIFY(QFile::exists(path));
        retorno::importar(dm, path, 7, 2026, kToday.addDays(1), {}, true);
        QCOMPARE(retRows(), QStringList({"10/07/2026|04/08/2026|1|7|A"}));
    }

    // A file without one member line is no return file: refused, named, nothing recorded.
    void fileWithoutAMemberLineIsRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("only line ends") << QByteArray("\r\n\r\n\n");
        QTest::newRow("NUL bytes") << QByteArray(5000, '\0');
        static const char png[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe";
        QTest::newRow("binary") << QByteArray(png, sizeof png - 1);
        static const char16_t utf16[] = u"001234A\r\n";  // UTF-16, two bytes a character
        QTest::newRow("UTF-16") << QByteArray(reinterpret_cast<const char*>(utf16),
                                              qsizetype(sizeof utf16 - sizeof utf16[0]));
        QTest::newRow("a run of digits") << QByteArray(3 << 20, '7');
    }
    void fileWithoutAMemberLineIsRefused()
    {
        QFETCH(QByteArray, bytes);
        const QString path = QDir(folder_).filePath("RET.TXT");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        f.close();
        TDMRet_Debito dm;
        try {
            retorno::importar(dm, path, 7, 2026, kToday);
            QFAIL("imported");
        } catch (const db::EngineError& e) {
            QVERIFY2(e.message().contains("nenhuma linha de associado") && e.message().contains(path),
                     qPrintable(e.message()));
        }
        QVERIFY(QFile::exists(path));
        QVERIFY(!retorno::importacaoAnterior(path));
        QCOMPARE(QDir(folder_).entryList({"Retorno_*"}), QStringList());
    }

    // Lines by the hundred thousand: the summary stops growing and says how many it left out.
    void summaryIsBounded()
    {
        const QString path = QDir(folder_).filePath("UM.TXT");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("1\n").repeated(300000));
        f.close();
        TDMRet_Debito dm;
        const retorno::Resultado r = retorno::importar(dm, path, 7, 2026, kToday);
        QVERIFY(r.resumo.size() < 20000 * 4 + 10);
        QVERIFY2(r.resumo.last().contains("mais 280000 linha(s)"), qPrintable(r.resumo.last()));
    }

    void renameBlockedAndRowOrder()
    {
        // Two rows of one member in the month: the first in key order (empty return date
        // first) gets the first line; once dated, the other one comes first.
        sent(QDate(2026, 7, 10), 1, 7);
        testdata::addRow("RET_DEBITO.DB", {{"DEB_DATA", QDate(2026, 7, 10)}, {"DEB_ASS_ID", 1.0},
                                           {"DEB_DATA_RETORNO", QDate(2026, 7, 30)},
                                           {"DEB_REMESSA", 6.0}, {"DEB_OCORRENCIA", "X"},
                                           {"DEB_DTA_CAD", kToday}, {"DEB_USR_ID", 1}});
        const QString path = writeFile(folder_, "RET.TXT", {line("1234", "ANA", "A"),
                                                           line("1234", "ANA", "B")});
        writeFile(folder_, "Retorno_R_7-2026.imp", {});
        TDMRet_Debito dm;
        const retorno::Resultado r = retorno::importar(dm, path, 7, 2026, kToday);
        QVERIFY(r.novoNome.isEmpty());
        QVERIFY(QFile::exists(path));
        QCOMPARE(retRows(), QStringList({"10/07/2026|03/08/2026|1|6|B",
                                         "10/07/2026|03/08/2026|1|7|A"}));
    }

    void badLines()
    {
        // A line longer than 90 positions, a short line, an accented name.
        const QString path = writeFile(folder_, "R.TXT", {
            line("1234", "ANA", "MOTIVO") + "IGNORED TAIL",
            "000000000000077DORA",
            line("8", "JOÃO NINGUÉM"),
        });
        TDMRet_Debito dm;
        const retorno::Resultado r = retorno::importar(dm, path, 7, 2026, kToday);
        QCOMPARE(r.resumo.count("RETORNO IMPORTADO"), 2);
        QVERIFY(r.resumo.contains(QString("     NOME: ") + QString("JOÃO NINGUÉM").leftJustified(45)));
        QCOMPARE(retRows(), QStringList({"01/07/2026|03/08/2026|1|0|MOTIVO",
                                         "01/07/2026|03/08/2026|4|0|"}));
        QVERIFY_THROWS_EXCEPTION(db::EngineError,
                                 retorno::importar(dm, QDir(folder_).filePath("nada.txt"), 7, 2026, kToday));
    }

    // A month or year that cannot be is refused before anything: no row, no renaming.
    void monthsRefused_data()
    {
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("year");
        QTest::newRow("13") << 13 << 2026;
        QTest::newRow("00") << 0 << 2026;
        QTest::newRow("-3") << -3 << 2026;
        QTest::newRow("two-digit year") << 3 << 27;
    }
    void monthsRefused()
    {
        QFETCH(int, month);
        QFETCH(int, year);
        const QString path = writeFile(folder_, "R.TXT", {line("1234", "ANA", "X")});
        TDMRet_Debito dm;
        QVERIFY_THROWS_EXCEPTION(db::EngineError, retorno::importar(dm, path, month, year, kToday));
        QVERIFY(QFile::exists(path));
        QCOMPARE(retRows(), QStringList());
    }

    void monthYearTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::newRow("good") << "03/2027" << "";
        QTest::newRow("one-digit month") << "3/2027" << "";
        QTest::newRow("empty") << "/" << "Informe o Mês / Ano";
        QTest::newRow("month 13") << "13/2026" << "Mês inválido: '13'";
        QTest::newRow("month 00") << "00/2026" << "Mês inválido: '00'";
        QTest::newRow("month -3") << "-3/2026" << "Mês inválido: '-3'";
        QTest::newRow("two-digit year") << "03/27" << "Ano inválido: '27'";
        QTest::newRow("letters") << "ab/2026" << "Mês inválido";
    }
    void monthYearTyped()
    {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        int month = 0, year = 0;
        const QString got = retorno::validarMesAno(typed.section('/', 0, 0), typed.section('/', 1),
                                                   month, year);
        QVERIFY2(message.isEmpty() ? got.isEmpty() : got.startsWith(message), qPrintable(got));
        if (message.isEmpty()) QCOMPARE(month * 10000 + year, 3 * 10000 + 2027);
    }

    // Lines end with CR LF, LF or CR alone: every line is read.
    void lineEnds_data()
    {
        QTest::addColumn<QByteArray>("eol");
        QTest::newRow("CR LF") << QByteArray("\r\n");
        QTest::newRow("LF") << QByteArray("\n");
        QTest::newRow("CR") << QByteArray("\r");
    }
    void lineEnds()
    {
        QFETCH(QByteArray, eol);
        const QString path = writeFile(folder_, "R.TXT", {line("1234", "ANA"), "",
                                                          line("0077", "DORA", "SEM SALDO"),
                                                          line("31337", "NINGUEM")}, eol);
        TDMRet_Debito dm;
        const retorno::Resultado r = retorno::importar(dm, path, 7, 2026, kToday);
        QCOMPARE(r.resumo.count("RETORNO IMPORTADO"), 2);
        QCOMPARE(r.resumo.count(QString("ERRO: ASSOCIADO NÃO ENCOTRADO NA BASE DE DADOS")), 1);
        QCOMPARE(retRows().size(), 2);
    }

    // A line whose outcome would give a row the key of another is passed over.
    void repeatedKeyPassedOver()
    {
        for (const QVariant& returned : {QVariant(), QVariant(kToday)})
            testdata::addRow("RET_DEBITO.DB", {{"DEB_DATA", QDate(2026, 7, 1)}, {"DEB_ASS_ID", 1.0},
                                               {"DEB_DATA_RETORNO", returned},
                                               {"DEB_REMESSA", 0.0}, {"DEB_OCORRENCIA", "A"},
                                               {"DEB_DTA_CAD", kToday}, {"DEB_USR_ID", 1}});
        const QStringList before = retRows();
        const QString path = writeFile(folder_, "R.TXT", {line("1234", "ANA", "B")});
        TDMRet_Debito dm;
        const retorno::Resultado r = retorno::importar(dm, path, 7, 2026, kToday);
        QCOMPARE(r.resumo.count("RETORNO IMPORTADO"), 0);
        QCOMPARE(retRows(), before);
    }

    // A data folder the import cannot write in (files writable, folder not, as another user):
    // the import stops, changes nothing, keeps the file's name and exits with an error.
    void readOnlyFolderStops()
    {
        if (::geteuid() != 0) QSKIP("needs to run a child as another user");
        sent(QDate(2026, 7, 10), 1);
        db::Session::instance().reset();
        const QString inbox = dir_.filePath("entrada");
        QDir().mkpath(inbox);
        const QString path = writeFile(inbox, "RET.TXT", {line("1234", "ANA", "SEM SALDO")});
        for (const QString& d : {dir_.path(), folder_})
            QFile::setPermissions(d, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                         | QFile::ReadOther | QFile::ExeOther);
        QFile::setPermissions(inbox, QFile::Permissions(0x7777));
        QFile::setPermissions(path, QFile::Permissions(0x6666));
        for (const QString& f : QDir(folder_).entryList({"*.DB", ".tolmare-main"},
                                                         QDir::Files | QDir::Hidden))
            QFile::setPermissions(QDir(folder_).filePath(f), QFile::Permissions(0x6666));
        const QString program = testdata::copyForOtherUser(dir_.path(), "tolmare-cli");
        QVERIFY(!program.isEmpty());
        QProcess cli;
        cli.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups", program,
                              "--dados",
                              folder_, "retorno", "--arquivo", path, "--mes", "07/2026",
                              "--hoje", "03/08/2026"});
        if (!cli.waitForStarted()) QSKIP("setpriv is not available");
        QVERIFY(cli.waitForFinished(30000));
        const QString err = QString::fromUtf8(cli.readAllStandardError());
        QVERIFY2(cli.exitCode() != 0, qPrintable(err));
        QVERIFY2(err.contains("Nada foi importado"), qPrintable(err));
        QVERIFY(QFile::exists(path));
        QCOMPARE(retRows(), QStringList({"10/07/2026||1|7|Aguardando Retorno"}));
    }

    // The command line cleans duplicate RET_DEBITO rows first, as the consultation window
    // does: the outcome lands on the one row left.
    void commandLineCleansDuplicates()
    {
        sent(QDate(2026, 7, 10), 1, 7);
        sent(QDate(2026, 7, 10), 1, 5);
        db::Session::instance().reset();
        const QString path = writeFile(folder_, "RET.TXT", {line("1234", "ANA", "SEM SALDO")});
        QCOMPARE(runCli(folder_, {"retorno", "--arquivo", path, "--mes", "07/2026", "--hoje",
                                  "03/08/2026"}),
                 0);
        QCOMPARE(retRows(), QStringList({"10/07/2026|03/08/2026|1|5|SEM SALDO"}));
    }

    void commandLine()
    {
        const QString path = writeFile(folder_, "RET.TXT", {line("1234", "ANA SOUZA", "SEM SALDO")});
        db::Session::instance().reset();
        QProcess cli;
        cli.start(QCoreApplication::applicationDirPath() + "/tolmare-cli",
                  {"--dados", folder_, "retorno", "--arquivo", path, "--mes", "07/2026",
                   "--hoje", "03/08/2026"});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        const QStringList out = QString::fromUtf8(cli.readAllStandardOutput()).split('\n');
        QCOMPARE(out.mid(0, 2), QStringList({"IMPORTANTO ARQUIVO DE RETORNO", "MÊS: 7 Ano: 2026"}));
        QVERIFY(out.contains(QString("RETORNO IMPORTADO")));
        QCOMPARE(retRows(), QStringList({"01/07/2026|03/08/2026|1|0|SEM SALDO"}));
        cli.start(QCoreApplication::applicationDirPath() + "/tolmare-cli",
                  {"--dados", folder_, "retorno", "--arquivo", path, "--mes", "  /    "});
        QVERIFY(cli.waitForFinished(30000));
        QVERIFY(cli.exitCode() != 0);
        QCOMPARE(QString::fromUtf8(cli.readAllStandardError()).trimmed(),
                 QString("Informe o Mês / Ano do arquivo que você está importando."));
    }

    void endlessLineAndNulBytes()
    {
        const QString path = QDir(folder_).filePath("BIN.TXT");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("000000000001234ANA") + QByteArray(200000, 'x'));  // no line end
        f.write(QByteArray("\r\n\0\0\0binary\xff\xfe\r\n", 14));
        f.close();
        TDMRet_Debito dm;
        const retorno::Resultado r = retorno::importar(dm, path, 7, 2026, kToday);
        QCOMPARE(r.resumo.count("RETORNO IMPORTADO"), 1);
        QCOMPARE(retRows(), QStringList({"01/07/2026|03/08/2026|1|0|" + QString(30, 'x')}));
    }

    void lineReader_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("member");
        QTest::addColumn<qint64>("number");
        QTest::newRow("zeros") << "000000000000042X" << true << qint64(42);
        QTest::newRow("spaces") << "           42  X" << true << qint64(42);
        QTest::newRow("empty") << "" << false << qint64(0);
        QTest::newRow("letters") << "HEADER 0000001" << false << qint64(0);
        QTest::newRow("sign") << "-00000000000042" << false << qint64(0);
    }
    void lineReader()
    {
        QFETCH(QString, text);
        QFETCH(bool, member);
        QFETCH(qint64, number);
        retorno::Linha l;
        QCOMPARE(retorno::lerLinha(text.toLatin1(), l), member);
        if (member) QCOMPARE(l.numero, number);
    }
};

QTEST_GUILESS_MAIN(TestRetorno)
#include "tst_retorno.moc"

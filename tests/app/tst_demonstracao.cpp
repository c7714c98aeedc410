// tolmare-cli demonstracao: a new folder filled whole, a folder holding data left alone, and
// the month's remittance and return going through on it.
#include "tests/common/TestData.h"
#include "tests/remittance/RemessaFixtures.h"

#include <QTest>

class TestDemonstracao : public testdata::DataFolderTest {
    Q_OBJECT

private slots:
    void init() { freshFolder(); }

    void fillsANewFolderAndItsMonthGoesThrough()
    {
        const QString answer = QDir(dir_.path()).filePath("RET.TXT");
        QCOMPARE(runCli(folder_, {"demonstracao", "--retorno", answer}), 0);
        QCOMPARE(testdata::countRows(folder_, "GRUPO.DB"), 3);
        QCOMPARE(testdata::countRows(folder_, "ASSOCIADOS.DB"), 8);
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), 8);
        QCOMPARE(runCli(folder_, {"remessa", "--data", "10/07/2026", "--arquivo",
                                  QDir(dir_.path()).filePath("ARQ.TXT")}),
                 0);
        QString out;
        QCOMPARE(runCli(folder_, {"retorno", "--arquivo", answer, "--mes", "07/2026"}, &out), 0);
        QCOMPARE(out.count("RETORNO IMPORTADO"), 7);  // one member is not in the answer
        QCOMPARE(out.count("MOTIVO: SEM SALDO"), 1);
    }

    void refusesAFolderHoldingData_data()
    {
        QTest::addColumn<QString>("table");
        QTest::newRow("a group") << "GRUPO.DB";
        QTest::newRow("the parameters") << "PARAMETROS.DB";
    }
    void refusesAFolderHoldingData()
    {
        QFETCH(QString, table);
        testdata::addRow(table, table == "GRUPO.DB" ? QVariantMap{{"GRP_DESCRICAO", "SÓCIOS"}}
                                                    : QVariantMap{{"EMP_NOME", "Minha"}});
        QString err;
        QCOMPARE(runCli(folder_, {"demonstracao"}, nullptr, &err), 1);
        QVERIFY(err.contains("já tem dados"));
        QCOMPARE(testdata::countRows(folder_, table), 1);
        QCOMPARE(testdata::countRows(folder_, "ASSOCIADOS.DB"), 0);
    }
};

QTEST_MAIN(TestDemonstracao)
#include "tst_demonstracao.moc"

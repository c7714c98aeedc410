// The check before a remittance compares it with the previous one: members debited then and
// not now, members new this time, amounts that changed, and both totals.
#include "core/UVariaveis.h"
#include "core/engine/Query.h"
#include "remittance/GerarRemessa.h"
#include "remittance/VerificarRemessa.h"
#include "tests/common/TestData.h"
#include "tests/remittance/RemessaFixtures.h"

#include <QTest>

class TestComparacaoRemessa : public testdata::DataFolderTest {
    Q_OBJECT

private slots:
    void init()
    {
        freshFolder();
        UsuarioAtual = 1;
    }

    void differencesWithThePrevious()
    {
        parametros(40);
        member("Ana", "1");
        member("Bruno", "2");
        member("Carla", "3");
        member("Davi", "4");
        const QDate julho(2026, 7, 10), agosto(2026, 8, 10);
        // Nothing to compare with before the first remittance.
        debit(julho, 1, 10.0);
        QVERIFY(remessa::verificarRemessa(julho).comparacao.isEmpty());
        debit(julho, 2, 20.0);
        debit(julho, 2, 5.0);  // two debits of one member count as one amount, 25,00
        debit(julho, 3, 30.0);
        QCOMPARE(int(remessa::GerarArquivo(dir_.filePath("ARQ.txt"), julho, julho).kind),
                 int(remessa::Outcome::Kind::Done));
        // August: Ana the same, Bruno 25,00 -> 26,00, Carla gone, Davi new.
        db::Query::execute("Tolmare", "DELETE FROM DEBITO");
        debit(agosto, 1, 10.0);
        debit(agosto, 2, 26.0);
        debit(agosto, 4, 40.0);
        const QStringList lines = remessa::verificarRemessa(agosto).comparacao;
        QCOMPARE(lines, (QStringList{
            "Comparação: na remessa 41 (10/07/2026) 3 associado(s), total 65,00; nesta 3 "
            "associado(s), total 76,00.",
            "Comparação: associado 3 - Carla: debitado na remessa 41 (10/07/2026) (30,00) e não "
            "nesta.",
            "Comparação: associado 2 - Bruno: valor mudou de 25,00 para 26,00.",
            "Comparação: associado 4 - Davi: novo nesta remessa (40,00)."}));
    }
};

QTEST_GUILESS_MAIN(TestComparacaoRemessa)
#include "tst_comparacao_remessa.moc"

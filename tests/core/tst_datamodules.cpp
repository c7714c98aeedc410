// The data modules over real table files: new-row defaults, lookups, the debit list query,
// the remittance module's member link and the write-through of debits.
#include "core/UVariaveis.h"
#include "core/dm/UDMAssociados.h"
#include "core/dm/UDMDebito.h"
#include "core/dm/UDMRemessa_Previ.h"
#include "core/dm/UDMRet_Debito.h"
#include "core/engine/EngineError.h"
#include "tests/common/TestData.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

void member(const QString& name, const QVariant& group, const QString& agency = {})
{
    testdata::addRow("ASSOCIADOS.DB", {{"ASS_NOME", name}, {"ASS_GRP_ID", group},
                                       {"ASS_AGENCIA", agency}, {"ASS_CONTA_CORRENTE", "77"},
                                       {"ASS_IDENTIFICADOR", 123.0}});
}

void debit(const QDate& d, double who, double value)
{
    testdata::addRow("DEBITO.DB", {{"DEB_DATA", d}, {"DEB_ASS_ID", who}, {"DEB_VALOR", value},
                                   {"DEB_DTA_CAD", d}, {"DEB_USR_ID", 1}});
}

}  // namespace

class TestDataModules : public testdata::DataFolderTest {
    Q_OBJECT

private slots:
    void init()
    {
        freshFolder();
        UsuarioAtual = 1;
    }

    void newDebitDefaults()
    {
        TDMDebito dm;
        QCOMPARE(DMDebito, &dm);
        QVERIFY(!dm.TDebito->active());
        dm.TAssociados->open();
        dm.TDebito->open();
        dm.TDebito->append();
        QCOMPARE(dm.TDebito->fieldByName("DEB_DATA").asDate(), QDate::currentDate());
        QCOMPARE(dm.TDebito->fieldByName("DEB_USR_ID").asInteger(), 1);
        QCOMPARE(dm.TDebito->fieldByName("DEB_DTA_CAD").asDate(), QDate::currentDate());
        QVERIFY(dm.TDebito->fieldByName("DEB_ASS_ID").isNull());
        QVERIFY(dm.TDebito->fieldByName("DEB_VALOR").isNull());
        QCOMPARE(dm.TDebito->fieldNames().mid(3, 5),
                 QStringList({"Nome_Associado", "Agencia_Associadi", "Grupo_Associado",
                              "CC_Associado", "Indent_Associado"}));
    }

    void debitLookupsAndMissingMember()
    {
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Ativos"}});
        member("Ana", 1.0, "1234-5");
        debit(QDate(2026, 6, 1), 1, 50);
        debit(QDate(2026, 6, 1), 9, 60);  // member deleted long ago
        TDMDebito dm;
        dm.TGrupos->open();
        dm.TAssociados->open();
        dm.TDebito->open();
        QCOMPARE(dm.TDebito->fieldByName("Nome_Associado").asString(), QString("Ana"));
        QCOMPARE(dm.TDebito->fieldByName("Agencia_Associadi").asString(), QString("1234-5"));
        QCOMPARE(dm.TDebito->fieldByName("Grupo_Associado").asString(), QString("Ativos"));
        QCOMPARE(dm.TDebito->fieldByName("Indent_Associado").asString(), QString("123"));
        dm.TDebito->next();
        QVERIFY(dm.TDebito->fieldByName("Nome_Associado").isNull());
        QVERIFY(dm.TDebito->fieldByName("Grupo_Associado").isNull());
        dm.QDebito->open();
        QCOMPARE(dm.QDebito->recordCount(), 1);
    }

    void debitListSkipsMissingGroup()
    {
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Ativos"}});
        member("Ana", 1.0);
        member("Bia", QVariant());
        member("Caio", 5.0);
        for (int who = 1; who <= 3; ++who) debit(QDate(2026, 6, 1), who, 10);
        TDMDebito dm;
        dm.QDebito->open();
        QCOMPARE(dm.QDebito->recordCount(), 1);
        QCOMPARE(dm.QDebito->fieldByName("ASS_NOME").asString(), QString("Ana"));
    }

    void debitsOfOneDayDifferInValue()
    {
        TDMDebito dm;
        dm.TDebito->open();
        for (double v : {10.0, 20.0, 10.0}) {
            dm.TDebito->append();
            dm.TDebito->fieldByName("DEB_ASS_ID").setAsInteger(1);
            dm.TDebito->fieldByName("DEB_VALOR").setAsFloat(v);
            try {
                dm.TDebito->post();
            } catch (const db::EngineError&) {
                QCOMPARE(v, 10.0);
                dm.TDebito->cancel();
            }
        }
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), 2);
    }

    void remittanceMemberFollowsDebit()
    {
        member("Ana", 1.0);
        member("Bia", 1.0);
        debit(QDate(2026, 6, 1), 2, 10);
        debit(QDate(2026, 6, 2), 7, 10);
        debit(QDate(2026, 6, 3), 1, 10);
        TDMRemessa_Previ dm;
        dm.TDebito->open();
        dm.TAssociados->open();
        QStringList names;
        for (dm.TDebito->first(); !dm.TDebito->eof(); dm.TDebito->next())
            names << (dm.TAssociados->isEmpty() ? "-" : dm.TAssociados->fieldByName("ASS_NOME").asString());
        QCOMPARE(names, QStringList({"Bia", "-", "Ana"}));
    }

    void retLookups()
    {
        member("Ana", 1.0, "1-2");
        testdata::addRow("RET_DEBITO.DB", {{"DEB_DATA", QDate(2026, 6, 1)}, {"DEB_ASS_ID", 1.0},
                                           {"DEB_REMESSA", 3.0}, {"DEB_VALOR", 9.5},
                                           {"DEB_OCORRENCIA", "Aguardando Retorno"},
                                           {"DEB_DTA_CAD", QDate(2026, 6, 1)}, {"DEB_USR_ID", 1}});
        TDMRet_Debito dm;
        dm.TAssociados->open();
        dm.TRet_Debito->open();
        QCOMPARE(dm.TRet_Debito->fieldByName("Nome_Associado").asString(), QString("Ana"));
        QCOMPARE(dm.TRet_Debito->fieldByName("Agencia_Associado").asString(), QString("1-2"));
        QCOMPARE(dm.TRet_Debito->fieldByName("CC_Associado").asString(), QString("77"));
    }

    void memberRegisterRequiresGroup()
    {
        TDMAssociados dm;
        dm.TAssociados->open();
        dm.TAssociados->append();
        QCOMPARE(dm.TAssociados->fieldByName("ASS_USR_ID").asInteger(), 1);
        dm.TAssociados->fieldByName("ASS_NOME").setAsString("Ana");
        QVERIFY_THROWS_EXCEPTION(db::EngineError, dm.TAssociados->post());
        dm.TAssociados->fieldByName("ASS_GRP_ID").setAsInteger(1);
        dm.TAssociados->post();
        QCOMPARE(dm.TAssociados->recordCount(), 1);
    }
};

QTEST_GUILESS_MAIN(TestDataModules)
#include "tst_datamodules.moc"

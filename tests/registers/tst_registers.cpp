// The member search and the group deletion check without windows, over real tables: the index
// per tab, the nearest key at primary strength, the hand-back to the register and to the debit
// entry.
#include "core/UVariaveis.h"
#include "core/dm/UDMAssociados.h"
#include "core/dm/UDMDebito.h"
#include "core/dm/UDmGrupo.h"
#include "core/engine/EngineError.h"
#include "registers/GroupMembers.h"
#include "registers/MemberSearch.h"
#include "tests/common/TestData.h"

#include <QTest>

using registers::MemberSearch;
using registers::SearchTab;

namespace {

void member(const QString& name, const QVariant& account = {}, const QVariant& ident = {},
            int group = 1)
{
    testdata::addRow("ASSOCIADOS.DB", {{"ASS_NOME", name},
                                       {"ASS_GRP_ID", group},
                                       {"ASS_CONTA_CORRENTE", account},
                                       {"ASS_IDENTIFICADOR", ident}});
}

QString current(db::Table* t) { return t->fieldByName("ASS_NOME").asString(); }

}  // namespace

class TestRegisters : public testdata::DataFolderTest {
    Q_OBJECT

private slots:
    void init()
    {
        freshFolder();
        UsuarioAtual = 1;
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Ativos"}});
    }

    // Typing on the name tab lands on the first name at or after the text, whatever its case
    // and accents; past every name on the last; an empty text on the first.
    void nearestName_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("found");
        QTest::newRow("S") << "S" << "SIL";
        QTest::newRow("SIL, stored SIL") << "SIL" << "SIL";
        QTest::newRow("SILA") << "SILA" << "sílas";
        QTest::newRow("SÍLV accented") << "SÍLV" << "Silva";
        QTest::newRow("silvi") << "silvi" << "SÍLVIA";
        QTest::newRow("past every name") << "ZZ" << "ZECA";
        QTest::newRow("empty") << "" << "ANA";
    }
    void nearestName()
    {
        QFETCH(QString, typed);
        QFETCH(QString, found);
        for (const char* n : {"ZECA", "Silva", "ANA", "SÍLVIA", "sílas", "SIL"})
            member(QString::fromUtf8(n));
        TDMAssociados dm;
        MemberSearch s(*dm.TBusca_Associados);
        s.open();
        s.setTab(SearchTab::Nome);
        dm.TBusca_Associados->last();
        s.search(typed);
        QCOMPARE(current(dm.TBusca_Associados), found);
    }

    // A lower-case text finds a name stored in capitals: equal at primary strength, it is the
    // first not below the text.
    void nearestNameStoredInCapitals()
    {
        member("SILAS");
        member("SIL");
        TDMAssociados dm;
        MemberSearch s(*dm.TBusca_Associados);
        s.open();
        s.search("sil");
        QCOMPARE(current(dm.TBusca_Associados), QString("SIL"));
    }

    // Keystroke by keystroke the search narrows on, and deleting every letter goes back to the
    // first member.
    void typingNarrowsOn()
    {
        for (const char* n : {"SANDRA", "SILVIO", "SIMONE", "ALFREDO"}) member(n);
        TDMAssociados dm;
        MemberSearch s(*dm.TBusca_Associados);
        s.open();
        QStringList seen;
        for (const char* t : {"S", "SI", "SIM", "SI", "S", ""}) {
            s.search(t);
            seen << current(dm.TBusca_Associados);
        }
        QCOMPARE(seen, QStringList({"SANDRA", "SILVIO", "SIMONE", "SILVIO", "SANDRA", "ALFREDO"}));
    }

    // The account tab searches the account only; equal accounts follow each other by name.
    void accountTabOrdersEqualAccountsByName()
    {
        member("ZULMIRA", "2000");
        member("BRUNO", "1000");
        member("ANTONIO", "2000");
        member("CARLA", "3000");
        TDMAssociados dm;
        MemberSearch s(*dm.TBusca_Associados);
        s.open();
        s.setTab(SearchTab::ContaCorrente);
        QCOMPARE(dm.TBusca_Associados->indexName(), QString("ID_ASSOCIADOS_CONTA"));
        s.search("2");
        QCOMPARE(current(dm.TBusca_Associados), QString("ANTONIO"));
        dm.TBusca_Associados->next();
        QCOMPARE(current(dm.TBusca_Associados), QString("ZULMIRA"));
        dm.TBusca_Associados->next();
        QCOMPARE(current(dm.TBusca_Associados), QString("CARLA"));
    }

    // The identifier tab compares numbers, not texts.
    void identifierTab()
    {
        member("SEM IDENT");
        member("DOZE", {}, 12);
        member("CENTO", {}, 100);
        member("NOVE", {}, 9);
        TDMAssociados dm;
        MemberSearch s(*dm.TBusca_Associados);
        s.open();
        s.setTab(SearchTab::Identificador);
        s.search("10");
        QCOMPARE(current(dm.TBusca_Associados), QString("DOZE"));  // 12 after 10, not "100"
        s.search("9");
        QCOMPARE(current(dm.TBusca_Associados), QString("NOVE"));
        s.search("101");
        QCOMPARE(current(dm.TBusca_Associados), QString("CENTO"));  // past every key: the last
    }
    // A text that is not a number is refused by the conversion and the position stays.
    void identifierNotANumber_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("letters") << "abc";
        QTest::newRow("digits and letter") << "12a";
    }
    void identifierNotANumber()
    {
        QFETCH(QString, typed);
        member("NOVE", {}, 9);
        member("DOZE", {}, 12);
        TDMAssociados dm;
        MemberSearch s(*dm.TBusca_Associados);
        s.open();
        s.setTab(SearchTab::Identificador);
        s.search("10");
        QCOMPARE(current(dm.TBusca_Associados), QString("DOZE"));
        QVERIFY_THROWS_EXCEPTION(db::EngineError, s.search(typed));
        QCOMPARE(current(dm.TBusca_Associados), QString("DOZE"));
    }
    void identifierBlankGoesToFirstRow()
    {
        member("SEM IDENT");
        member("NOVE", {}, 9);
        TDMAssociados dm;
        MemberSearch s(*dm.TBusca_Associados);
        s.open();
        s.setTab(SearchTab::Identificador);
        dm.TBusca_Associados->last();
        s.search("");
        QCOMPARE(current(dm.TBusca_Associados), QString("SEM IDENT"));
    }

    // Changing the tab keeps the current member; the search table stays open between searches.
    void tabChangeKeepsMember()
    {
        member("ANA", "900");
        member("BIA", "100");
        TDMAssociados dm;
        {
            MemberSearch s(*dm.TBusca_Associados);
            s.open();
            s.search("BIA");
            s.setTab(SearchTab::ContaCorrente);
            QCOMPARE(current(dm.TBusca_Associados), QString("BIA"));
            QCOMPARE(s.currentMember().toInt(), 2);
        }
        MemberSearch again(*dm.TBusca_Associados);
        again.open();
        QCOMPARE(current(dm.TBusca_Associados), QString("BIA"));
    }

    // OK in the members register: a changed pending row is posted, then the chosen member shown
    // in name order.
    void handBackPostsPendingChange()
    {
        member("ANA");
        member("BIA");
        member("CAIO");
        TDMAssociados dm;
        dm.TAssociados->open();
        dm.TAssociados->edit();
        dm.TAssociados->fieldByName("ASS_MATRICULA").setAsString("77");
        registers::handBackToRegister(3, *dm.TAssociados);
        QCOMPARE(dm.TAssociados->state(), db::DatasetState::Browse);
        QCOMPARE(current(dm.TAssociados), QString("CAIO"));
        QCOMPARE(dm.TAssociados->indexName(), QString("ID_ASSOCIADOS_NOME"));
        dm.TAssociados->next();
        QVERIFY(dm.TAssociados->eof());
        QVERIFY(dm.TAssociados->locate("ASS_NOME", {"ANA"}));
        QCOMPARE(dm.TAssociados->fieldByName("ASS_MATRICULA").asString(), QString("77"));
    }

    // A pending row that cannot be posted stops the hand-back before anything moves.
    void handBackRefusedByPendingRow()
    {
        member("ANA");
        member("BIA");
        TDMAssociados dm;
        dm.TAssociados->open();
        dm.TAssociados->edit();
        dm.TAssociados->fieldByName("ASS_GRP_ID").clear();
        try {
            registers::handBackToRegister(2, *dm.TAssociados);
            QFAIL("the pending row must be refused");
        } catch (const db::EngineError& e) {
            QVERIFY2(e.message().contains("ASS_GRP_ID"), qPrintable(e.message()));
        }
        QCOMPARE(dm.TAssociados->state(), db::DatasetState::Edit);
        QCOMPARE(current(dm.TAssociados), QString("ANA"));
    }

    // A new member begun and left untouched is dropped by the hand-back, not refused.
    void handBackDropsUntouchedNewRow()
    {
        member("ANA");
        TDMAssociados dm;
        dm.TAssociados->open();
        dm.TAssociados->insert();
        registers::handBackToRegister(1, *dm.TAssociados);
        QCOMPARE(current(dm.TAssociados), QString("ANA"));
        QCOMPARE(testdata::countRows(folder_, "ASSOCIADOS.DB"), 1);
    }

    // OK in the debit entry.
    void handBackToDebit()
    {
        member("ANA");
        member("BIA");
        testdata::addRow("DEBITO.DB", {{"DEB_DATA", QDate(2026, 5, 10)}, {"DEB_ASS_ID", 1},
                                       {"DEB_VALOR", 10.0}, {"DEB_DTA_CAD", QDate(2026, 5, 1)},
                                       {"DEB_USR_ID", 1}});
        testdata::addRow("DEBITO.DB", {{"DEB_DATA", QDate(2026, 6, 10)}, {"DEB_ASS_ID", 2},
                                       {"DEB_VALOR", 20.0}, {"DEB_DTA_CAD", QDate(2026, 5, 1)},
                                       {"DEB_USR_ID", 1}});
        TDMDebito dm;
        dm.TDebito->open();
        registers::handBackToDebit(2, *dm.TDebito);  // browsing: to the member's debit
        QCOMPARE(dm.TDebito->fieldByName("DEB_ASS_ID").asInteger(), 2);
        registers::handBackToDebit(99, *dm.TDebito);  // no debit: stays
        QCOMPARE(dm.TDebito->fieldByName("DEB_ASS_ID").asInteger(), 2);
        dm.TDebito->insert();  // inserting: the new debit gets its member and stays pending
        registers::handBackToDebit(1, *dm.TDebito);
        QCOMPARE(dm.TDebito->state(), db::DatasetState::Insert);
        QCOMPARE(dm.TDebito->fieldByName("DEB_ASS_ID").asInteger(), 1);
        QVERIFY(dm.TDebito->fieldByName("DEB_VALOR").isNull());
        registers::dropPendingDebit(*dm.TDebito);  // Cancel: no new debit
        QCOMPARE(dm.TDebito->state(), db::DatasetState::Browse);
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), 2);
    }

    // A group that still has members is not deleted; an empty one may be.
    void groupWithMembersNotDeletable()
    {
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Vazio"}});
        member("ANA");
        member("BIA");
        TDmGrupo dm;
        dm.TGrupo->open();
        QVERIFY(dm.TGrupo->locate("GRP_DESCRICAO", {"Ativos"}));
        QCOMPARE(registers::membersOfGroup(1), 2);
        try {
            registers::checkGroupDeletable(*dm.TGrupo);
            QFAIL("a group with members must not be deletable");
        } catch (const db::EngineError& e) {
            QVERIFY2(e.message().contains("Ativos") && e.message().contains("2 associado"),
                     qPrintable(e.message()));
        }
        QVERIFY(dm.TGrupo->locate("GRP_DESCRICAO", {"Vazio"}));
        registers::checkGroupDeletable(*dm.TGrupo);
    }
};

QTEST_MAIN(TestRegisters)
#include "tst_registers.moc"

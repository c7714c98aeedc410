// The debit list's statement and rebuild, the deletes and the bulk entry by group, over real
// tables in a fresh data folder.
#include "core/UVariaveis.h"
#include "core/dm/UDMDebito.h"
#include "core/engine/EngineError.h"
#include "core/engine/Query.h"
#include "debits/ExclusaoDebitos.h"
#include "debits/GeracaoDebitos.h"
#include "debits/ListaDebitos.h"
#include "tests/common/TestData.h"

#include <QTest>

using debitos::Ordem;

namespace {

const QDate kHoje(2026, 7, 5);

void grupo(const QString& descricao)
{
    testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", descricao}});
}

void membro(const QString& nome, const QVariant& grupo, const QString& conta = {},
            const QVariant& identificador = {}, const QString& matricula = {})
{
    testdata::addRow("ASSOCIADOS.DB", {{"ASS_NOME", nome}, {"ASS_GRP_ID", grupo},
                                       {"ASS_CONTA_CORRENTE", conta},
                                       {"ASS_IDENTIFICADOR", identificador},
                                       {"ASS_MATRICULA", matricula}});
}

void debito(double membro, double valor, const QDate& data = kHoje)
{
    testdata::addRow("DEBITO.DB", {{"DEB_DATA", data}, {"DEB_ASS_ID", membro},
                                   {"DEB_VALOR", valor}, {"DEB_DTA_CAD", data},
                                   {"DEB_USR_ID", 1}});
}

// The list as "name value" lines, in its order.
QStringList rowsOf(db::Query& q)
{
    QStringList out;
    for (const auto& row : q.rowsAt(0, q.recordCount()))
        out << row[q.fieldIndex("ASS_NOME")].toString() + " "
                   + QString::number(row[q.fieldIndex("DEB_VALOR")].toDouble());
    return out;
}

QString currentOf(db::Query& q)
{
    return q.fieldByName("ASS_NOME").asString() + " "
           + QString::number(q.fieldByName("DEB_VALOR").asFloat());
}

// Member ids of DEBITO in the order the rows were written.
QStringList postedOrder()
{
    db::Query q;
    q.setSql({"SELECT DEB_ASS_ID, DEB_VALOR FROM DEBITO ORDER BY rowid"});
    q.open();
    QStringList out;
    for (const auto& row : q.rowsAt(0, q.recordCount()))
        out << QString::number(row[0].toDouble()) + ":" + QString::number(row[1].toDouble());
    return out;
}

}  // namespace

class TestDebitos : public testdata::DataFolderTest {
    Q_OBJECT

    std::unique_ptr<TDMDebito> dm;

    void openModule()
    {
        dm = std::make_unique<TDMDebito>();
        dm->TGrupos->open();
        dm->TAssociados->open();
        dm->TDebito->open();
    }

    // Groups 1 "Ativos", 2 "Bancarios", 3 "Vazio"; members of groups 1 and 2, one of a
    // group that does not exist and one without a group.
    void standardData()
    {
        grupo("Ativos");
        grupo("Bancarios");
        grupo("Vazio");
        membro("CARLOS", 1.0, "300", 30, "M3");   // 1
        membro("ana", 2.0, "200", 10, "M9");      // 2
        membro("Bruno", 1.0, "100", 20, "M1");    // 3
        membro("Sem Grupo", 99.0, "50", 5, "M0");  // 4
        membro("Nenhum", {}, "60", 6, "M5");      // 5
        debito(1, 30);
        debito(2, 10);
        debito(3, 20);
        debito(3, 25, kHoje.addDays(-1));
        debito(4, 40);
        debito(5, 50);
    }

private Q_SLOTS:
    void initTestCase() { UsuarioAtual = 1; }
    void init() { freshFolder(); }
    void cleanup() { dm.reset(); }

    void statement_data()
    {
        QTest::addColumn<int>("ordem");
        QTest::addColumn<qint64>("grupo");  // 0: all groups
        QTest::addColumn<QStringList>("tail");
        QTest::newRow("alfabética")
            << 0 << qint64(0)
            << QStringList{"ORDER BY", "  ASS_NOME", "  ,ASS_CONTA_CORRENTE", "  ,DEB_DATA"};
        QTest::newRow("conta, grupo 7")
            << 1 << qint64(7)
            << QStringList{"  AND GRP_ID = 7", "ORDER BY", "  ASS_CONTA_CORRENTE", "  ,ASS_NOME",
                           "  ,DEB_DATA"};
        QTest::newRow("grupo")
            << 2 << qint64(0)
            << QStringList{"ORDER BY", "  GRP_DESCRICAO", "  ,ASS_NOME", "  ,DEB_DATA"};
        QTest::newRow("identificador, grupo 12")
            << 3 << qint64(12)
            << QStringList{"  AND GRP_ID = 12", "ORDER BY", "  ASS_IDENTIFICADOR", "  ,ASS_NOME",
                           "  ,DEB_DATA"};
        QTest::newRow("matricula")
            << 4 << qint64(0)
            << QStringList{"ORDER BY", "  ASS_MATRICULA", "  ,ASS_NOME", "  ,DEB_DATA"};
    }

    void statement()
    {
        QFETCH(int, ordem);
        QFETCH(qint64, grupo);
        QFETCH(QStringList, tail);
        const QStringList lines = debitos::statementLines(
            Ordem(ordem), grupo ? std::optional<qint64>(grupo) : std::nullopt);
        const QStringList head{"SELECT", "  DEB_ASS_ID", "  ,GRP_DESCRICAO", "  ,ASS_NOME",
                               "  ,DEB_DATA", "  ,DEB_VALOR", "  ,ASS_IDENTIFICADOR",
                               "  ,ASS_AGENCIA", "  ,ASS_CONTA_CORRENTE", "  ,ASS_MATRICULA",
                               "FROM", "  GRUPO", "  ,ASSOCIADOS", "  ,DEBITO", "WHERE",
                               "  ASS_ID         = DEB_ASS_ID", "  AND ASS_GRP_ID = GRP_ID"};
        QCOMPARE(lines, head + tail);
    }

    // Every order, with and without a group: only debits of existing members of existing
    // groups, in the order asked for (names compare without regard to case).
    void listOrder_data()
    {
        QTest::addColumn<int>("ordem");
        QTest::addColumn<qint64>("grupo");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("alfabética")
            << 0 << qint64(0) << QStringList{"ana 10", "Bruno 25", "Bruno 20", "CARLOS 30"};
        QTest::newRow("conta") << 1 << qint64(0)
                               << QStringList{"Bruno 25", "Bruno 20", "ana 10", "CARLOS 30"};
        QTest::newRow("grupo") << 2 << qint64(0)
                               << QStringList{"Bruno 25", "Bruno 20", "CARLOS 30", "ana 10"};
        QTest::newRow("identificador")
            << 3 << qint64(0) << QStringList{"ana 10", "Bruno 25", "Bruno 20", "CARLOS 30"};
        QTest::newRow("matricula")
            << 4 << qint64(0) << QStringList{"Bruno 25", "Bruno 20", "CARLOS 30", "ana 10"};
        QTest::newRow("grupo 1") << 0 << qint64(1)
                                 << QStringList{"Bruno 25", "Bruno 20", "CARLOS 30"};
        QTest::newRow("grupo 2") << 0 << qint64(2) << QStringList{"ana 10"};
        QTest::newRow("grupo sem membros") << 0 << qint64(3) << QStringList{};
    }

    void listOrder()
    {
        QFETCH(int, ordem);
        QFETCH(qint64, grupo);
        QFETCH(QStringList, rows);
        standardData();
        openModule();
        debitos::rebuildList(*dm->QDebito, Ordem(ordem),
                             grupo ? std::optional<qint64>(grupo) : std::nullopt);
        QCOMPARE(rowsOf(*dm->QDebito), rows);
        QCOMPARE(dm->QDebito->recNo(), rows.isEmpty() ? 0 : 1);
    }

    void deletedGroupHidesItsDebits()
    {
        standardData();
        openModule();
        db::Query::execute("Tolmare", "DELETE FROM GRUPO WHERE GRP_ID = 2");
        debitos::rebuildList(*dm->QDebito, Ordem::Alfabetica, std::nullopt);
        QCOMPARE(rowsOf(*dm->QDebito), (QStringList{"Bruno 25", "Bruno 20", "CARLOS 30"}));
    }

    void changingOrderKeepsCurrentDebit()
    {
        standardData();
        openModule();
        db::Query& q = *dm->QDebito;
        debitos::rebuildList(q, Ordem::Alfabetica, std::nullopt);
        q.setRecNo(3);
        QCOMPARE(currentOf(q), QString("Bruno 20"));
        for (int ordem = 1; ordem < debitos::kOrdens; ++ordem) {
            debitos::rebuildList(q, Ordem(ordem), std::nullopt);
            QCOMPARE(currentOf(q), QString("Bruno 20"));
        }
        // A group that does not hold it: the list stays on its first row.
        debitos::rebuildList(q, Ordem::Alfabetica, 2);
        QCOMPARE(currentOf(q), QString("ana 10"));
    }

    void deleteSelectsRowAbove()
    {
        standardData();
        openModule();
        db::Query& q = *dm->QDebito;
        debitos::rebuildList(q, Ordem::Alfabetica, std::nullopt);
        q.setRecNo(3);  // Bruno 20
        QVERIFY(debitos::excluirDebitoAtual(*dm));
        debitos::rebuildList(q, Ordem::Alfabetica, std::nullopt);
        QCOMPARE(rowsOf(q), (QStringList{"ana 10", "Bruno 25", "CARLOS 30"}));
        QCOMPARE(currentOf(q), QString("Bruno 25"));
        // Of a member's two debits of different dates exactly the selected one went.
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), 5);
    }

    void deleteOnEmptyListDeletesNothing()
    {
        grupo("Ativos");
        membro("ana", 1.0);
        debito(1, 10);
        openModule();
        debitos::rebuildList(*dm->QDebito, Ordem::Alfabetica, 2);
        QVERIFY(!debitos::excluirDebitoAtual(*dm));
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), 1);
    }

    void deleteAllTakesHiddenDebitsToo()
    {
        standardData();
        openModule();
        debitos::rebuildList(*dm->QDebito, Ordem::Alfabetica, 2);
        const QString question = debitos::perguntaApagarTodos(dm->TDebito->recordCount(),
                                                              dm->QDebito->recordCount());
        QVERIFY(question.startsWith("Tem certeza que deseja apagar TODOS OS DEBITOS ?"));
        QVERIFY2(question.contains("os 6 débitos") && question.contains("inclusive 5"),
                 qPrintable(question));
        QCOMPARE(debitos::apagarTodosDebitos(*dm), 6);
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), 0);
        debitos::rebuildList(*dm->QDebito, Ordem::Alfabetica, std::nullopt);
        QVERIFY(dm->QDebito->isEmpty());
    }

    void alterFindsFirstDebitByMemberAndValue()
    {
        grupo("Ativos");
        membro("ana", 1.0);
        debito(1, 10, kHoje);
        debito(1, 10, kHoje.addMonths(-1));
        debito(1, 12, kHoje.addMonths(-2));
        openModule();
        debitos::rebuildList(*dm->QDebito, Ordem::Alfabetica, std::nullopt);
        dm->QDebito->setRecNo(3);  // by date: 12, 10 a month ago, 10 today
        QCOMPARE(dm->QDebito->fieldByName("DEB_DATA").asDate(), kHoje);
        QVERIFY(debitos::localizarDebitoParaAlterar(*dm));
        QCOMPARE(dm->TDebito->fieldByName("DEB_DATA").asDate(), kHoje.addMonths(-1));
        QCOMPARE(dm->TDebito->fieldByName("Nome_Associado").asString(), QString("ana"));
    }

    void valueText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("value");
        QTest::newRow("comma") << "12,50" << true << 12.5;
        QTest::newRow("whole") << "30" << true << 30.0;
        QTest::newRow("spaces") << " 7,5 " << true << 7.5;
        QTest::newRow("dot decimal") << "12.50" << true << 12.5;
        QTest::newRow("keypad dot") << "15.5" << true << 15.5;
        QTest::newRow("thousands") << "1.234,50" << true << 1234.5;
        QTest::newRow("thousands, no comma") << "1.234.567" << true << 1234567.0;
        QTest::newRow("negative") << "-3,5" << true << -3.5;
        QTest::newRow("thousand or fraction") << "1.234" << false << 0.0;
        QTest::newRow("dots not grouping") << "1.2.3" << false << 0.0;
        QTest::newRow("bad grouping") << "12.34,5" << false << 0.0;
        QTest::newRow("two commas") << "1,2,3" << false << 0.0;
        QTest::newRow("fifths of a cent") << "1,23456" << false << 0.0;
        QTest::newRow("other digits") << QString::fromUtf8("\u0661\u0662") << false << 0.0;
        QTest::newRow("exponent") << "1e3" << false << 0.0;
        QTest::newRow("sign alone") << "-" << false << 0.0;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("letters") << "doze" << false << 0.0;
    }

    void valueText()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(double, value);
        const auto v = debitos::lerValor(text);
        QCOMPARE(v.has_value(), ok);
        if (ok) QCOMPARE(*v, value);
    }

    void bulkPostsInNameOrderOncePerDay()
    {
        standardData();
        membro("Abel", 1.0);  // 6
        openModule();
        db::Query::execute("Tolmare", "DELETE FROM DEBITO");
        debitos::Geracao g = debitos::gerarDebitosGrupo(*dm, 1, "15,00", kHoje);
        QVERIFY(g.ok);
        QCOMPARE(g.gravados, 3);
        QCOMPARE(postedOrder(), (QStringList{"6:15", "3:15", "1:15"}));
        QCOMPARE(dm->TDebito->fieldByName("DEB_ASS_ID").asInteger(), 1);
        QVERIFY(!dm->TAssociados->filtered());

        // Again the same day and value: nothing new. Another value: one more each.
        g = debitos::gerarDebitosGrupo(*dm, 1, "15", kHoje);
        QVERIFY(g.ok);
        QCOMPARE(g.gravados, 0);
        QCOMPARE(g.ignorados, 3);
        g = debitos::gerarDebitosGrupo(*dm, QString("1"), "16,5", kHoje);
        QCOMPARE(g.gravados, 3);
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), 6);
        db::Table t;
        t.setTableName("DEBITO.DB");
        t.open();
        QCOMPARE(t.fieldByName("DEB_DATA").asDate(), kHoje);
        QCOMPARE(t.fieldByName("DEB_USR_ID").asInteger(), 1);
        QCOMPARE(t.fieldByName("DEB_DTA_CAD").asDate(), QDate::currentDate());
    }

    // Bad input writes nothing and says what to correct.
    void bulkRefusesBadInput_data()
    {
        QTest::addColumn<QVariant>("grupo");
        QTest::addColumn<QString>("valor");
        QTest::addColumn<QString>("mensagem");
        QTest::newRow("dots not grouping")
            << QVariant(1) << "1.2.3" << "Valor inválido: \"1.2.3\"";
        QTest::newRow("empty value") << QVariant(1) << "" << "Digite o valor";
        QTest::newRow("no group") << QVariant() << "15,00" << "Escolha o grupo";
        QTest::newRow("group text") << QVariant("um") << "15,00" << "Grupo inválido: \"um\"";
    }

    void bulkRefusesBadInput()
    {
        QFETCH(QVariant, grupo);
        QFETCH(QString, valor);
        QFETCH(QString, mensagem);
        standardData();
        openModule();
        const debitos::Geracao g = debitos::gerarDebitosGrupo(*dm, grupo, valor, kHoje);
        QVERIFY(!g.ok);
        QVERIFY2(g.mensagem.contains(mensagem), qPrintable(g.mensagem));
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), 6);
    }

    void bulkForEmptyGroupWritesNothing()
    {
        standardData();
        openModule();
        const debitos::Geracao g = debitos::gerarDebitosGrupo(*dm, 3, "15,00", kHoje);
        QVERIFY(g.ok);
        QCOMPARE(g.gravados, 0);
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), 6);
    }
};

QTEST_GUILESS_MAIN(TestDebitos)
#include "tst_debitos.moc"

// The table engine over real table files: order, key search, range, filter, locate, editing,
// lookups, master link, queries and bookmarks.
#include "core/engine/Database.h"
#include "core/engine/EngineError.h"
#include "core/engine/Query.h"
#include "core/engine/Table.h"
#include "tests/common/TestData.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using db::EngineError;
using db::LocateMode;
using db::Table;

namespace {

QStringList walk(Table& t, const QString& field, bool forward = true)
{
    QStringList out;
    if (forward) {
        for (t.first(); !t.eof(); t.next()) out << t.fieldByName(field).asString();
    } else {
        for (t.last(); !t.bof(); t.prior()) out << t.fieldByName(field).asString();
    }
    return out;
}

void addMember(const QString& name, const QVariant& group = {}, const QString& account = {},
               const QVariant& ident = {}, const QString& matricula = {})
{
    testdata::addRow("ASSOCIADOS.DB", {{"ASS_NOME", name}, {"ASS_GRP_ID", group},
                                       {"ASS_CONTA_CORRENTE", account},
                                       {"ASS_IDENTIFICADOR", ident},
                                       {"ASS_MATRICULA", matricula},
                                       {"ASS_DTA_CAD", QDate(2026, 1, 2)}, {"ASS_USR_ID", 1}});
}

void addDebit(const QDate& date, double member, const QVariant& value)
{
    testdata::addRow("DEBITO.DB", {{"DEB_DATA", date}, {"DEB_ASS_ID", member},
                                   {"DEB_VALOR", value}, {"DEB_DTA_CAD", QDate(2026, 1, 2)},
                                   {"DEB_USR_ID", 1}});
}

}  // namespace

class TestEngine : public testdata::DataFolderTest {
    Q_OBJECT

private slots:
    void init()
    {
        freshFolder();
    }

    void keyViolation_data()
    {
        QTest::addColumn<QVariantList>("first");
        QTest::addColumn<QVariantList>("second");
        QTest::addColumn<bool>("refused");
        const QDate d(2026, 3, 10);
        QTest::newRow("same date, member, value") << QVariantList{d, 5.0, 10.0}
                                                  << QVariantList{d, 5.0, 10.0} << true;
        QTest::newRow("other value") << QVariantList{d, 5.0, 10.0} << QVariantList{d, 5.0, 11.0}
                                     << false;
        QTest::newRow("empty date twice") << QVariantList{QVariant(), 5.0, 10.0}
                                          << QVariantList{QVariant(), 5.0, 10.0} << true;
        QTest::newRow("empty value twice") << QVariantList{d, 5.0, QVariant()}
                                           << QVariantList{d, 5.0, QVariant()} << true;
        QTest::newRow("empty against filled") << QVariantList{d, 5.0, QVariant()}
                                              << QVariantList{d, 5.0, 0.0} << false;
    }
    void keyViolation()
    {
        QFETCH(QVariantList, first);
        QFETCH(QVariantList, second);
        QFETCH(bool, refused);
        addDebit(first[0].toDate(), first[1].toDouble(), first[2]);
        Table t;
        t.setTableName("debito.db");
        t.open();
        t.append();
        t.fieldByName("DEB_DATA").setValue(second[0]);
        t.fieldByName("DEB_ASS_ID").setValue(second[1]);
        t.fieldByName("DEB_VALOR").setValue(second[2]);
        t.fieldByName("DEB_DTA_CAD").setAsDate(QDate(2026, 1, 1));
        t.fieldByName("DEB_USR_ID").setAsInteger(1);
        bool threw = false;
        try {
            t.post();
        } catch (const EngineError& e) {
            threw = true;
            QVERIFY(e.message().startsWith("Violação de chave.\nTabela: "));
            QCOMPARE(t.state(), db::DatasetState::Insert);
        }
        QCOMPARE(threw, refused);
        t.cancel();
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), refused ? 1 : 2);
    }

    void editKeepsKeyCheckAgainstOthers()
    {
        const QDate d(2026, 3, 10);
        addDebit(d, 1, 10.0);
        addDebit(d, 1, 20.0);
        Table t;
        t.setTableName("DEBITO.DB");
        t.open();
        t.edit();  // first row: value 10
        t.fieldByName("DEB_VALOR").setAsFloat(10.0);
        t.post();  // unchanged key: no violation with itself
        t.edit();
        t.fieldByName("DEB_VALOR").setAsFloat(20.0);
        QVERIFY_THROWS_EXCEPTION(EngineError, t.post());
        t.cancel();
        QCOMPARE(walk(t, "DEB_VALOR"), QStringList({"10", "20"}));
    }

    void requiredAndMasks()
    {
        Table t;
        t.setTableName("ASSOCIADOS.DB");
        t.setFieldRequired("ASS_GRP_ID", true);
        t.setFieldEditMask("ASS_AGENCIA", "cccc-c");
        t.open();
        t.insert();
        try {
            t.post();
            QFAIL("posted without a name");
        } catch (const EngineError& e) {
            QCOMPARE(e.message().section('\n', 0, 0), QString("Field 'ASS_NOME' must have a value"));
            QVERIFY(e.message().contains("Preencha o campo ASS_NOME"));
        }
        t.fieldByName("ASS_NOME").setAsString("Ana");
        try {
            t.post();
            QFAIL("posted without a group");
        } catch (const EngineError& e) {
            QCOMPARE(e.message().section('\n', 0, 0),
                     QString("Field 'ASS_GRP_ID' must have a value"));
        }
        t.fieldByName("ASS_GRP_ID").setAsInteger(1);
        t.fieldByName("ASS_AGENCIA").setAsString("1234-X");
        t.post();
        QCOMPARE(t.recordCount(), 1);
        QCOMPARE(t.fieldByName("ASS_ID").asInteger(), 1);

        Table p;
        p.setTableName("PARAMETROS.DB");
        p.setFieldEditMask("EMP_CEP", "00000-000");
        p.open();
        p.insert();
        p.fieldByName("EMP_NOME").setAsString("X");
        p.fieldByName("EMP_CEP").setAsString("1234 -000");
        QVERIFY_THROWS_EXCEPTION(EngineError, p.post());
        p.fieldByName("EMP_CEP").setAsString("12345-000");
        p.post();
    }

    void textsCutToWidth()
    {
        Table t;
        t.setTableName("GRUPO.DB");
        t.open();
        t.append();
        t.fieldByName("GRP_DESCRICAO").setAsString(QString(60, 'x'));
        t.post();
        QCOMPARE(t.fieldByName("GRP_DESCRICAO").asString().size(), 50);
    }

    void autoincrementNeverReused()
    {
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "a"}});
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "b"}});
        Table t;
        t.setTableName("GRUPO.DB");
        t.open();
        t.last();
        t.deleteRecord();
        t.append();
        t.fieldByName("GRP_DESCRICAO").setAsString("c");
        t.post();
        QCOMPARE(t.fieldByName("GRP_ID").asInteger(), 3);
        QVERIFY_THROWS_EXCEPTION(EngineError, [&] {
            t.edit();
            t.fieldByName("GRP_ID").setAsInteger(9);
        }());
    }

    void nameOrderAndSearch_data()
    {
        QTest::addColumn<QString>("index");
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("arg");
        QTest::addColumn<QString>("expect");  // ASS_NOME of the row reached, "-" when none
        QTest::newRow("nearest b") << "ID_ASSOCIADOS_NOME" << "nearest" << "b" << "BEATRIZ";
        QTest::newRow("nearest accent") << "ID_ASSOCIADOS_NOME" << "nearest" << "ce" << "Célia";
        QTest::newRow("nearest past end") << "ID_ASSOCIADOS_NOME" << "nearest" << "zz" << "Célia";
        QTest::newRow("findKey exact case") << "ID_ASSOCIADOS_NOME" << "key" << "beatriz"
                                            << "beatriz";
        QTest::newRow("findKey other case") << "ID_ASSOCIADOS_NOME" << "key" << "BEAtriz" << "-";
        QTest::newRow("locate exact") << "ID_ASSOCIADOS_NOME" << "locate" << "álvaro" << "álvaro";
        QTest::newRow("locate partial") << "ID_ASSOCIADOS_NOME" << "partial" << "Cé" << "Célia";
        QTest::newRow("locate partial case") << "ID_ASSOCIADOS_NOME" << "partial" << "cé" << "-";
        QTest::newRow("account nearest") << "ID_ASSOCIADOS_CONTA" << "nearest" << "200"
                                         << "carlos";
        QTest::newRow("group key") << "ID_ASSOCIADOS_GRUPO" << "key" << "2" << "BEATRIZ";
        QTest::newRow("identifier key") << "ID_ASSOCIADO_IDENTIF" << "key" << "30" << "Alvaro";
    }
    void nameOrderAndSearch()
    {
        QFETCH(QString, index);
        QFETCH(QString, op);
        QFETCH(QString, arg);
        QFETCH(QString, expect);
        addMember("carlos", 1, "200", 10);
        addMember("álvaro", 1, "300", 20);
        addMember("BEATRIZ", 2, "100", 40);
        addMember("Alvaro", 1, "300", 30);
        addMember("Célia", 3, "400", 50);
        addMember("beatriz", 2, "500", 60);
        Table t;
        t.setTableName("ASSOCIADOS.DB");
        t.setIndexName("ID_ASSOCIADOS_NOME");
        t.open();
        QCOMPARE(walk(t, "ASS_NOME"),
                 QStringList({"Alvaro", "álvaro", "BEATRIZ", "beatriz", "carlos", "Célia"}));
        QCOMPARE(walk(t, "ASS_NOME", false),
                 QStringList({"Célia", "carlos", "beatriz", "BEATRIZ", "álvaro", "Alvaro"}));
        t.setIndexName(index);
        t.first();
        const QString before = t.fieldByName("ASS_NOME").asString();
        bool found = true;
        const QVariant value = index == "ID_ASSOCIADOS_GRUPO" || index == "ID_ASSOCIADO_IDENTIF"
                                   ? QVariant(arg.toDouble()) : QVariant(arg);
        if (op == "nearest") t.findNearest({value});
        else if (op == "key") found = t.findKey({value});
        else if (op == "locate") found = t.locate("ASS_NOME", {value});
        else found = t.locate("ASS_NOME", {value}, LocateMode::Partial);
        QCOMPARE(t.fieldByName("ASS_NOME").asString(), found ? expect : before);
        QCOMPARE(found, expect != "-");
    }

    // The member search: the nearest key compares letters only, so a typed name lands on the
    // first of the names equal to it; an empty text lands on the first row.
    void nearestByLetters_data()
    {
        QTest::addColumn<QString>("index");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expect");  // ASS_NOME reached; "error" when refused
        const QString name = "ID_ASSOCIADOS_NOME", ident = "ID_ASSOCIADO_IDENTIF";
        QTest::newRow("lower case lands on the first equal") << name << "jose" << "JOSE";
        QTest::newRow("accent lands on the first equal") << name << "JOSÉ" << "JOSE";
        QTest::newRow("prefix of several") << name << "jos" << "JOSE";
        QTest::newRow("longer name") << name << "josé c" << "José Carlos";
        QTest::newRow("does not skip capitals") << name << "carlos" << "CARLOS";
        QTest::newRow("between names") << name << "b" << "CARLOS";
        QTest::newRow("past every name") << name << "zz" << "José Carlos";
        QTest::newRow("empty name") << name << "" << "ana";
        QTest::newRow("identifier") << ident << "25" << "JOSÉ";
        QTest::newRow("empty identifier") << ident << "" << "carlos";
        QTest::newRow("blank identifier") << ident << "  " << "carlos";
        QTest::newRow("identifier not a number") << ident << "1x" << "error";
    }
    void nearestByLetters()
    {
        QFETCH(QString, index);
        QFETCH(QString, typed);
        QFETCH(QString, expect);
        addMember("José Carlos", 1, "1", 10);
        addMember("JOSÉ", 1, "2", 30);
        addMember("ana", 1, "3", 20);
        addMember("CARLOS", 1, "4", 40);
        addMember("JOSE", 1, "5", 50);
        addMember("carlos", 1, "6", {});
        Table t;
        t.setTableName("ASSOCIADOS.DB");
        t.setIndexName(index);
        t.open();
        t.last();
        const QString before = t.fieldByName("ASS_NOME").asString();
        if (expect == "error") {
            try {
                t.findNearest({typed});
                QFAIL("a text that is not a number was searched");
            } catch (const EngineError& e) {
                QVERIFY2(e.message().contains(" ASS_IDENTIFICADOR") && !e.message().contains('"'),
                         qPrintable(e.message()));
            }
            QCOMPARE(t.fieldByName("ASS_NOME").asString(), before);
            return;
        }
        t.findNearest({typed});
        QCOMPARE(t.fieldByName("ASS_NOME").asString(), expect);
    }

    // A new row nobody typed into is dropped when the table moves; one with a change is
    // posted. The new-row defaults are not a change.
    void untouchedNewRowDropped_data()
    {
        QTest::addColumn<QString>("move");
        QTest::addColumn<bool>("typed");
        for (const char* move : {"first", "next", "last", "locate", "nearest", "index", "insert",
                                 "range"}) {
            QTest::addRow("%s untouched", move) << QString(move) << false;
            QTest::addRow("%s typed", move) << QString(move) << true;
        }
    }
    void untouchedNewRowDropped()
    {
        QFETCH(QString, move);
        QFETCH(bool, typed);
        addDebit(QDate(2026, 5, 1), 1, 10.0);
        Table t;
        t.setTableName("DEBITO.DB");
        t.onNewRecord = [](db::Dataset& d) {
            d.fieldByName("DEB_DATA").setAsDate(QDate::currentDate());
            d.fieldByName("DEB_DTA_CAD").setAsDate(QDate::currentDate());
            d.fieldByName("DEB_USR_ID").setAsInteger(1);
        };
        int posts = 0;
        t.afterPost = [&](db::Dataset&) { ++posts; };
        t.open();
        t.insert();
        QVERIFY(!t.modified());
        if (typed) {
            t.fieldByName("DEB_ASS_ID").setAsInteger(2);
            QVERIFY(t.modified());
        }
        if (move == "first") t.first();
        else if (move == "next") t.next();
        else if (move == "last") t.last();
        else if (move == "locate") t.locate("DEB_ASS_ID", {1});
        else if (move == "nearest") t.findNearest({QDate(2026, 1, 1)});
        else if (move == "index") t.setIndexFieldNames("DEB_DATA");
        else if (move == "insert") t.insert();
        else if (move == "range") t.setRange({QDate(2026, 1, 1)}, {QDate(2030, 1, 1)});
        if (move == "insert") t.cancel();
        QCOMPARE(t.state(), db::DatasetState::Browse);
        QCOMPARE(posts, typed ? 1 : 0);
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), typed ? 2 : 1);
    }

    // An edit nobody changed writes nothing when the table moves; a changed one is written.
    void untouchedEditDropped()
    {
        addDebit(QDate(2026, 5, 1), 1, 10.0);
        addDebit(QDate(2026, 5, 1), 2, 20.0);
        Table t;
        t.setTableName("DEBITO.DB");
        int posts = 0;
        t.afterPost = [&](db::Dataset&) { ++posts; };
        int updates = 0;
        QObject::connect(&t, &db::Dataset::updateRecord, [&] { ++updates; });
        t.open();
        t.edit();
        t.next();
        QCOMPARE(posts, 0);
        QVERIFY(updates > 0);
        t.edit();
        t.fieldByName("DEB_VALOR").setAsFloat(25.0);
        t.first();
        QCOMPARE(posts, 1);
        t.last();
        QCOMPARE(t.fieldByName("DEB_VALOR").asFloat(), 25.0);
    }

    void rangeFilterCountAndBookmarks()
    {
        for (int m = 1; m <= 4; ++m)
            for (int month = 1; month <= 3; ++month) addDebit(QDate(2026, month, 5), m, 10.0 * m);
        Table t;
        t.setTableName("DEBITO.DB");
        t.open();
        QCOMPARE(t.recordCount(), 12);
        t.setRange({QDate(2026, 2, 1)}, {QDate(2026, 3, 31)});
        QCOMPARE(t.recordCount(), 8);
        QCOMPARE(t.fieldByName("DEB_DATA").asDate(), QDate(2026, 2, 5));
        t.setFilter("DEB_ASS_ID = 3");
        t.setFiltered(true);
        QCOMPARE(t.recordCount(), 2);
        QCOMPARE(walk(t, "DEB_DATA"), QStringList({"05/02/2026", "05/03/2026"}));
        t.first();
        t.next();
        QCOMPARE(t.recNo(), 2);
        const db::Bookmark b = t.bookmark();
        t.first();
        QVERIFY(t.bookmarkValid(b));
        t.gotoBookmark(b);
        QCOMPARE(t.fieldByName("DEB_DATA").asDate(), QDate(2026, 3, 5));
        t.setFiltered(false);
        QCOMPARE(t.recordCount(), 8);
        t.cancelRange();
        QCOMPARE(t.recordCount(), 12);
        t.setRange({QDate(2026, 1, 5), 2.0}, {QDate(2026, 1, 5), 2.0});
        QCOMPARE(t.recordCount(), 1);
        t.close();
        t.open();
        QVERIFY(!t.bookmarkValid(b));
    }

    void deletePositions_data()
    {
        QTest::addColumn<int>("at");
        QTest::addColumn<QString>("current");
        QTest::addColumn<bool>("eof");
        QTest::newRow("middle") << 2 << "c" << false;
        QTest::newRow("end") << 4 << "c" << true;
        QTest::newRow("first") << 1 << "b" << false;
    }
    void deletePositions()
    {
        QFETCH(int, at);
        QFETCH(QString, current);
        QFETCH(bool, eof);
        for (const char* s : {"a", "b", "c", "d"}) testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", s}});
        Table t;
        t.setTableName("GRUPO.DB");
        t.setIndexName("GRP_DESCRICAO_ID");
        t.open();
        t.setRecNo(at);
        t.deleteRecord();
        QCOMPARE(t.fieldByName("GRP_DESCRICAO").asString(), current);
        QCOMPARE(t.eof(), eof);
        QCOMPARE(t.recordCount(), 3);
    }

    void statesAndEvents()
    {
        QStringList log;
        Table t;
        t.setTableName("GRUPO.DB");
        t.onNewRecord = [&](db::Dataset& d) {
            log << "new:" + d.fieldByName("GRP_DESCRICAO").asString();
            d.fieldByName("GRP_USR_ID").setAsInteger(1);
        };
        t.afterPost = [&](db::Dataset&) { log << "post"; };
        t.afterDelete = [&](db::Dataset&) { log << "delete"; };
        connect(&t, &db::Dataset::stateChanged, this, [&](db::DatasetState s) {
            log << QString("state%1").arg(int(s));
        });
        t.open();
        QVERIFY(t.isEmpty());
        t.edit();  // on an empty table: a new row
        QCOMPARE(t.state(), db::DatasetState::Insert);
        t.fieldByName("GRP_DESCRICAO").setAsString("x");
        t.post();
        t.edit();
        t.cancel();
        t.deleteRecord();
        QVERIFY(t.isEmpty());
        QCOMPARE(log, QStringList({"state1", "new:", "state3", "state1", "post", "state2",
                                   "state1", "delete"}));
        QVERIFY_THROWS_EXCEPTION(EngineError, t.fieldByName("GRP_DESCRICAO").setAsString("y"));
        QVERIFY_THROWS_EXCEPTION(EngineError, t.fieldByName("NOPE"));
    }

    // Walking with empty key parts and rows changing under the cursor, against SQLite's own
    // ORDER BY on the same file.
    void walkMatchesSqlOrder()
    {
        QRandomGenerator rng(7);
        {
            db::Table t;
            t.setTableName("RET_DEBITO.DB");
            t.open();
            for (int i = 0; i < 300; ++i) {
                t.append();
                if (rng.bounded(4)) t.fieldByName("DEB_DATA").setAsDate(QDate(2026, 1 + int(rng.bounded(3)), 1));
                if (rng.bounded(2)) t.fieldByName("DEB_DATA_RETORNO").setAsDate(QDate(2026, 5, 1 + int(rng.bounded(2))));
                t.fieldByName("DEB_ASS_ID").setAsFloat(rng.bounded(5));
                t.fieldByName("DEB_REMESSA").setAsFloat(i);
                if (rng.bounded(3)) t.fieldByName("DEB_VALOR").setAsFloat(rng.bounded(3));
                t.fieldByName("DEB_DTA_CAD").setAsDate(QDate(2026, 1, 1));
                t.fieldByName("DEB_USR_ID").setAsInteger(1);
                t.post();
            }
        }
        auto sqlOrder = [&](const QString& order) {
            QStringList out;
            sqlite3* h = nullptr;
            sqlite3_open(QDir(folder_).filePath("RET_DEBITO.DB").toUtf8().constData(), &h);
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(h, ("SELECT DEB_REMESSA FROM RET_DEBITO ORDER BY " + order)
                                      .toUtf8().constData(), -1, &st, nullptr);
            while (sqlite3_step(st) == SQLITE_ROW) out << QString::number(sqlite3_column_int(st, 0));
            sqlite3_finalize(st);
            sqlite3_close(h);
            return out;
        };
        db::Table t;
        t.setTableName("RET_DEBITO.DB");
        t.open();
        const QStringList pk = sqlOrder("DEB_DATA, DEB_DATA_RETORNO, DEB_ASS_ID, DEB_REMESSA, DEB_VALOR");
        QCOMPARE(walk(t, "DEB_REMESSA"), pk);
        QStringList back = walk(t, "DEB_REMESSA", false);
        std::reverse(back.begin(), back.end());
        QCOMPARE(back, pk);
        t.setIndexName("Si_Data_Associado");
        const QStringList si = sqlOrder("DEB_DATA, DEB_ASS_ID, DEB_DATA_RETORNO, DEB_REMESSA, DEB_VALOR");
        QCOMPARE(walk(t, "DEB_REMESSA"), si);

        // Edit a non-key field of every row while walking: each row is seen exactly once.
        QStringList seen;
        for (t.first(); !t.eof(); t.next()) {
            seen << t.fieldByName("DEB_REMESSA").asString();
            t.edit();
            t.fieldByName("DEB_OCORRENCIA").setAsString("ok");
            t.post();
        }
        QCOMPARE(seen, si);
        QCOMPARE(t.recNo(), 300);
    }

    void queryJoinsAndOrigins()
    {
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "G1"}});
        addMember("Ana", 1, "1");
        addMember("Bia", 99, "2");  // group missing
        addDebit(QDate(2026, 4, 1), 1, 10.0);
        addDebit(QDate(2026, 4, 1), 2, 20.0);
        addDebit(QDate(2026, 4, 1), 7, 30.0);  // member missing
        db::Query q;
        q.setSql({"SELECT", "  DEB_ASS_ID", "  ,GRP_DESCRICAO", "  ,ASS_NOME", "  ,DEB_DATA",
                  "  ,DEB_VALOR", "FROM", "  GRUPO", "  ,ASSOCIADOS", "  ,DEBITO", "WHERE",
                  "  ASS_ID         = DEB_ASS_ID", "  AND ASS_GRP_ID = GRP_ID", " "});
        q.open();
        QCOMPARE(q.recordCount(), 1);
        QCOMPARE(q.fieldByName("ASS_NOME").asString(), QString("Ana"));
        QCOMPARE(q.fieldByName("DEB_DATA").asDate(), QDate(2026, 4, 1));
        QCOMPARE(q.fieldByName("DEB_VALOR").displayText(), QString("10,00"));
        QCOMPARE(q.fieldByName("GRP_DESCRICAO").def().origin,
                 QString("TOLMARE.\"GRUPO.DB\".GRP_DESCRICAO"));
        QVERIFY_THROWS_EXCEPTION(EngineError, q.addSql("x"));
        q.close();
        q.setSql({"SELECT", "  DEB_DATA", "  ,DEB_ASS_ID", "  ,COUNT(*) NR", "FROM",
                  "  DEBITO", "GROUP BY", "  DEB_DATA", "  ,DEB_ASS_ID", "HAVING",
                  "  COUNT(*) > 0"});
        q.open();
        QCOMPARE(q.recordCount(), 3);
        QVERIFY(q.locate("DEB_ASS_ID", {7}));
        QCOMPARE(q.fieldByName("NR").asInteger(), 1);
    }

    void lookupsAndMissingRows()
    {
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Sócios"}});
        addMember("Ana", 1);
        addMember("Bia", 42);
        Table groups;
        groups.setTableName("GRUPO.DB");
        Table members;
        members.setTableName("ASSOCIADOS.DB");
        members.addLookupField("Nome_Grupo", 50, "ASS_GRP_ID", &groups, "GRP_ID", "GRP_DESCRICAO");
        groups.open();
        members.open();
        QCOMPARE(members.fieldByName("Nome_Grupo").asString(), QString("Sócios"));
        members.next();
        QVERIFY(members.fieldByName("Nome_Grupo").isNull());
        const auto rows = members.rowsAt(0, 10);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].last().toString(), QString("Sócios"));
        // A lookup made again after the looked-up row changed sees the change.
        groups.edit();
        groups.fieldByName("GRP_DESCRICAO").setAsString("Aposentados");
        groups.post();
        QCOMPARE(members.rowsAt(0, 1)[0].last().toString(), QString("Aposentados"));
        members.first();
        QCOMPARE(members.fieldByName("Nome_Grupo").asString(), QString("Aposentados"));
    }

    void missingTableAndBadValues()
    {
        QFile::remove(QDir(folder_).filePath("GRUPO.DB"));
        Table t;
        t.setTableName("GRUPO.DB");
        try {
            t.open();
            QFAIL("opened a missing table");
        } catch (const EngineError& e) {
            QVERIFY(e.message().contains("GRUPO.DB"));
        }
        QVERIFY(!t.active());
        Table d;
        d.setTableName("DEBITO.DB");
        d.open();
        d.append();
        QVERIFY_THROWS_EXCEPTION(EngineError, d.fieldByName("DEB_VALOR").setAsString("abc"));
        QVERIFY_THROWS_EXCEPTION(EngineError, d.fieldByName("DEB_DATA").setAsString("31/02/2026"));
        d.fieldByName("DEB_VALOR").setAsString("1.234,50");
        QCOMPARE(d.fieldByName("DEB_VALOR").asFloat(), 1234.5);
    }

    void postIsOnDiskForAnotherProcess()
    {
        addDebit(QDate(2026, 5, 1), 1, 10.0);
        QProcess p;
        p.start(QCoreApplication::applicationFilePath(),
                {"--count", QDir(folder_).filePath("DEBITO.DB")});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.readAllStandardOutput().trimmed(), QByteArray("1"));
    }
};

int main(int argc, char** argv)
{
    // Helper mode: print the row count of a table file, read by a process of its own.
    if (argc == 3 && QByteArray(argv[1]) == "--count") {
        const QString path = QString::fromLocal8Bit(argv[2]);
        printf("%d\n", testdata::countRows(QFileInfo(path).path(), QFileInfo(path).fileName()));
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestEngine t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_engine.moc"

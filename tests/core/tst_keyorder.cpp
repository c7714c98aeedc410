// The order a table walks and the conditions it builds, checked against the rows SQLite
// itself gives in that order: the arms after and before every row give exactly the rows that
// follow or precede it, and bounds and ranges exactly the keys a plain comparison picks
// (empty values lowest).
#include "core/engine/EngineError.h"
#include "core/engine/KeyOrder.h"
#include "core/engine/SqlValue.h"

#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using db::KeyOrder;
using Rows = QList<QVariantList>;  // (A, B) per row, rowid = place + 1

namespace {

KeyOrder order()
{
    KeyOrder k;
    k.cols = {"A", "B", "rowid"};
    k.names = {"A", "B", "rowid"};
    k.src = {0, 1, -1};
    k.types = {store::FieldType::Alpha, store::FieldType::Number, store::FieldType::Autoincrement};
    return k;
}

// Empty lowest, then by value; a shorter prefix compares on its own length.
int compare(const QVariantList& a, const QVariantList& b, int n)
{
    for (int i = 0; i < n; ++i) {
        const bool na = !a[i].isValid(), nb = !b[i].isValid();
        if (na || nb) {
            if (na != nb) return na ? -1 : 1;
            continue;
        }
        const int c = QVariant::compare(a[i], b[i]) == QPartialOrdering::Less      ? -1
                      : QVariant::compare(a[i], b[i]) == QPartialOrdering::Greater ? 1
                                                                                   : 0;
        if (c) return c;
    }
    return 0;
}

const Rows kRows = {{"b", 2.0}, {{}, 1.0},  {"a", {}},  {"b", {}}, {"a", 1.0},
                    {{}, {}},   {"b", 2.0}, {"c", 1.0}, {"a", 1.0}};

}  // namespace

class TestKeyOrder : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    sqlite3* db_ = nullptr;

    // rowids picked by `cond`, in the order (or backwards).
    QList<qint64> pick(const db::Sql& cond, bool forward = true)
    {
        const QString sql = "SELECT rowid FROM T"
                            + (cond.text.isEmpty() ? "" : " WHERE " + cond.text)
                            + order().orderBy(forward);
        db::StmtGuard g(db::prepare(db_, sql));
        db::bindAll(g.get(), cond.params);
        QList<qint64> out;
        while (sqlite3_step(g.get()) == SQLITE_ROW) out << sqlite3_column_int64(g.get(), 0);
        return out;
    }
    QVariantList keyOf(qint64 rowid) { return kRows[rowid - 1] + QVariantList{rowid}; }

private slots:
    void initTestCase()
    {
        QCOMPARE(sqlite3_open(dir_.filePath("t.db").toUtf8().constData(), &db_), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db_, "CREATE TABLE T (A TEXT, B REAL)", nullptr, nullptr, nullptr),
                 SQLITE_OK);
        for (const QVariantList& r : kRows) {
            db::StmtGuard g(db::prepare(db_, "INSERT INTO T VALUES (?, ?)"));
            db::bindAll(g.get(), {r[0], r[1]});
            QCOMPARE(sqlite3_step(g.get()), SQLITE_DONE);
        }
    }
    void cleanupTestCase() { sqlite3_close(db_); }

    // From every row, the arms in turn give the rest of the walk in each direction.
    void armsGiveTheNeighboursInOrder()
    {
        const QList<qint64> walk = pick({});
        QCOMPARE(walk.size(), kRows.size());
        for (int at = 0; at < walk.size(); ++at) {
            for (const bool forward : {true, false}) {
                QList<qint64> got;
                for (const db::Sql& arm : order().armsFrom(keyOf(walk[at]), forward))
                    got << pick(arm, forward);
                QList<qint64> want = forward ? walk.mid(at + 1) : walk.mid(0, at);
                if (!forward) std::reverse(want.begin(), want.end());
                QCOMPARE(got, want);
            }
        }
    }

    void boundsAndRanges_data()
    {
        QTest::addColumn<QVariantList>("start");
        QTest::addColumn<QVariantList>("end");
        QTest::addColumn<bool>("prefix");  // the same values: the keys that begin with them
        const QVariant e;
        QTest::newRow("one field") << QVariantList{"a"} << QVariantList{"b"} << false;
        QTest::newRow("from empty") << QVariantList{e} << QVariantList{"a"} << false;
        QTest::newRow("to empty second") << QVariantList{e} << QVariantList{e, 1.0} << false;
        QTest::newRow("two fields") << QVariantList{"a", 1.0} << QVariantList{"b", 2.0} << false;
        QTest::newRow("empty second") << QVariantList{"a", e} << QVariantList{"b", e} << false;
        QTest::newRow("number as text")
            << QVariantList{"a", "1"} << QVariantList{"c", "1,5"} << false;
        QTest::newRow("equal") << QVariantList{"b"} << QVariantList{"b"} << true;
        QTest::newRow("equal empty") << QVariantList{e, e} << QVariantList{e, e} << true;
        QTest::newRow("no start") << QVariantList{} << QVariantList{"a", 1.0} << false;
        QTest::newRow("no end") << QVariantList{"b", 2.0} << QVariantList{} << false;
    }
    void boundsAndRanges()
    {
        QFETCH(QVariantList, start);
        QFETCH(QVariantList, end);
        QFETCH(bool, prefix);
        auto fix = [](QVariantList v) {
            if (v.size() > 1 && v[1].typeId() == QMetaType::QString)
                v[1] = v[1].toString().replace(',', '.').toDouble();
            return v;
        };
        const QVariantList s = fix(start), t = fix(end);
        QList<qint64> want;
        for (const qint64 id : pick({})) {
            const QVariantList k = keyOf(id);
            const bool in =
                prefix ? compare(k, s, int(s.size())) == 0
                       : compare(k, s, int(s.size())) >= 0 && compare(k, t, int(t.size())) <= 0;
            if (in) want << id;
        }
        QCOMPARE(pick(order().range(start, end)), want);
        QVERIFY(!want.isEmpty());
    }

    void valuesOfTheWrongTypeAreRefused()
    {
        QVERIFY_THROWS_EXCEPTION(db::EngineError, order().bound({"a", "x"}, true));
        QVERIFY_THROWS_EXCEPTION(db::EngineError, order().leadingEqual({"a", "1.2.3"}));
    }

    void lowestOfItsLetters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("lowest");
        QTest::newRow("small letters") << "jose"
                                       << "JOSE";
        QTest::newRow("accents") << "Conceição"
                                 << "CONCEICAO";
        QTest::newRow("not letters") << "12 - x"
                                     << "12 - X";
    }
    void lowestOfItsLetters()
    {
        QFETCH(QString, text);
        QFETCH(QString, lowest);
        QCOMPARE(db::lowestOfItsLetters(text), lowest);
    }
};

QTEST_GUILESS_MAIN(TestKeyOrder)
#include "tst_keyorder.moc"

// The text helpers with their worked examples, the filter a table takes, and the removal of
// repeated RET_DEBITO rows.
#include "core/Cp1252.h"
#include "core/MainRoutines.h"
#include "core/TextHelpers.h"
#include "core/engine/FilterExpr.h"
#include "core/engine/Table.h"
#include "tests/common/TestData.h"

#include <QTemporaryDir>
#include <QTest>

class TestCoreLogic : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    // Every byte decodes and encodes back unchanged, the five the code page leaves undefined
    // as the C1 characters of the same number; characters it lacks become "?".
    void cp1252EveryByteRoundTrips()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b) all.append(char(b));
        const QString text = cp1252::decode(all);
        bool fits = false;
        QCOMPARE(cp1252::encode(text, &fits), all);
        QVERIFY(fits);
        for (const int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) QCOMPARE(int(text[b].unicode()), b);
        QCOMPARE(text[0x80], QChar(0x20AC));
        QCOMPARE(text[0x9F], QChar(0x0178));
        QCOMPARE(cp1252::encode(QString(QChar(0x0080)) + "ção\u2603", &fits),
                 QByteArray("?\xE7\xE3o?"));
        QVERIFY(!fits);
    }

    void filter_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");  // field|op|value, empty when refused
        QTest::newRow("equal number") << "DEB_VALOR = 10" << "DEB_VALOR|IS|10";
        QTest::newRow("different") << "X<>2.5" << "X|IS NOT|2.5";
        QTest::newRow("at most") << " X <= -1 " << "X|<=|-1";
        QTest::newRow("text with a quote") << "NOME = 'D''AVILA'" << "NOME|IS|D'AVILA";
        QTest::newRow("text with blanks") << "NOME > 'A B'" << "NOME|>|A B";
        QTest::newRow("unquoted text") << "NOME = ANA" << "";
        QTest::newRow("no operator") << "NOME 'ANA'" << "";
        QTest::newRow("no value") << "X =" << "";
    }
    void filter()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const std::optional<db::FilterExpr> f = db::parseFilter(text);
        QCOMPARE(f ? f->field + '|' + f->op + '|' + f->value.toString() : QString(), expected);
    }

    void padlzero_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("expected");
        QTest::newRow("pad") << "123" << 6 << "000123";
        QTest::newRow("cut left") << "1234567" << 6 << "234567";
        QTest::newRow("empty") << "" << 3 << "000";
        QTest::newRow("zero length") << "12" << 0 << "";
        QTest::newRow("minus kept") << "-5" << 4 << "00-5";
        QTest::newRow("exact") << "12" << 2 << "12";
    }
    void padlzero()
    {
        QFETCH(QString, text);
        QFETCH(int, length);
        QFETCH(QString, expected);
        QCOMPARE(Padlzero(text, length), expected);
    }

    void retirarMascara_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("remove");
        QTest::addColumn<QString>("expected");
        QTest::newRow("mask") << "123.456-7" << "./-" << "1234567";
        QTest::newRow("slash") << "12/3" << "./-" << "123";
        QTest::newRow("nothing to remove") << "12.3" << "" << "12.3";
        QTest::newRow("empty text") << "" << "./-" << "";
        QTest::newRow("case") << "aAa" << "a" << "A";
    }
    void retirarMascara()
    {
        QFETCH(QString, text);
        QFETCH(QString, remove);
        QFETCH(QString, expected);
        QCOMPARE(RetirarMascara(text, remove), expected);
    }

    void formataValor_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("12.34") << 12.34 << "1234";
        QTest::newRow("0.05") << 0.05 << "5";
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("third and fourth decimals dropped") << 1234.5678 << "123456";
        QTest::newRow("negative") << -1.5 << "-150";
        QTest::newRow("0.01") << 0.01 << "1";
        QTest::newRow("100") << 100.0 << "10000";
        QTest::newRow("tie to even down") << 0.00125 << "0";
    }
    void formataValor()
    {
        QFETCH(double, value);
        QFETCH(QString, expected);
        QCOMPARE(FormataValor(toCurrency(value)), expected);
    }

    void digitoVerificador_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("expected");
        QTest::newRow("1234") << "1234" << "123-6";
        QTest::newRow("12345-0") << "12345-0" << "12345-5";
        QTest::newRow("1234-5") << "1234-5" << "1234-3";
        QTest::newRow("3456-7") << "3456-7" << "3456-8";
        QTest::newRow("0001") << "0001" << "000-0";
        QTest::newRow("empty") << "" << "-0";
        QTest::newRow("one character") << "7" << "-0";
        QTest::newRow("two dashes") << "12-3-4" << "12-" + CalculaDigitoVerificador("12-").right(1);
        QTest::newRow("remainder 10") << "60" << "6-X";
    }
    void digitoVerificador()
    {
        QFETCH(QString, code);
        QFETCH(QString, expected);
        QCOMPARE(CalculaDigitoVerificador(code), expected);
    }

    void formataDataAndRightAlign()
    {
        QCOMPARE(FormataData(QDate(2026, 7, 5)), QString("20260705"));
        QCOMPARE(Complementa_Texto_Direita("ABC", " ", 5), QString("  ABC"));
        QCOMPARE(Complementa_Texto_Direita("ABCDEFG", " ", 4), QString("ABCD"));
        QCOMPARE(Complementa_Texto_Direita(" ", " ", 20), QString(20, ' '));
        QCOMPARE(Complementa_Texto_Direita("7", "0", 3), QString("007"));
        QCOMPARE(Complementa_Texto_Direita("ABC", " ", 3), QString("ABC"));
        QCOMPARE(Complementa_Texto_Direita("AB", "", 5), QString("AB"));
    }

    void duplicates_data()
    {
        QTest::addColumn<QString>("rows");      // date,member,remessa,returned ; ...
        QTest::addColumn<QString>("expected");  // remaining remessa numbers in key order
        QTest::newRow("none repeated") << "10,1,7,;10,2,7,;11,1,7," << "7 7 7";
        QTest::newRow("three, lowest kept") << "10,1,7,;10,1,5,;10,1,9," << "5";
        QTest::newRow("awaiting kept") << "10,1,8,20;10,1,9," << "9";
        QTest::newRow("other dates and members") << "10,1,5,;10,1,6,;11,1,7,;10,2,8," << "5 8 7";
    }
    void duplicates()
    {
        QFETCH(QString, rows);
        QFETCH(QString, expected);
        testdata::nextDataFolder(dir_);
        for (const QString& r : rows.split(';')) {
            const QStringList c = r.split(',');
            testdata::addRow("RET_DEBITO.DB",
                             {{"DEB_DATA", QDate(2026, 7, c[0].toInt())}, {"DEB_ASS_ID", c[1].toDouble()},
                              {"DEB_REMESSA", c[2].toDouble()},
                              {"DEB_DATA_RETORNO", c[3].isEmpty() ? QVariant() : QVariant(QDate(2026, 7, c[3].toInt()))},
                              {"DEB_DTA_CAD", QDate(2026, 7, 1)}, {"DEB_USR_ID", 1}});
        }
        Apagar_Duplicacoes_Retorno();
        db::Table t;
        t.setTableName("RET_DEBITO.DB");
        t.setIndexName("Si_Data_Associado");
        t.open();
        QStringList left;
        for (t.first(); !t.eof(); t.next()) left << t.fieldByName("DEB_REMESSA").asString();
        QCOMPARE(left.join(' '), expected);
    }
};

QTEST_GUILESS_MAIN(TestCoreLogic)
#include "tst_corelogic.moc"

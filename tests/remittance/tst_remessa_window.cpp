// The remittance window, offscreen: the proposed file name, the dialog title, and the window
// closing after a generation but not after a cancelled dialog.
#include "core/Historico.h"
#include "core/dm/UDMRemessa_Previ.h"
#include "core/engine/Database.h"
#include "remittance/ui/URemessa_Previ.h"
#include "tests/common/ScriptedDialogs.h"
#include "tests/common/TestData.h"

#include <QApplication>
#include <QDateEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestRemessaWindow : public testdata::DataFolderTest {
    Q_OBJECT

private slots:
    void init()
    {
        freshFolder();
        testdata::addRow("PARAMETROS.DB", {{"EMP_NOME", "A"}, {"EMP_COD_INT_PREVI", "7"},
                                           {"EMP_COD_VERBA_PREVI", "123"},
                                           {"EMP_NR_REM_PREVI", 41.0}});
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "APOSENTADOS"}});
        testdata::addRow("ASSOCIADOS.DB", {{"ASS_NOME", "Ana"}, {"ASS_MATRICULA", "5"},
                                           {"ASS_GRP_ID", 1.0}});
        testdata::addRow("DEBITO.DB", {{"DEB_DATA", QDate::currentDate()}, {"DEB_ASS_ID", 1.0},
                                       {"DEB_VALOR", 10.0}, {"DEB_DTA_CAD", QDate::currentDate()},
                                       {"DEB_USR_ID", 1}});
    }

    void cancelledDialogKeepsWindow()
    {
        testdata::ScriptedDialogs dialogs;
        TDMRemessa_Previ dm;
        TFRemessa_Previ w;
        w.show();
        QCOMPARE(w.Data_Remessa->date(), QDate::currentDate());
        w.Btn_GerarClick();
        QCOMPARE(dialogs.titles, QStringList({"Onde Salvar a Remessa ?"}));
        QCOMPARE(dialogs.proposed, QString("ARQ_PREVI_000041.txt"));
        QVERIFY(w.isVisible());
        QVERIFY(dialogs.shown.isEmpty());
    }

    void generationClosesWindow()
    {
        testdata::ScriptedDialogs dialogs;
        dialogs.fileName = QDir(folder_).filePath("ARQ_PREVI_000041.txt");
        TDMRemessa_Previ dm;
        TFRemessa_Previ w;
        w.show();
        w.Btn_GerarClick();
        QVERIFY(!w.isVisible());
        QVERIFY(!dm.TDebito->active());
        QVERIFY(QFile::exists(dialogs.fileName));
        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY(dialogs.shown.first().contains("Número da Remessa.........:42"));
    }

    // Whatever the outcome, once a path was chosen the window closes with one message.
    void closesAfterEveryOutcome_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("start");
        QTest::newRow("done") << "ARQ_PREVI_000041.txt" << int(dialogs::Kind::Information)
                              << "Nr Total de Registros.....: 1";
        QTest::newRow("name too long") << "ARQ_PREVI_0000041.txt" << int(dialogs::Kind::Error)
                                       << "Nome do arquivo está fora do padrão.";
        QTest::newRow("cannot create") << "nada/ARQ.txt" << int(dialogs::Kind::Plain)
                                       << "Erro ao criar arquivo: ";
    }
    void closesAfterEveryOutcome()
    {
        QFETCH(QString, name);
        QFETCH(int, kind);
        QFETCH(QString, start);
        testdata::ScriptedDialogs dialogs;
        dialogs.fileName = QDir(folder_).filePath(name);
        TDMRemessa_Previ dm;
        TFRemessa_Previ w;
        w.show();
        w.Btn_GerarClick();
        QVERIFY(!w.isVisible());
        QVERIFY(!w.Btn_Gerar->isEnabled());
        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY2(dialogs.shown.first().startsWith(start), qPrintable(dialogs.shown.first()));
        QCOMPARE(int(dialogs.kinds.first()), kind);
        QVERIFY(!QApplication::overrideCursor());
    }

    // The check before the save dialog: what stops the remittance is only shown; what does not
    // is offered with "Gerar mesmo assim", and declining keeps the window without a file.
    void checkBeforeSaving_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("line");
        QTest::newRow("stops") << QVariant() << "" << "Impede: associado 2 - Beto";
        QTest::newRow("warns") << QVariant(5.0) << "Gerar mesmo assim"
                               << "Não enviado: associado 2 - Beto: sem número de matrícula";
    }
    void checkBeforeSaving()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, label);
        QFETCH(QString, line);
        testdata::addRow("ASSOCIADOS.DB", {{"ASS_NOME", "Beto"}, {"ASS_GRP_ID", 1.0},
                                           {"ASS_MATRICULA", value.isValid() ? "" : "6"}});
        testdata::addRow("DEBITO.DB", {{"DEB_DATA", QDate::currentDate()}, {"DEB_ASS_ID", 2.0},
                                       {"DEB_VALOR", value}, {"DEB_DTA_CAD", QDate::currentDate()},
                                       {"DEB_USR_ID", 1}});
        testdata::ScriptedDialogs dialogs;
        dialogs.answer = false;
        dialogs.fileName = QDir(folder_).filePath("ARQ_PREVI_000041.txt");
        TDMRemessa_Previ dm;
        TFRemessa_Previ w;
        w.show();
        w.Btn_GerarClick();
        QCOMPARE(dialogs.reviewLabels, QStringList{label});
        QVERIFY2(dialogs.shown.first().contains(line), qPrintable(dialogs.shown.first()));
        QVERIFY(dialogs.titles.isEmpty());
        QVERIFY(w.isVisible());
        QVERIFY(!QFile::exists(dialogs.fileName));
    }

    // A member's older debit that the date step deletes is named before the file exists, with
    // the one kept; after the generation the operation log names it too.
    void replacedDebitNamed()
    {
        const QDate older = QDate::currentDate().addDays(-30);
        testdata::addRow("DEBITO.DB", {{"DEB_DATA", older}, {"DEB_ASS_ID", 1.0},
                                       {"DEB_VALOR", 15.0}, {"DEB_DTA_CAD", older},
                                       {"DEB_USR_ID", 1}});
        testdata::ScriptedDialogs dialogs;
        dialogs.fileName = QDir(folder_).filePath("ARQ_PREVI_000041.txt");
        TDMRemessa_Previ dm;
        TFRemessa_Previ w;
        w.show();
        w.Btn_GerarClick();
        const QString d1 = older.toString("dd/MM/yyyy");
        const QString d2 = QDate::currentDate().toString("dd/MM/yyyy");
        QCOMPARE(dialogs.reviewLabels, QStringList{"Gerar mesmo assim"});
        const QString line = "Será apagado: associado 1 - Ana (matrícula 5): o débito de " + d1
                             + ", valor 15,00, será apagado pela data da remessa; fica o de "
                             + d2 + ", valor 10,00.";
        QVERIFY2(dialogs.shown.first().contains(line), qPrintable(dialogs.shown.first()));
        QVERIFY(QFile::exists(dialogs.fileName));
        QStringList log;
        for (const historico::Linha& l :
             historico::ler(db::Session::instance().connectionFor("Tolmare")))
            log << l.operacao + ": " + l.detalhe;
        QVERIFY2(log.contains("Remessa: associado 1: o débito de " + d1 + ", valor 15,00, foi "
                              "apagado pela data da remessa; fica o de " + d2 + ", valor 10,00."),
                 qPrintable(log.join('\n')));
    }

    // Repeated RET_DEBITO rows go before the save dialog is even shown.
    void duplicatesRemovedFirst()
    {
        for (double remessa : {3.0, 4.0})
            testdata::addRow("RET_DEBITO.DB", {{"DEB_DATA", QDate(2026, 5, 10)},
                                               {"DEB_ASS_ID", 1.0}, {"DEB_REMESSA", remessa},
                                               {"DEB_VALOR", 10.0},
                                               {"DEB_DTA_CAD", QDate(2026, 5, 1)},
                                               {"DEB_USR_ID", 1}});
        testdata::ScriptedDialogs dialogs;
        TDMRemessa_Previ dm;
        TFRemessa_Previ w;
        w.show();
        w.Btn_GerarClick();
        QCOMPARE(testdata::countRows(folder_, "RET_DEBITO.DB"), 1);
        QVERIFY(w.isVisible());
    }

    void dateIsTodayEachTimeShown()
    {
        TDMRemessa_Previ dm;
        TFRemessa_Previ w;
        w.show();
        w.Data_Remessa->setDate(QDate(2020, 1, 1));
        w.Progress->setValue(50);
        w.hide();
        w.show();
        QCOMPARE(w.Data_Remessa->date(), QDate::currentDate());
        QCOMPARE(w.Progress->value(), 0);
        QCOMPARE(w.windowTitle(), QString("Remessa Previ"));
    }
};

QTEST_MAIN(TestRemessaWindow)
#include "tst_remessa_window.moc"

// The collection windows over the month built by hand: the arrears window's filters, the
// member's history, the panel with its chart and PDF, "Exportar…" through scripted dialogs,
// and the remittance window's undo asking first. With TOLMARE_SCREENSHOTS set, each window is
// also saved there as a PNG.
#include "collection/ui/TabelaModel.h"
#include "collection/ui/UExtrato.h"
#include "collection/ui/UInadimplentes.h"
#include "collection/ui/UPainel.h"
#include "core/UVariaveis.h"
#include "remittance/DesfazerRemessa.h"
#include "remittance/GerarRemessa.h"
#include "remittance/ui/DesfazerRemessaUi.h"
#include "remittance/ui/URemessa_Previ.h"
#include "remittance/ui/URet_Debito.h"
#include "registers/ui/UAssociados.h"
#include "core/dm/UDMAssociados.h"
#include "core/dm/UDMRet_Debito.h"
#include "tests/collection/MesAMao.h"
#include "tests/common/PdfText.h"
#include "tests/common/ScriptedDialogs.h"
#include "tests/remittance/RemessaFixtures.h"

#include <QAbstractItemModelTester>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTest>

namespace {

void screenshot(QWidget& w, const QString& name)
{
    const QString folder = qEnvironmentVariable("TOLMARE_SCREENSHOTS");
    if (folder.isEmpty()) return;
    w.show();
    QTest::qWait(300);
    w.grab().save(QDir(folder).filePath(name + ".png"));
}

QString cell(QTableView* t, int row, int col)
{
    return t->model()->index(row, col).data().toString();
}

}  // namespace

class TestCobrancaWindows : public testdata::DataFolderTest {
    Q_OBJECT

private slots:
    void init()
    {
        freshFolder();
        UsuarioAtual = 1;
        mesAMao();
    }

    void arrearsWindowFilters()
    {
        testdata::ScriptedDialogs dialogs;
        TFInadimplentes w;
        QAbstractItemModelTester tester(w.Grade->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(w.Grade->model()->rowCount(), 3);
        QCOMPARE(cell(w.Grade, 0, 1), kFabio);
        QCOMPARE(cell(w.Grade, 0, 4), QString("60,00"));
        QCOMPARE(w.Totais->text(), QString("3 associado(s)    Valor total: 111,00"));
        w.Ordem->setCurrentIndex(2);  // by name
        QCOMPARE(cell(w.Grade, 0, 1), QString("Bruno"));
        w.Grupo->setCurrentIndex(w.Grupo->findText("Aposentados"));
        QCOMPARE(w.Grade->model()->rowCount(), 1);
        w.Grupo->setCurrentIndex(0);
        w.Minimo->setValue(2);
        QCOMPARE(w.Grade->model()->rowCount(), 1);
        QCOMPARE(cell(w.Grade, 0, 3), QString("2"));
        w.Minimo->setValue(1);
        screenshot(w, "inadimplentes");

        dialogs.fileName = dir_.filePath("lista.xlsx");
        QTest::mouseClick(w.Btn_Exportar, Qt::LeftButton);
        QVERIFY(QFileInfo(dialogs.fileName).size() > 0);
        QCOMPARE(dialogs.kinds.last(), dialogs::Kind::Information);
        QVERIFY(dialogs.shown.last().contains("(3 linha(s))"));
    }

    void historyWindow()
    {
        TFExtrato w(2);
        QCOMPARE(w.Grade->model()->rowCount(), 3);
        QCOMPARE(cell(w.Grade, 0, 0), QString("07/2026"));
        QCOMPARE(cell(w.Grade, 0, 3), QString("Devolvido"));
        QCOMPARE(cell(w.Grade, 2, 5), QString("03/08/2026"));
        QCOMPARE(w.Totais->text(), QString("Enviado: 71,00    Recebido: 20,00    Devolvido: 51,00"));
        QVERIFY(w.Associado->text().contains("Bruno"));
        screenshot(w, "extrato");
    }

    void panelWindowAndPdf()
    {
        testdata::ScriptedDialogs dialogs;
        TFPainel w;
        w.Ate->setDate(QDate(2026, 7, 1));
        w.Meses->setValue(3);
        QCOMPARE(w.Grade->model()->rowCount(), 3);
        QCOMPARE(cell(w.Grade, 2, 9), QString("9,30%"));
        QCOMPARE(w.Grafico->chart()->series().size(), 2);
        screenshot(w, "painel");
        dialogs.fileName = dir_.filePath("painel.pdf");
        QTest::mouseClick(w.Btn_Pdf, Qt::LeftButton);
        const QString text = testdata::pdfText(dialogs.fileName);
        QVERIFY2(text.contains("Painel de Cobrança") && text.contains("107,50")
                     && text.contains("Taxa de cobrança"),
                 qPrintable(text));
    }

    // The doors: the return consultation's buttons (its list exported whole) and the members
    // register's history of the current member.
    void doorsFromTheWindows()
    {
        testdata::ScriptedDialogs dialogs;
        {
            TDMRet_Debito dm;
            TFRet_Debito w;
            QVERIFY(w.Btn_Inadimplentes && w.Btn_Painel);
            dialogs.fileName = dir_.filePath("consulta.csv");
            QTest::mouseClick(w.Btn_Exportar, Qt::LeftButton);
            QVERIFY2(dialogs.shown.last().contains("(12 linha(s))"), qPrintable(dialogs.shown.last()));
            screenshot(w, "consulta");
            w.close();
        }
        TDMAssociados dm;
        TFAssociados w;
        QCOMPARE(w.Btn_Extrato->text(), QString("E&xtrato"));
        screenshot(w, "associados");
        w.close();
    }

    // The button names the remittance and its file, and undoes it only when told to.
    void undoAsksFirst()
    {
        testdata::ScriptedDialogs dialogs;
        parametros(40);
        debit(QDate(2026, 9, 10), 1, 10.0);
        const QString path = dir_.filePath("ARQ_PREVI_000040.txt");
        QCOMPARE(int(remessa::GerarArquivo(path, QDate(2026, 9, 10), QDate(2026, 9, 1)).kind),
                 int(remessa::Outcome::Kind::Done));
        dialogs.answer = false;
        remessa_ui::desfazerUltimaRemessa();
        QVERIFY(dialogs.shown.last().contains("Desfazer a remessa 41 de 10/09/2026"));
        QVERIFY(dialogs.shown.last().contains(path + ".desfeita"));
        QVERIFY(QFileInfo::exists(path));
        dialogs.answer = true;
        remessa_ui::desfazerUltimaRemessa();
        QCOMPARE(dialogs.kinds.last(), dialogs::Kind::Information);
        QVERIFY(QFileInfo::exists(path + ".desfeita"));
        QCOMPARE(remittanceNumber(), 40.0);
        TFRemessa_Previ window;
        QCOMPARE(window.Btn_Desfazer->text(), QString("&Desfazer a última remessa"));
        screenshot(window, "remessa");
    }
};

QTEST_MAIN(TestCobrancaWindows)
#include "tst_cobranca_windows.moc"

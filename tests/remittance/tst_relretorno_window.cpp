// The return report's filter window, offscreen: its controls and typing rules, preview and
// print through the one handler (pages written to PDF files and read back), the month's range
// set and lifted on the consultation's table, and the consultation's button that opens it.
#include "components/report/ReportPreview.h"
#include "core/UVariaveis.h"
#include "core/dm/UDMRet_Debito.h"
#include "core/engine/Table.h"
#include "remittance/ui/URRetorno.h"
#include "remittance/ui/URet_Debito.h"
#include "tests/common/ScriptedDialogs.h"
#include "tests/common/PdfText.h"
#include "tests/common/TestData.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

void row(const QDate& data, double membro, double valor, const QDate& retorno = {})
{
    QVariantMap r{{"DEB_DATA", data},    {"DEB_ASS_ID", membro}, {"DEB_REMESSA", 3.0},
                  {"DEB_VALOR", valor},  {"DEB_DTA_CAD", data},  {"DEB_USR_ID", 1}};
    if (retorno.isValid()) r["DEB_DATA_RETORNO"] = retorno;
    testdata::addRow("RET_DEBITO.DB", r);
}

}  // namespace

class TestRelRetornoWindow : public testdata::DataFolderTest {
    Q_OBJECT

    std::unique_ptr<TDMRet_Debito> dm;
    int previews_ = 0;

    // What the consultation window leaves open: its data module with both tables.
    db::Table& consulta()
    {
        dm = std::make_unique<TDMRet_Debito>();
        dm->TRet_Debito->open();
        dm->TAssociados->open();
        return *dm->TRet_Debito;
    }

    // The preview prints twice to PDF files, as an operator printing twice from it.
    void previewPrintsTwice()
    {
        report::setPreviewRunner([this](QPrintPreviewDialog& d) {
            ++previews_;
            for (const char* name : {"p1.pdf", "p2.pdf"}) {
                QPrinter printer(QPrinter::HighResolution);
                printer.setOutputFormat(QPrinter::PdfFormat);
                printer.setOutputFileName(dir_.filePath(name));
                emit d.paintRequested(&printer);
            }
        });
    }

private Q_SLOTS:
    void initTestCase() { UsuarioAtual = 0; }

    void init()
    {
        freshFolder();
        previews_ = 0;
        testdata::addRow("ASSOCIADOS.DB", {{"ASS_NOME", "ANA"}, {"ASS_AGENCIA", "1234-5"},
                                           {"ASS_CONTA_CORRENTE", "9876-0"}});
        row(QDate(2026, 7, 1), 1, 10, QDate(2026, 7, 20));
        row(QDate(2026, 7, 31), 1, 20.5);
        row(QDate(2026, 8, 1), 1, 500, QDate(2026, 8, 20));
    }

    void cleanup()
    {
        report::setPreviewRunner({});
        report::setPrinterSetup({});
        dm.reset();
    }

    void creation()
    {
        TFRRetorno w;
        QCOMPARE(UsuarioAtual, 1);
        QCOMPARE(w.windowTitle(), QString("Filto de Relatório"));
        QCOMPARE(w.Label5->text(), QString("Mês / Ano Inicial"));
        QCOMPARE(w.Label7->text(), QString("Motivo devolução"));
        QStringList items;
        for (int i = 0; i < w.CBMotivo->count(); ++i) items << w.CBMotivo->itemText(i);
        QCOMPARE(items, (QStringList{"Todos", "Com Motivo de Devolução",
                                     "Sem Motivo de Devolução"}));
        QCOMPARE(w.CBMotivo->currentText(), QString("Com Motivo de Devolução"));
        QVERIFY(!w.CBMotivo->isEditable());
        QCOMPARE(w.Btn_Visualizar->text(), QString("&Visualizar"));
        QCOMPARE(w.SpeedButton1->text(), QString("&Imprimir"));
        QCOMPARE(w.SpeedButton2->text(), QString("&Sair"));
        QCOMPARE(FRRetorno, &w);
    }

    void typing_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("text");
        QTest::newRow("digits") << "052004" << "05/2004";
        QTest::newRow("an eighth key is cut") << "0520045" << "05/2004";
        QTest::newRow("month only") << "5" << "5";
    }

    void typing()
    {
        QFETCH(QString, keys);
        QFETCH(QString, text);
        TFRRetorno w;
        QTest::keyClicks(w.Inicio, keys);
        QCOMPARE(w.Inicio->text(), text);
        QCOMPARE(w.Inicio->cursorPosition(), int(text.size()));
    }

    void pasteAndErase()
    {
        TFRRetorno w;
        w.Inicio->insert("05/20045");
        QCOMPARE(w.Inicio->text(), QString("05/2004"));
        for (int key : {int(Qt::Key_Backspace), int(Qt::Key_Delete)}) {
            w.Inicio->setText("05/2004");
            w.Inicio->setCursorPosition(2);
            QTest::keyClick(w.Inicio, Qt::Key(key));
            QCOMPARE(w.Inicio->text(), QString());
        }
    }

    // The preview of July with "Todos", printed twice from it: the same pages both times;
    // the range is lifted afterwards.
    void previewTheMonth()
    {
        db::Table& t = consulta();
        previewPrintsTwice();
        TFRRetorno w;
        w.CBMotivo->setCurrentIndex(0);
        QTest::keyClicks(w.Inicio, "072026");
        QTest::mouseClick(w.Btn_Visualizar, Qt::LeftButton);
        QCOMPARE(previews_, 1);
        const QString first = testdata::pdfText(dir_.filePath("p1.pdf")).simplified();
        QVERIFY2(first.contains("Nr. Total de Retornos 2 Valor Total 30,50"), qPrintable(first));
        QVERIFY(first.contains("ANA 31/07/2026 20,50"));
        QCOMPARE(testdata::pdfText(dir_.filePath("p2.pdf")).simplified(), first);
        QVERIFY(!t.hasRange());
        QCOMPARE(t.recordCount(), 3);
    }

    // An empty month uses the range an import left; the report asks the window's CBMotivo.
    void printUsesTheRangeInForce()
    {
        db::Table& t = consulta();
        t.setRange({QDate(2026, 7, 1)}, {QDate(2026, 7, 31)});
        const QString path = dir_.filePath("impresso.pdf");
        report::setPrinterSetup([&](QPrinter& p) {
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(path);
        });
        TFRRetorno w;
        w.CBMotivo->setCurrentIndex(2);  // "Sem Motivo de Devolução"
        QTest::mouseClick(w.SpeedButton1, Qt::LeftButton);
        QCOMPARE(previews_, 0);
        const QString text = testdata::pdfText(path).simplified();
        QVERIFY2(text.contains("Nr. Total de Retornos 1 Valor Total 20,50"), qPrintable(text));
        QVERIFY(!text.contains("10,00"));
        QVERIFY(!t.hasRange());
    }

    void badMonthProducesNoReport_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("month 13") << "132004";
        QTest::newRow("incomplete") << "05";
    }

    void badMonthProducesNoReport()
    {
        QFETCH(QString, typed);
        testdata::ScriptedDialogs dialogs;
        db::Table& t = consulta();
        t.setRange({QDate(2026, 8, 1)}, {QDate(2026, 8, 31)});
        previewPrintsTwice();
        TFRRetorno w;
        QTest::keyClicks(w.Inicio, typed);
        w.Btn_VisualizarClick(false);
        QCOMPARE(previews_, 0);
        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY2(dialogs.shown.first().contains("\"01/" + w.Inicio->text() +
                                                "\" não é uma data válida"),
                 qPrintable(dialogs.shown.first()));
        QVERIFY(!t.hasRange());
    }

    // The consultation's "&Relatorio de Debitos" shows a filter window of its own, which the
    // report consults while it is shown; afterwards the start-up's window is back.
    void consultationOpensTheFilter()
    {
        TFRRetorno startup;
        TDMRet_Debito module;
        TFRet_Debito consultation;
        QVERIFY(consultation.SpeedButton2->isEnabled());
        TFRRetorno* shown = nullptr;
        QTimer::singleShot(0, [&] {
            shown = qobject_cast<TFRRetorno*>(QApplication::activeModalWidget());
            if (shown) {
                QCOMPARE(FRRetorno, shown);
                shown->SpeedButton2->click();
            }
        });
        consultation.SpeedButton2->click();
        QVERIFY(shown != nullptr);
        QVERIFY(shown != &startup);
        QCOMPARE(FRRetorno, &startup);
        consultation.close();
    }
};

QTEST_MAIN(TestRelRetornoWindow)
#include "tst_relretorno_window.moc"

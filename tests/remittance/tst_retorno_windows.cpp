// The return windows, offscreen: the import window, the summary window with its RTF and its
// printing, the consultation window's grid.
#include "components/DBGrid.h"
#include "core/dm/UDMRet_Debito.h"
#include "core/Cp1252.h"
#include "remittance/RtfWriter.h"
#include "remittance/ui/UImpRetorno.h"
#include "remittance/ui/ULogImpBB.h"
#include "remittance/ui/URet_Debito.h"
#include "tests/common/ScriptedDialogs.h"
#include "tests/common/TestData.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class TestRetornoWindows : public testdata::DataFolderTest {
    Q_OBJECT

private slots:
    void init()
    {
        freshFolder();
        testdata::addRow("ASSOCIADOS.DB", {{"ASS_NOME", "ANA"}, {"ASS_MATRICULA", "42"},
                                           {"ASS_AGENCIA", "1234-5"}});
        testdata::addRow("RET_DEBITO.DB", {{"DEB_DATA", QDate(2026, 7, 10)}, {"DEB_ASS_ID", 1.0},
                                           {"DEB_REMESSA", 9.0}, {"DEB_VALOR", 12.5},
                                           {"DEB_OCORRENCIA", "Aguardando Retorno"},
                                           {"DEB_DTA_CAD", QDate(2026, 7, 1)}, {"DEB_USR_ID", 1}});
    }

    void consultationGrid()
    {
        TDMRet_Debito dm;
        TFRet_Debito w;
        QCOMPARE(w.windowTitle(), QString("-"));
        QVERIFY(!w.SpeedButton2->isEnabled());
        auto* model = w.DBGridDebito->gridModel();
        QCOMPARE(model->columnCount(), 9);
        QStringList titles;
        for (int c = 0; c < 9; ++c) titles << model->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(titles, QStringList({"Remessa", "Nome Debitado", "Dt. Rem", "Data Ret",
                                      "Ocorrência", "Valor", "Agência", "Conta",
                                      "Indentificador"}));
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(model->index(0, 1).data().toString(), QString("ANA"));
        QCOMPARE(model->index(0, 5).data().toString(), QString("12,50"));
        QCOMPARE(model->index(0, 6).data().toString(), QString("1234-5"));
        w.close();
        QVERIFY(!dm.TRet_Debito->active());
    }

    void importWindow()
    {
        testdata::ScriptedDialogs dialogs;
        TDMRet_Debito dm;
        dm.TRet_Debito->open();
        TFImpRetorno w;
        QCOMPARE(w.Label1->text(), QString("    "));
        QVERIFY(!w.BitBtn2->isEnabled());
        w.SpeedButton1Click();  // cancelled
        QVERIFY(!w.BitBtn2->isEnabled());
        QFile f(QDir(folder_).filePath("RET0726.TXT"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("000000000000042ANA" + QByteArray(42, ' ') + "SEM SALDO\r\n");
        f.close();
        dialogs.fileName = f.fileName();
        w.SpeedButton1Click();
        QCOMPARE(w.Label1->text(), "Arquivo:" + f.fileName());
        QVERIFY(w.BitBtn2->isEnabled());
        w.BitBtn2Click();  // no month
        QCOMPARE(dialogs.shown, QStringList({"Informe o Mês / Ano do arquivo que você está importando."}));
        QStringList summary;
        TFImpRetorno::showSummary = [&](const QStringList& lines) { summary = lines; };
        // A month that cannot be, or a short year, is refused before anything.
        for (const char* typed : {"13/2026", "00/2026", "03/27"}) {
            w.Mes_Ano->setText(typed);
            w.BitBtn2Click();
            QVERIFY2(dialogs.shown.last().contains("inválido"), qPrintable(dialogs.shown.last()));
            QVERIFY(summary.isEmpty());
        }
        QVERIFY(QFile::exists(f.fileName()));
        w.Mes_Ano->setText("07/2026");
        w.BitBtn2Click();
        QCOMPARE(dialogs.shown.last(), QString("Imprtação Concluida!"));
        QVERIFY(summary.contains(QString("RETORNO IMPORTADO")));
        QCOMPARE(dm.TRet_Debito->fieldByName("DEB_OCORRENCIA").asString(), QString("SEM SALDO"));
        QVERIFY(QFile::exists(QDir(folder_).filePath("Retorno_R_7-2026.imp")));
    }

    void summarySavedAsRtf()
    {
        testdata::ScriptedDialogs dialogs;
        TfmLogImpBB w;
        QCOMPARE(w.RichEdit1->font().family(), QString("Courier New"));
        QCOMPARE(w.RichEdit1->font().pixelSize(), 12);
        w.appendLines({"IMPORTANTO ARQUIVO DE RETORNO", "MÊS: 7 Ano: 2026", ""});
        QCOMPARE(w.lines(), QStringList({"", "IMPORTANTO ARQUIVO DE RETORNO", "MÊS: 7 Ano: 2026", ""}));
        w.RichEdit1->appendPlainText("editado {x}");
        dialogs.fileName = QDir(folder_).filePath("resumo.rtf");
        QFile old(dialogs.fileName);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old contents");
        old.close();
        w.BitBtn3Click();
        QFile f(dialogs.fileName);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray rtf = f.readAll();
        QVERIFY(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252"));
        QVERIFY(rtf.contains("{\\fonttbl{\\f0\\fmodern\\fcharset0 Courier New;}}"));
        QVERIFY(rtf.contains("M\\'caS: 7 Ano: 2026\\par"));
        QVERIFY(rtf.contains("editado \\{x\\}"));
        QVERIFY(rtf.trimmed().endsWith("}"));
    }

    void summaryPrintsOneLinePerLine()
    {
        TfmLogImpBB w;
        QStringList many;
        for (int i = 0; i < 300; ++i) many << QString("linha %1").arg(i);
        w.appendLines(many);
        const QString pdf = QDir(folder_).filePath("resumo.pdf");
        TfmLogImpBB::choosePrinter = [&](QPrinter& p) {
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(pdf);
            return true;
        };
        w.BitBtn2Click();
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        // 300 lines of 9 points do not fit on two pages.
        const auto pages = QRegularExpression(R"(/Type\s*/Page[^s])").globalMatch(QString::fromLatin1(bytes));
        int count = 0;
        for (auto it = pages; it.hasNext(); it.next()) ++count;
        QVERIFY2(count >= 3, qPrintable(QString::number(count)));
    }
};

QTEST_MAIN(TestRetornoWindows)
#include "tst_retorno_windows.moc"

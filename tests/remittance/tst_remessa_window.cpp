// The remittance window, offscreen: the proposed file name, the dialog title, and the window
// closing after a generation but not after a cancelled dialog.
#include "core/dm/UDMRemessa_Previ.h"
#include "remittance/ui/URemessa_Previ.h"
#include "tests/common/ScriptedDialogs.h"
#include "tests/common/TestData.h"

#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestRemessaWindow : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString folder_;

private slots:
    void init()
    {
        static int n = 0;
        folder_ = dir_.filePath(QString("d%1").arg(++n));
        testdata::makeDataFolder(folder_);
        testdata::addRow("PARAMETROS.DB", {{"EMP_NOME", "A"}, {"EMP_COD_INT_PREVI", "7"},
                                           {"EMP_COD_VERBA_PREVI", "123"},
                                           {"EMP_NR_REM_PREVI", 41.0}});
        testdata::addRow("ASSOCIADOS.DB", {{"ASS_NOME", "Ana"}, {"ASS_MATRICULA", "5"}});
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
};

QTEST_MAIN(TestRemessaWindow)
#include "tst_remessa_window.moc"

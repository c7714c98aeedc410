// The legacy import window, offscreen, over real tables in a fresh folder: its controls, the
// import from its button, a failing record, missing tables, and the main window's button.
#include "core/Dialogs.h"
#include "core/engine/EngineConfig.h"
#include "core/engine/EngineError.h"
#include "core/ui/UTolmare.h"
#include "legacy_import/ui/UImport.h"
#include "tests/common/ScriptedDialogs.h"
#include "tests/common/TestData.h"
#include "tests/legacy_import/LegacyTables.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class TestImportWindow : public testdata::DataFolderTest {
    Q_OBJECT

    QString imp_;

private slots:
    void init()
    {
        freshFolder();
        imp_ = QDir(folder_).filePath("Imp");
        QDir().mkpath(imp_);
        db::EngineConfig::overrideAlias("Imp", imp_);
        QVERIFY(testdata::writeGroups(imp_, {{"1", "Aposentados"}, {"2", "Ativos"}}));
        QVERIFY(testdata::writeMembers(imp_, {{"1", "12340", "123456", "Ana", "1"},
                                              {"2", "1", "2", "Bia", "2"},
                                              {"1", "1", "3", "Caio", "3"}}));
    }

    void importFromTheButton()
    {
        testdata::ScriptedDialogs dialogs;
        TFImport w;
        QCOMPARE(w.windowTitle(), QString("Importar Dados"));
        QCOMPARE(w.size(), QSize(455, 214));
        auto* status = w.findChild<QLabel*>("LStatus");
        auto* bar = w.findChild<QProgressBar*>("Progress");
        auto* run = w.findChild<QPushButton*>("SpeedButton1");
        QVERIFY(status && bar && run && w.findChild<QPushButton*>("SpeedButton2"));
        QCOMPARE(status->text(), QString("Status:"));
        QCOMPARE(bar->maximum(), 100);
        QCOMPARE(run->text(), QString("&Importar"));
        w.show();
        QTest::mouseClick(run, Qt::LeftButton);
        QCOMPARE(dialogs.shown, QStringList({"Processo Concluido"}));
        QCOMPARE(dialogs.kinds, QList<dialogs::Kind>({dialogs::Kind::Plain}));
        QCOMPARE(status->text(), QString("Importado Associados"));
        QCOMPARE(bar->maximum(), 3);
        QCOMPARE(bar->value(), 3);
        QVERIFY(w.isVisible());
        QCOMPARE(testdata::countRows(folder_, "GRUPO.DB"), 1);
        QCOMPARE(testdata::countRows(folder_, "ASSOCIADOS.DB"), 2);
        // Pressed again: nothing new to take over.
        QTest::mouseClick(run, Qt::LeftButton);
        QCOMPARE(dialogs.shown, QStringList({"Processo Concluido", "Processo Concluido"}));
        QCOMPARE(testdata::countRows(folder_, "GRUPO.DB"), 1);
        QCOMPARE(testdata::countRows(folder_, "ASSOCIADOS.DB"), 2);
        QTest::mouseClick(w.findChild<QPushButton*>("SpeedButton2"), Qt::LeftButton);
        QVERIFY(!w.isVisible());
    }

    void failingRecordShowsError()
    {
        QVERIFY(testdata::writeMembers(imp_, {{"1", "1", "30", "Caio", "3"}, {"1", "1", "40", "", "4"}}));
        testdata::ScriptedDialogs dialogs;
        TFImport w;
        w.show();
        w.SpeedButton1Click();
        QCOMPARE(dialogs.kinds, QList<dialogs::Kind>({dialogs::Kind::Error}));
        QVERIFY(dialogs.shown.value(0).contains("Reccli.dbf, registro 2, campo NOME"));
        QCOMPARE(testdata::countRows(folder_, "ASSOCIADOS.DB"), 1);
    }

    // From the main window: a missing table shows its message and no window; otherwise the
    // window opens modally and the import runs from it.
    void mainWindowButton()
    {
        TFTolmare::setOpener("SpeedButton7", abrirImport);
        testdata::ScriptedDialogs dialogs;
        TFTolmare main;
        QVERIFY(main.SpeedButton7->isEnabled());
        QCOMPARE(main.SpeedButton7->text(), QString("&Importar Dados"));
        QVERIFY(QFile::remove(QDir(imp_).filePath("Recgrp.dbf")));
        main.SpeedButton7->click();
        QCOMPARE(dialogs.kinds, QList<dialogs::Kind>({dialogs::Kind::Error}));
        QVERIFY(dialogs.shown.value(0).startsWith("A tabela Recgrp.dbf não foi encontrada"));
        QVERIFY(!FImport);

        QVERIFY(testdata::writeGroups(imp_, {{"1", "Aposentados"}}, "RECGRP.DBF"));
        dialogs.shown.clear();
        bool seen = false;
        QTimer::singleShot(0, [&] {
            seen = FImport && FImport->isVisible();
            if (FImport) {
                FImport->SpeedButton1->click();
                FImport->SpeedButton2->click();
            }
        });
        main.SpeedButton7->click();
        QVERIFY(seen);
        QVERIFY(!FImport);
        QCOMPARE(dialogs.shown, QStringList({"Processo Concluido"}));
        QCOMPARE(testdata::countRows(folder_, "ASSOCIADOS.DB"), 2);
    }
};

QTEST_MAIN(TestImportWindow)
#include "tst_import_window.moc"

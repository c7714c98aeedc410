// The data-aware edit and lookup drop-down over real tables in a fresh data folder, without
// the register windows: masks, typing into browsed and empty tables, refusals and pasting.
#include "components/DBEdit.h"
#include "components/DBGrid.h"
#include "components/DesignScale.h"
#include "components/DBLookupComboBox.h"
#include "core/engine/EditMask.h"
#include "core/UVariaveis.h"
#include "core/dm/UDMAssociados.h"
#include "core/dm/UDMParametros.h"
#include "core/dm/UDmGrupo.h"
#include "core/engine/EngineError.h"
#include "tests/common/ScriptedDialogs.h"
#include "tests/common/TestData.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QVBoxLayout>

using components::DBEdit;
using db::EditMask;

namespace {

// A shown, active window holding edits, so that focus really moves between them.
struct Form {
    QWidget window;
    QVBoxLayout* layout = new QVBoxLayout(&window);
    DBEdit* add(db::DataSource* src, const QString& field)
    {
        auto* e = new DBEdit(&window);
        e->setDataSource(src);
        e->setDataField(field);
        layout->addWidget(e);
        return e;
    }
    bool show()
    {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
};

}  // namespace

class TestComponents : public testdata::DataFolderTest {
    Q_OBJECT

private slots:
    void init()
    {
        freshFolder();
        UsuarioAtual = 1;
    }

    void maskCompleteness_data()
    {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("complete");
        QTest::newRow("cep full") << "00000-000" << "12345-678" << true;
        QTest::newRow("cep 7 digits") << "00000-000" << "12345-67 " << false;
        QTest::newRow("cep blank") << "00000-000" << "     -   " << true;
        QTest::newRow("cep letter") << "00000-000" << "1234a-678" << false;
        QTest::newRow("branch optional") << "cccc-c" << "12  - " << true;
        QTest::newRow("branch X") << "cccc-c" << "1234-X" << true;
        QTest::newRow("cgc full") << "##.###.###/####-##" << "12.345.678/0001-90" << true;
        QTest::newRow("cgc letter") << "##.###.###/####-##" << "12.3A5.678/0001-90" << false;
    }
    void maskCompleteness()
    {
        QFETCH(QString, mask);
        QFETCH(QString, value);
        QFETCH(bool, complete);
        QCOMPARE(EditMask(mask).isComplete(value), complete);
    }

    void maskForQt_data()
    {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("qt");
        // Qt reads 9 as a required digit and 0 as an optional one: the reverse of ours.
        QTest::newRow("cep") << "00000-000" << "99999-999; ";
        QTest::newRow("branch") << "cccc-c" << "xxxx-x; ";
        QTest::newRow("cgc") << "##.###.###/####-##" << "##.###.###/####-##; ";
        QTest::newRow("save tail ignored") << "00000-000;1;_" << "99999-999; ";
        QTest::newRow("none") << "" << "";
    }
    void maskForQt()
    {
        QFETCH(QString, mask);
        QFETCH(QString, qt);
        QCOMPARE(EditMask(mask).qtInputMask(), qt);
    }

    void maskPaste_data()
    {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("refused");
        QTest::newRow("cep with dash") << "00000-000" << "12345-678" << "";
        QTest::newRow("cep digits only") << "00000-000" << "12345678" << "";
        QTest::newRow("cep letter") << "00000-000" << "1234O-678" << "O";
        QTest::newRow("cep too long") << "00000-000" << "123456789" << "9";
        QTest::newRow("cgc punctuated") << "##.###.###/####-##" << "12.345.678/0001-90" << "";
        QTest::newRow("cgc with letters") << "##.###.###/####-##" << "12.ABC" << "A";
    }
    void maskPaste()
    {
        QFETCH(QString, mask);
        QFETCH(QString, pasted);
        QFETCH(QString, refused);
        const QChar bad = EditMask(mask).firstRefused(pasted, 0);
        QCOMPARE(bad.isNull() ? QString() : QString(bad), refused);
    }

    // Typing into the branch edit of a browsed member starts editing; 12345 is kept as 1234-5.
    void branchTypedWithLiteral()
    {
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Ativos"}});
        testdata::addRow("ASSOCIADOS.DB", {{"ASS_NOME", "ANA"}, {"ASS_GRP_ID", 1}});
        TDMAssociados dm;
        dm.TAssociados->open();
        Form f;
        DBEdit* branch = f.add(dm.DsTAssociados, "ASS_AGENCIA");
        QVERIFY(f.show());
        branch->setFocus();
        QTest::keyClicks(branch, "12345");
        QCOMPARE(dm.TAssociados->state(), db::DatasetState::Edit);
        QCOMPARE(dm.TAssociados->fieldByName("ASS_AGENCIA").asString(), QString("1234-5"));
        dm.TAssociados->post();
        QCOMPARE(branch->text(), QString("1234-5"));
    }

    // The first keystroke into an empty table begins a new row with its defaults.
    void typingIntoEmptyTableInserts()
    {
        TDMParametros dm;
        dm.TParametros->open();
        Form f;
        DBEdit* name = f.add(dm.DsTParametros, "EMP_NOME");
        DBEdit* date = f.add(dm.DsTParametros, "EMP_DTA_CAD");
        QVERIFY(f.show());
        QVERIFY(date->text().isEmpty());
        name->setFocus();
        QTest::keyClicks(name, "Assoc");
        QCOMPARE(dm.TParametros->state(), db::DatasetState::Insert);
        QCOMPARE(date->text(), QDate::currentDate().toString("dd/MM/yyyy"));
        QCOMPARE(dm.TParametros->fieldByName("EMP_NOME").asString(), QString("Assoc"));
    }

    // A postcode of 7 digits is refused when the edit is left: message, text kept, row pending.
    void shortPostcodeRefusedOnLeaving()
    {
        testdata::ScriptedDialogs dialogs;
        testdata::addRow("PARAMETROS.DB", {{"EMP_NOME", "A"}, {"EMP_CEP", "12345-678"}});
        TDMParametros dm;
        dm.TParametros->open();
        Form f;
        DBEdit* cep = f.add(dm.DsTParametros, "EMP_CEP");
        DBEdit* phone = f.add(dm.DsTParametros, "EMP_FONE_1");
        QVERIFY(f.show());
        cep->setFocus();
        cep->selectAll();
        QTest::keyClicks(cep, "1234567");
        QVERIFY(!cep->isComplete());
        phone->setFocus();
        QCOMPARE(dialogs.shown, QStringList{DBEdit::invalidInputMessage()});
        QCOMPARE(cep->displayText(), QString("12345-67 "));
        QTRY_VERIFY(cep->hasFocus());
        QCOMPARE(dm.TParametros->state(), db::DatasetState::Edit);
        QVERIFY_THROWS_EXCEPTION(db::EngineError, dm.TParametros->post());
        dm.TParametros->cancel();
        QCOMPARE(cep->text(), QString("12345-678"));
    }

    // A number edit keeps every character typed or pasted: what is no number is not written,
    // and the row stays pending with a message until it is corrected.
    void numberEditRefusesLetters()
    {
        testdata::addRow("PARAMETROS.DB", {{"EMP_NOME", "A"}, {"EMP_NR_REM_PREVI", 7.0}});
        TDMParametros dm;
        dm.TParametros->open();
        Form f;
        DBEdit* nr = f.add(dm.DsTParametros, "EMP_NR_REM_PREVI");
        QVERIFY(f.show());
        nr->setFocus();
        nr->selectAll();
        QTest::keyClicks(nr, "4a1x");
        QCOMPARE(nr->text(), QString("4a1x"));
        try {
            dm.TParametros->post();
            QFAIL("posted a number that is none");
        } catch (const db::EngineError& e) {
            QVERIFY2(e.message().contains("'4a1x' não é um número válido"),
                     qPrintable(e.message()));
        }
        QCOMPARE(dm.TParametros->state(), db::DatasetState::Edit);
        QApplication::clipboard()->setText("doze");
        nr->selectAll();
        QTest::keySequence(nr, QKeySequence::Paste);
        QCOMPARE(nr->text(), QString("doze"));
        QVERIFY_THROWS_EXCEPTION(db::EngineError, dm.TParametros->post());
        nr->selectAll();
        QTest::keyClicks(nr, "1.234.567");
        dm.TParametros->post();
        QCOMPARE(dm.TParametros->fieldByName("EMP_NR_REM_PREVI").asFloat(), 1234567.0);
    }

    // Pasted text that does not fit is refused whole with a message; nothing is written.
    void pasteRefused_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("clip");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("name too long") << "EMP_NOME" << QString(61, 'N') << "60";
        QTest::newRow("cep with letters") << "EMP_CEP" << "2O040-OO2" << "\"O\"";
    }
    void pasteRefused()
    {
        QFETCH(QString, field);
        QFETCH(QString, clip);
        QFETCH(QString, mentions);
        testdata::ScriptedDialogs dialogs;
        testdata::addRow("PARAMETROS.DB", {{"EMP_NOME", "A"}});
        TDMParametros dm;
        dm.TParametros->open();
        Form f;
        DBEdit* e = f.add(dm.DsTParametros, field);
        QVERIFY(f.show());
        e->setFocus();
        QApplication::clipboard()->setText(clip);
        const QString before = e->text();
        QTest::keySequence(e, QKeySequence::Paste);
        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY2(dialogs.shown[0].contains(mentions), qPrintable(dialogs.shown[0]));
        QCOMPARE(e->text(), before);
        QCOMPARE(dm.TParametros->state(), db::DatasetState::Browse);
    }

    // Fields the operator does not type into (autoincrement, closed dataset) are read-only.
    void readOnlyWhereNothingCanBeTyped()
    {
        TDMAssociados dm;
        Form f;
        DBEdit* id = f.add(dm.DsTAssociados, "ASS_ID");
        DBEdit* name = f.add(dm.DsTAssociados, "ASS_NOME");
        QVERIFY(name->isReadOnly());  // closed
        dm.TAssociados->open();
        QVERIFY(!name->isReadOnly());
        QVERIFY(id->isReadOnly());
        QCOMPARE(name->maxLength(), 50);
    }

    // The edit follows the dataset: another row, a cancel, a value set by the program.
    void followsTheDataset()
    {
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Ativos"}});
        testdata::addRow("ASSOCIADOS.DB", {{"ASS_NOME", "ANA"}, {"ASS_GRP_ID", 1}});
        testdata::addRow("ASSOCIADOS.DB", {{"ASS_NOME", "BIA"}, {"ASS_GRP_ID", 1}});
        TDMAssociados dm;
        dm.TAssociados->open();
        Form f;
        DBEdit* name = f.add(dm.DsTAssociados, "ASS_NOME");
        QCOMPARE(name->text(), QString("ANA"));
        dm.TAssociados->next();
        QCOMPARE(name->text(), QString("BIA"));
        dm.TAssociados->edit();
        dm.TAssociados->fieldByName("ASS_NOME").setAsString("BEA");
        QCOMPARE(name->text(), QString("BEA"));
        dm.TAssociados->cancel();
        QCOMPARE(name->text(), QString("BIA"));
    }

    // Rows on screen around the current row are read from its key; they must be the rows the
    // positional read gives, including the lookup, wherever the current row is.
    void gridRowsAroundCurrent_data()
    {
        QTest::addColumn<QString>("nearest");
        QTest::newRow("first") << "";
        QTest::newRow("middle") << "M 030";
        QTest::newRow("last") << "ZZ";
    }
    void gridRowsAroundCurrent()
    {
        QFETCH(QString, nearest);
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Ativos"}});
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Inativos"}});
        for (int i = 0; i < 60; ++i)
            testdata::addRow("ASSOCIADOS.DB",
                             {{"ASS_NOME", QString("M %1").arg((i * 37) % 60, 3, 10, QChar('0'))},
                              {"ASS_GRP_ID", i % 3 == 0 ? QVariant() : QVariant(1 + i % 2)}});
        TDMAssociados dm;
        dm.TGrupos->open();
        dm.TBusca_Associados->setIndexName("ID_ASSOCIADOS_NOME");
        dm.TBusca_Associados->open();
        components::DatasetGridModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setDataSource(dm.DsTBusca_Associados);
        model.setColumns({{"ASS_NOME", "Nome", 100}, {"Nome_Grupo", "Grupo", 100}});
        model.setWindowRows(8);
        dm.TBusca_Associados->findNearest({nearest.isEmpty() ? QVariant() : QVariant(nearest)});
        const int cur = model.currentRow();
        QCOMPARE(cur, dm.TBusca_Associados->recNo() - 1);
        const auto expected = dm.TBusca_Associados->rowsAt(0, 60);
        const int name = dm.TBusca_Associados->fieldIndex("ASS_NOME");
        const int group = dm.TBusca_Associados->fieldIndex("Nome_Grupo");
        for (int r = std::max(0, cur - 8); r < std::min(60, cur + 9); ++r) {
            QCOMPARE(model.data(model.index(r, 0)).toString(), expected[r][name].toString());
            QCOMPARE(model.data(model.index(r, 1)).toString(), expected[r][group].toString());
        }
        QCOMPARE(model.data(model.index(0, 0)).toString(), QString("M 000"));
    }

    // A windowed grid holds the current row and a screenful on each side, read again at every
    // move; a click on another row moves the dataset there.
    void windowedGrid()
    {
        for (int i = 0; i < 40; ++i)
            testdata::addRow("ASSOCIADOS.DB",
                             {{"ASS_NOME", QString("M %1").arg(i, 3, 10, QChar('0'))}});
        TDMAssociados dm;
        dm.TBusca_Associados->setIndexName("ID_ASSOCIADOS_NOME");
        components::DBGrid grid;
        QAbstractItemModelTester tester(grid.gridModel(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        grid.setWindowed(true);
        grid.setDataSource(dm.DsTBusca_Associados);
        grid.setColumns({{"ASS_NOME", "Nome", 100}});
        grid.gridModel()->setWindowRows(5);
        dm.TBusca_Associados->open();
        auto* model = grid.gridModel();
        auto shown = [&](int row) { return model->data(model->index(row, 0)).toString(); };
        QCOMPARE(model->rowCount(), 6);  // the first row and five after it
        QCOMPARE(model->currentRow(), 0);
        dm.TBusca_Associados->findNearest({"M 020"});
        QCOMPARE(model->rowCount(), 11);
        QCOMPARE(model->currentRow(), 5);
        QCOMPARE(shown(0), QString("M 015"));
        QCOMPARE(shown(10), QString("M 025"));
        QCOMPARE(grid.selectionModel()->selectedRows().value(0).row(), 5);
        grid.show();  // the window now follows the grid's height
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QCOMPARE(shown(model->currentRow()), QString("M 020"));
        const QModelIndex two = model->index(model->currentRow() + 2, 0);
        QCOMPARE(two.data().toString(), QString("M 022"));
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.visualRect(two).center());
        QCOMPARE(dm.TBusca_Associados->fieldByName("ASS_NOME").asString(), QString("M 022"));
        QCOMPARE(shown(model->currentRow()), QString("M 022"));
        QCOMPARE(grid.selectionModel()->selectedRows().value(0).row(), model->currentRow());
        dm.TBusca_Associados->last();
        QCOMPARE(model->currentRow(), model->rowCount() - 1);
        QCOMPARE(shown(model->currentRow()), QString("M 039"));
    }

    // The grid keeps its columns' widths when the dataset changes under it.
    void gridKeepsColumnWidths()
    {
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Ativos"}});
        TDmGrupo dm;
        components::DBGrid grid;
        grid.setDataSource(dm.DsTGrupo);
        grid.setColumns({{"GRP_DESCRICAO", "Descrição", 210}});
        dm.TGrupo->open();
        dm.TGrupo->insert();
        dm.TGrupo->fieldByName("GRP_DESCRICAO").setAsString("Novo");
        dm.TGrupo->post();
        QCOMPARE(grid.columnWidth(0), components::designScale(grid.font()).w(210));
    }

    // The group list: GRP_DESCRICAO shown in the list's order, GRP_ID stored.
    void lookupListStoresKey()
    {
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Zeta"}});
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Alfa"}});
        testdata::addRow("ASSOCIADOS.DB", {{"ASS_NOME", "ANA"}, {"ASS_GRP_ID", 2}});
        TDMAssociados dm;
        components::DBLookupComboBox combo;
        QAbstractItemModelTester tester(combo.listModel(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        combo.setListSource(dm.DsTGrupos, "GRP_DESCRICAO", "GRP_ID");
        combo.setDataSource(dm.DsTAssociados, "ASS_GRP_ID");
        QVERIFY(!combo.isEnabled());
        dm.TAssociados->open();
        dm.TGrupos->open();
        QCOMPARE(combo.count(), 2);
        QCOMPARE(combo.itemText(0), QString("Zeta"));  // primary key order
        QCOMPARE(combo.currentText(), QString("Alfa"));
        combo.choose(0);
        QCOMPARE(dm.TAssociados->state(), db::DatasetState::Edit);
        QCOMPARE(dm.TAssociados->fieldByName("ASS_GRP_ID").asInteger(), 1);
        dm.TAssociados->cancel();
        QCOMPARE(combo.currentText(), QString("Alfa"));
        // A member pointing at a deleted group shows no group.
        dm.TGrupos->last();
        dm.TGrupos->deleteRecord();
        QCOMPARE(combo.count(), 1);
        QCOMPARE(combo.currentIndex(), -1);
    }
};

QTEST_MAIN(TestComponents)
#include "tst_components.moc"

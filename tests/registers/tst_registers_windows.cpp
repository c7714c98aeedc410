// The parameters, groups and members windows and the member search dialogs, offscreen, driven
// by objectName over the real tables of a fresh data folder.
#include "components/DBEdit.h"
#include "components/DBGrid.h"
#include "components/DesignScale.h"
#include "components/DBLookupComboBox.h"
#include "components/DBNavigator.h"
#include "core/UVariaveis.h"
#include "core/dm/UDMAssociados.h"
#include "core/dm/UDMDebito.h"
#include "core/dm/UDMParametros.h"
#include "core/dm/UDmGrupo.h"
#include "core/ui/UTolmare.h"
#include "registers/ui/UAssociados.h"
#include "registers/ui/UGrupo.h"
#include "registers/ui/UParametros.h"
#include "registers/ui/UPesquizar_Cliente_Deb.h"
#include "registers/ui/UPesquizar_Cliente_Debitado.h"
#include "tests/common/ScriptedDialogs.h"
#include "tests/common/TestData.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using B = components::DBNavigator::Button;
using components::DBEdit;

namespace {

template <class T = QWidget>
T* child(QWidget* w, const char* name)
{
    T* c = w->findChild<T*>(name);
    if (!c) qFatal("no control %s", name);
    return c;
}

bool showActive(QWidget* w)
{
    w->show();
    w->activateWindow();
    return QTest::qWaitForWindowActive(w);
}

// The objectNames of `names`' controls in the order Tab visits them, from the first.
QStringList tabOrder(QWidget* window, const QStringList& names)
{
    QStringList seen;
    QWidget* w = window->findChild<QWidget*>(names.first());
    for (int i = 0; w && i < 200 && seen.size() < names.size(); ++i) {
        if (names.contains(w->objectName()) && !seen.contains(w->objectName()))
            seen << w->objectName();
        w = w->nextInFocusChain();
    }
    return seen;
}

void addMember(const QString& name, int group = 1, const QVariant& account = {})
{
    testdata::addRow("ASSOCIADOS.DB",
                     {{"ASS_NOME", name}, {"ASS_GRP_ID", group}, {"ASS_CONTA_CORRENTE", account}});
}

QVariant stored(db::Table* t, const QString& keyField, const QVariant& key, const QString& field)
{
    return t->lookup(keyField, {key}, field);
}

}  // namespace

class TestRegistersWindows : public testdata::DataFolderTest {
    Q_OBJECT
    testdata::ScriptedDialogs* dialogs_ = nullptr;

private slots:
    void init()
    {
        freshFolder();
        UsuarioAtual = 1;
        dialogs_ = new testdata::ScriptedDialogs;
    }
    void cleanup()
    {
        delete dialogs_;
        dialogs_ = nullptr;
    }

    void parametrosLayout()
    {
        TDMParametros dm;
        TFParametros w;
        QCOMPARE(w.windowTitle(), QString("Cadastro de Parametros"));
        QCOMPARE(w.size(), QSize(369, 327));
        QStringList captions;
        for (QLabel* l : w.findChildren<QLabel*>()) captions << l->text();
        for (const char* c : {"Nome Empresa", "CGC", "Endereço", "Setor", "Cidade", "Cep",
                              "Fone 1", "Fone 2", "Cod. Verba", "Cod. Interface", "Nr. Remessa",
                              "Dt. Cad."})
            QVERIFY2(captions.contains(QString::fromUtf8(c)), c);
        QCOMPARE(tabOrder(&w, {"DBEdit1", "DBEdit2", "DBEdit3", "DBEdit4", "DBEdit5", "DBEdit6",
                               "DBEdit7", "DBEdit8", "DBEdit9", "DBEdit10", "DBEdit11"}),
                 QStringList({"DBEdit1", "DBEdit2", "DBEdit3", "DBEdit4", "DBEdit5", "DBEdit6",
                              "DBEdit7", "DBEdit8", "DBEdit9", "DBEdit10", "DBEdit11"}));
        QVERIFY(!w.DBEdit12->isEnabled());
        QCOMPARE(w.DBEdit7->dataField(), QString("EMP_FONE_1"));
        QCOMPARE(w.DBEdit8->dataField(), QString("EMP_FONE_2"));
        auto* nav = child<components::DBNavigator>(&w, "DBNavigator1");
        QVERIFY(showActive(&w));
        for (B b : {B::First, B::Prior, B::Next, B::Last, B::Insert, B::Delete, B::Edit})
            QVERIFY(!nav->button(b)->isVisible());
        QCOMPARE(nav->button(B::Post)->toolTip(), QString("Grava o registro atual (Ctrl + S)"));
        QCOMPARE(nav->button(B::Cancel)->toolTip(), QString("Cancela alterações (Shift + Esc)"));
        QCOMPARE(child<QPushButton>(&w, "SpeedButton1")->text(), QString("&Fechar"));
    }

    // The window shows the row whose name comes first, whatever the order they were written.
    void parametrosShowsFirstByName()
    {
        for (const char* n : {"Zeta", "beta", "Alfa"})
            testdata::addRow("PARAMETROS.DB", {{"EMP_NOME", n}});
        TDMParametros dm;
        TFParametros w;
        QCOMPARE(w.DBEdit1->text(), QString("Alfa"));
    }

    // Empty table: typing begins the row, the navigator's post stores it with its date.
    void parametrosFirstRowTypedAndPosted()
    {
        TDMParametros dm;
        TFParametros w;
        QVERIFY(showActive(&w));
        QVERIFY(w.DBEdit1->text().isEmpty());
        w.DBEdit1->setFocus();
        QTest::keyClicks(w.DBEdit1, "Associacao");
        w.DBEdit7->setFocus();
        QTest::keyClicks(w.DBEdit7, "111");
        w.DBEdit8->setFocus();
        QTest::keyClicks(w.DBEdit8, "222");
        w.DBEdit11->setFocus();
        QTest::keyClicks(w.DBEdit11, "41");
        child<components::DBNavigator>(&w, "DBNavigator1")->button(B::Post)->click();
        QCOMPARE(testdata::countRows(folder_, "PARAMETROS.DB"), 1);
        QCOMPARE(w.DBEdit12->text(), QDate::currentDate().toString("dd/MM/yyyy"));
        db::Table* t = dm.TParametros;
        QCOMPARE(t->fieldByName("EMP_FONE_1").asString(), QString("111"));
        QCOMPARE(t->fieldByName("EMP_FONE_2").asString(), QString("222"));
        QCOMPARE(t->fieldByName("EMP_NR_REM_PREVI").asInteger(), 41);
        QCOMPARE(t->fieldByName("EMP_USR_ID").asInteger(), 1);
    }

    // No key handler: Ctrl+S and Shift+Esc leave the change pending; closing drops it.
    void parametrosKeysDoNothingAndCloseDrops()
    {
        testdata::addRow("PARAMETROS.DB", {{"EMP_NOME", "A"}, {"EMP_CIDADE", "Recife"}});
        {
            TDMParametros dm;
            TFParametros w;
            QVERIFY(showActive(&w));
            w.DBEdit5->setFocus();
            QTest::keyClicks(w.DBEdit5, "X");
            QTest::keyClick(w.DBEdit5, Qt::Key_S, Qt::ControlModifier);
            QTest::keyClick(w.DBEdit5, Qt::Key_Escape, Qt::ShiftModifier);
            QCOMPARE(dm.TParametros->state(), db::DatasetState::Edit);
            QTest::keyClick(w.DBEdit5, Qt::Key_Escape);  // not a dialog's Escape either
            QVERIFY(w.isVisible());
            w.SpeedButton1->click();
            QVERIFY(!w.isVisible());
            QVERIFY(!dm.TParametros->active());
        }
        TDMParametros dm;
        dm.TParametros->open();
        QCOMPARE(dm.TParametros->fieldByName("EMP_CIDADE").asString(), QString("Recife"));
    }

    // A second row with the same company name is refused by the key; the row stays pending
    // and nothing is written.
    void parametrosDuplicateNameRefused()
    {
        testdata::addRow("PARAMETROS.DB", {{"EMP_NOME", "A"}});
        testdata::addRow("PARAMETROS.DB", {{"EMP_NOME", "B"}});
        TDMParametros dm;
        TFParametros w;
        QVERIFY(showActive(&w));
        w.DBEdit1->setFocus();
        w.DBEdit1->selectAll();
        QTest::keyClicks(w.DBEdit1, "B");
        child<components::DBNavigator>(&w, "DBNavigator1")->button(B::Post)->click();
        QCOMPARE(dialogs_->shown.size(), 1);
        QCOMPARE(dm.TParametros->state(), db::DatasetState::Edit);
        QCOMPARE(w.DBEdit1->text(), QString("B"));
        QCOMPARE(testdata::countRows(folder_, "PARAMETROS.DB"), 2);
    }

    void grupoLayoutAndOrder()
    {
        for (const char* n : {"Zeta", "Alfa", "Meio"})
            testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", n}});
        TDmGrupo dm;
        TFGrupo w;
        QCOMPARE(w.windowTitle(), QString("Cadastro de Grupos"));
        QCOMPARE(w.size(), QSize(418, 172));
        QCOMPARE(w.SpeedButton1->toolTip(), QString("Fechar o Cadastro de Grupos"));
        QVERIFY(!w.DBEdit2->isEnabled());
        QVERIFY(!w.DBEdit1->hasFrame());
        QVERIFY(showActive(&w));
        QVERIFY(!w.DBNavigator1->button(B::Edit)->isVisible());
        QVERIFY(w.DBNavigator1->button(B::Insert)->isVisible());
        QStringList seen{w.DBEdit1->text()};
        QTest::keyClick(w.DBEdit1, Qt::Key_PageDown);
        seen << w.DBEdit1->text();
        QTest::keyClick(w.DBEdit1, Qt::Key_End, Qt::ControlModifier);
        seen << w.DBEdit1->text();
        QTest::keyClick(w.DBEdit1, Qt::Key_PageUp, Qt::ShiftModifier);
        seen << w.DBEdit1->text();
        QTest::keyClick(w.DBEdit1, Qt::Key_Home, Qt::ControlModifier);
        seen << w.DBEdit1->text();
        QCOMPARE(seen, QStringList({"Alfa", "Meio", "Zeta", "Meio", "Alfa"}));
    }

    // Insert, typing, Ctrl+S: posted and in the table file; the navigator's post posts too.
    void grupoInsertAndPost()
    {
        TDmGrupo dm;
        TFGrupo w;
        QVERIFY(showActive(&w));
        w.DBEdit1->setFocus();
        QTest::keyClick(w.DBEdit1, Qt::Key_Insert);
        QCOMPARE(dm.TGrupo->state(), db::DatasetState::Insert);
        QCOMPARE(w.DBEdit2->text(), QDate::currentDate().toString("dd/MM/yyyy"));
        QTest::keyClicks(w.DBEdit1, "Aposentados");
        QTest::keyClick(w.DBEdit1, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(dm.TGrupo->state(), db::DatasetState::Browse);
        QCOMPARE(testdata::countRows(folder_, "GRUPO.DB"), 1);
        w.DBNavigator1->button(B::Insert)->click();
        QTest::keyClicks(w.DBEdit1, "Ativos");
        w.DBNavigator1->button(B::Post)->click();
        QCOMPARE(testdata::countRows(folder_, "GRUPO.DB"), 2);
        QCOMPARE(w.DBEdit1->text(), QString("Ativos"));
    }

    // Delete asks "Delete record?"; Cancel keeps the row, OK deletes it.
    void grupoDeleteAsks_data()
    {
        QTest::addColumn<bool>("byKey");
        QTest::addColumn<bool>("answer");
        QTest::newRow("Ctrl+Delete, Cancel") << true << false;
        QTest::newRow("Ctrl+Delete, OK") << true << true;
        QTest::newRow("button, Cancel") << false << false;
        QTest::newRow("button, OK") << false << true;
    }
    void grupoDeleteAsks()
    {
        QFETCH(bool, byKey);
        QFETCH(bool, answer);
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Sem associados"}});
        TDmGrupo dm;
        TFGrupo w;
        QVERIFY(showActive(&w));
        dialogs_->answer = answer;
        if (byKey) QTest::keyClick(w.DBEdit1, Qt::Key_Delete, Qt::ControlModifier);
        else w.DBNavigator1->button(B::Delete)->click();
        QCOMPARE(dialogs_->shown, QStringList{"Delete record?"});
        QCOMPARE(testdata::countRows(folder_, "GRUPO.DB"), answer ? 0 : 1);
    }

    // A group that members still point at is not deleted: the message says what to do.
    void grupoWithMembersKept()
    {
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Ativos"}});
        addMember("ANA");
        TDmGrupo dm;
        TFGrupo w;
        QVERIFY(showActive(&w));
        QTest::keyClick(w.DBEdit1, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(dialogs_->shown.size(), 1);
        QVERIFY2(dialogs_->shown[0].contains("não pode ser apagado"),
                 qPrintable(dialogs_->shown[0]));
        QCOMPARE(testdata::countRows(folder_, "GRUPO.DB"), 1);
    }

    // Closing either window while inserting leaves no new row.
    void closingWhileInsertingLeavesNoRow_data()
    {
        QTest::addColumn<bool>("members");
        QTest::newRow("groups") << false;
        QTest::newRow("members") << true;
    }
    void closingWhileInsertingLeavesNoRow()
    {
        QFETCH(bool, members);
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Ativos"}});
        if (members) {
            TDMAssociados dm;
            TFAssociados w;
            QVERIFY(showActive(&w));
            QTest::keyClick(w.DBEdit2, Qt::Key_Insert);
            w.DBLookupComboBox1->choose(0);
            w.DBEdit2->setFocus();
            QTest::keyClicks(w.DBEdit2, "NOVO");
            w.close();
        } else {
            TDmGrupo dm;
            TFGrupo w;
            QVERIFY(showActive(&w));
            QTest::keyClick(w.DBEdit1, Qt::Key_Insert);
            QTest::keyClicks(w.DBEdit1, "Novo");
            w.close();
        }
        QCOMPARE(testdata::countRows(folder_, "GRUPO.DB"), 1);
        QCOMPARE(testdata::countRows(folder_, "ASSOCIADOS.DB"), 0);
    }

    void associadosLayout()
    {
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Zeta"}});
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Alfa"}});
        TDMAssociados dm;
        TFAssociados w;
        QCOMPARE(w.windowTitle(), QString("Cadastro de Cliente / Debitado"));
        QCOMPARE(w.size(), QSize(354, 271));
        QCOMPARE(w.SpeedButton2->toolTip(), QString("Pesquizar Cliente / Debitado"));
        QVERIFY(w.SpeedButton2->text().isEmpty());
        QCOMPARE(w.SpeedButton1->toolTip(), QString("Fechar o Cadastro de Cliente / Debitado"));
        QCOMPARE(tabOrder(&w, {"DBLookupComboBox1", "DBEdit1", "DBEdit2", "DBEdit3", "DBEdit5"}),
                 QStringList({"DBLookupComboBox1", "DBEdit1", "DBEdit2", "DBEdit3", "DBEdit5"}));
        QCOMPARE(w.DBEdit5->dataField(), QString("ASS_MATRICULA"));
        QCOMPARE(w.DBEdit3->dataField(), QString("ASS_IDENTIFICADOR"));
        QVERIFY(!w.DBEdit4->isEnabled());
        // The group list in GRP_ID order.
        QCOMPARE(w.DBLookupComboBox1->itemText(0), QString("Zeta"));
        QCOMPARE(w.DBLookupComboBox1->itemText(1), QString("Alfa"));
    }

    // Insert: "Dt. Cad." filled and the focus in "Grupo"; the branch typed 12345 is stored as
    // 1234-5; Ctrl+S writes the member.
    void associadosInsert()
    {
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Ativos"}});
        TDMAssociados dm;
        TFAssociados w;
        QVERIFY(showActive(&w));
        w.DBEdit2->setFocus();
        QTest::keyClick(w.DBEdit2, Qt::Key_Insert);
        QCOMPARE(w.DBEdit4->text(), QDate::currentDate().toString("dd/MM/yyyy"));
        QTRY_VERIFY(w.DBLookupComboBox1->hasFocus());
        w.DBLookupComboBox1->choose(0);
        w.DBEdit1->setFocus();
        QTest::keyClicks(w.DBEdit1, "12345");
        w.DBEdit2->setFocus();
        QTest::keyClicks(w.DBEdit2, "MARIA");
        w.DBEdit3->setFocus();
        // A letter in the number stays typed and keeps the member from being written; once
        // taken out, Ctrl+S writes it.
        QTest::keyClicks(w.DBEdit3, "12x3");
        QCOMPARE(w.DBEdit3->text(), QString("12x3"));
        QTest::keyClick(w.DBEdit3, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(dialogs_->shown.size(), 1);
        QVERIFY(dialogs_->shown[0].startsWith("'12x3' não é um número válido"));
        QCOMPARE(testdata::countRows(folder_, "ASSOCIADOS.DB"), 0);
        dialogs_->shown.clear();
        w.DBEdit3->setFocus();
        w.DBEdit3->selectAll();
        QTest::keyClicks(w.DBEdit3, "123");
        QTest::keyClick(w.DBEdit3, Qt::Key_S, Qt::ControlModifier);
        QVERIFY2(dialogs_->shown.isEmpty(), qPrintable(dialogs_->shown.join('|')));
        QCOMPARE(testdata::countRows(folder_, "ASSOCIADOS.DB"), 1);
        db::Table* t = dm.TAssociados;
        QCOMPARE(stored(t, "ASS_NOME", "MARIA", "ASS_AGENCIA").toString(), QString("1234-5"));
        QCOMPARE(stored(t, "ASS_NOME", "MARIA", "ASS_IDENTIFICADOR").toInt(), 123);
        QCOMPARE(stored(t, "ASS_NOME", "MARIA", "ASS_GRP_ID").toInt(), 1);
    }

    // A member without a name or without a group is refused with the field's message; the row
    // stays pending and nothing is written.
    void associadosRequired_data()
    {
        QTest::addColumn<bool>("withName");
        QTest::addColumn<QString>("field");
        QTest::newRow("no group") << true << "ASS_GRP_ID";
        QTest::newRow("no name") << false << "ASS_NOME";
    }
    void associadosRequired()
    {
        QFETCH(bool, withName);
        QFETCH(QString, field);
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Ativos"}});
        TDMAssociados dm;
        TFAssociados w;
        QVERIFY(showActive(&w));
        QTest::keyClick(w.DBEdit2, Qt::Key_Insert);
        if (withName) {
            w.DBEdit2->setFocus();
            QTest::keyClicks(w.DBEdit2, "SEM GRUPO");
        } else {
            w.DBLookupComboBox1->choose(0);
        }
        QTest::keyClick(w.DBEdit2, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(dialogs_->shown.size(), 1);
        QVERIFY2(dialogs_->shown[0].contains(field), qPrintable(dialogs_->shown[0]));
        QCOMPARE(dm.TAssociados->state(), db::DatasetState::Insert);
        QCOMPARE(testdata::countRows(folder_, "ASSOCIADOS.DB"), 0);
    }

    // The search dialog: title, tabs, columns; typing SIL keystroke by keystroke lands on the
    // first name at or after it whatever its case and accents, and the grid follows.
    void searchTypingMovesGrid()
    {
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Ativos"}});
        for (const char* n : {"SANDRA", "ZÉLIA", "sílvio", "ABEL", "Sim"})
            addMember(QString::fromUtf8(n));
        TDMAssociados dm;
        dm.TGrupos->open();
        TFPesquizar_Cliente_Debitado d;
        QCOMPARE(d.windowTitle(), QString("Pesquizar Cliente / Debitado"));
        QCOMPARE(d.size(), QSize(661, 316));
        QCOMPARE(d.PageControl1->count(), 3);
        QCOMPARE(d.PageControl1->tabText(1), QString("&Conta Corrente"));
        auto* model = d.DBGrid1->gridModel();
        QStringList titles;
        for (int c = 0; c < model->columnCount(); ++c)
            titles << model->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(titles, QStringList({"Cliente / Debitado", "Grupo", "Conta Corrente", "Agência",
                                      "Identificador"}));
        QCOMPARE(d.DBGrid1->columnWidth(0), components::designScale(d.DBGrid1->font()).w(200));
        d.PageControl1->setCurrentIndex(2);
        QVERIFY(showActive(&d));
        QCOMPARE(d.PageControl1->currentIndex(), 0);  // every search starts by name
        QTRY_VERIFY(d.Edt_Nome->hasFocus());
        auto name = [&] { return dm.TBusca_Associados->fieldByName("ASS_NOME").asString(); };
        QStringList seen;
        for (const char* k : {"S", "I", "L"}) {
            QTest::keyClicks(d.Edt_Nome, k);
            seen << name();
        }
        QCOMPARE(seen, QStringList({"SANDRA", "sílvio", "sílvio"}));
        QCOMPARE(d.DBGrid1->selectionModel()->selectedRows().value(0).row(),
                 d.DBGrid1->gridModel()->currentRow());
        QCOMPARE(model->data(model->index(model->currentRow(), 1)).toString(), QString("Ativos"));
        QTest::keyClick(d.Edt_Nome, Qt::Key_Backspace);
        QTest::keyClick(d.Edt_Nome, Qt::Key_Backspace);
        QTest::keyClick(d.Edt_Nome, Qt::Key_Backspace);
        QCOMPARE(name(), QString("ABEL"));
        QTest::keyClicks(d.Edt_Nome, "ZZZ");
        QCOMPARE(name(), QString::fromUtf8("ZÉLIA"));
        QTest::keyClick(d.Edt_Nome, Qt::Key_Escape);  // Escape and Enter press nothing
        QTest::keyClick(d.Edt_Nome, Qt::Key_Return);
        QVERIFY(d.isVisible());
    }

    // An identifier that is not a number: the conversion error shown, the position kept.
    void searchIdentifierNotANumber()
    {
        testdata::addRow("ASSOCIADOS.DB", {{"ASS_NOME", "NOVE"}, {"ASS_IDENTIFICADOR", 9}});
        testdata::addRow("ASSOCIADOS.DB", {{"ASS_NOME", "DOZE"}, {"ASS_IDENTIFICADOR", 12}});
        TDMAssociados dm;
        TFPesquizar_Cliente_Debitado d;
        QVERIFY(showActive(&d));
        d.PageControl1->setCurrentIndex(2);
        QTRY_VERIFY(d.Edt_Identificador->hasFocus());
        QTest::keyClicks(d.Edt_Identificador, "10");
        QCOMPARE(dm.TBusca_Associados->fieldByName("ASS_NOME").asString(), QString("DOZE"));
        QVERIFY(dialogs_->shown.isEmpty());
        QTest::keyClicks(d.Edt_Identificador, "a");
        QCOMPARE(dialogs_->shown.size(), 1);
        QCOMPARE(dm.TBusca_Associados->fieldByName("ASS_NOME").asString(), QString("DOZE"));
    }

    // OK in the members register posts the pending change first, then shows the chosen member;
    // a change that cannot be posted keeps the dialog open.
    void searchOkInRegister()
    {
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Ativos"}});
        for (const char* n : {"ANA", "BRUNO", "CARLA"}) addMember(n);
        TDMAssociados dm;
        TFAssociados w;
        QVERIFY(showActive(&w));
        w.DBEdit5->setFocus();
        QTest::keyClicks(w.DBEdit5, "555");
        QCOMPARE(dm.TAssociados->state(), db::DatasetState::Edit);
        {
            TFPesquizar_Cliente_Debitado d(&w);
            QVERIFY(showActive(&d));
            QTest::keyClicks(d.Edt_Nome, "car");
            d.Btn_OK->click();
            QVERIFY(!d.isVisible());
        }
        QCOMPARE(w.DBEdit2->text(), QString("CARLA"));
        QCOMPARE(stored(dm.TAssociados, "ASS_NOME", "ANA", "ASS_MATRICULA").toString(),
                 QString("555"));
        // Now a pending row without a name: OK fails with the message, the dialog stays.
        QTest::keyClick(w.DBEdit2, Qt::Key_Insert);
        w.DBLookupComboBox1->choose(0);
        TFPesquizar_Cliente_Debitado d(&w);
        QVERIFY(showActive(&d));
        d.Btn_OK->click();
        QCOMPARE(dialogs_->shown.size(), 1);
        QVERIFY(dialogs_->shown[0].contains("ASS_NOME"));
        QVERIFY(d.isVisible());
        d.SpeedButton2->click();  // Cancel: nothing else changes
        QVERIFY(!d.isVisible());
        QCOMPARE(dm.TAssociados->state(), db::DatasetState::Insert);
    }

    // The debit entry's search: Cancel drops a new debit; OK gives it its member, pending.
    void searchInDebitEntry()
    {
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Ativos"}});
        addMember("ANA");
        addMember("BRUNO");
        TDMDebito dm;
        dm.TDebito->open();
        dm.TDebito->insert();
        {
            TFPesquizar_Cliente_Deb d;
            QVERIFY(showActive(&d));
            d.SpeedButton2->click();
        }
        QCOMPARE(dm.TDebito->state(), db::DatasetState::Browse);
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), 0);
        dm.TDebito->insert();
        TFPesquizar_Cliente_Deb d;
        QVERIFY(showActive(&d));
        QTest::keyClicks(d.Edt_Nome, "BR");
        d.Btn_OK->click();
        QVERIFY(!d.isVisible());
        QCOMPARE(dm.TDebito->state(), db::DatasetState::Insert);
        QCOMPARE(dm.TDebito->fieldByName("DEB_ASS_ID").asInteger(), 2);
        QVERIFY(dm.TDebito->fieldByName("DEB_VALOR").isNull());
    }

    // Each press of a register button opens a fresh window and data module over the tables;
    // nothing of the earlier opening survives but what was written.
    void mainWindowOpensFreshModules()
    {
        TFTolmare::setOpener("Btn_Parametros", abrirParametros);
        TFTolmare::setOpener("SpeedButton4", abrirGrupo);
        TFTolmare::setOpener("SpeedButton2", abrirAssociados);
        testdata::addRow("PARAMETROS.DB", {{"EMP_NOME", "A"}, {"EMP_SETOR", "Tesouraria"}});
        TFTolmare main;
        QVERIFY(main.Btn_Parametros->isEnabled());
        QVERIFY(main.SpeedButton4->isEnabled());
        QVERIFY(main.SpeedButton2->isEnabled());
        QStringList seen;
        auto openAndClose = [&](QPushButton* button, bool type) {
            QTimer::singleShot(0, [&, type] {
                auto* w = qobject_cast<TFParametros*>(QApplication::activeModalWidget());
                if (!w) return;
                seen << w->DBEdit4->text();
                if (type) {
                    w->DBEdit4->setFocus();
                    QTest::keyClicks(w->DBEdit4, " X");
                }
                w->close();
            });
            button->click();
        };
        openAndClose(main.Btn_Parametros, true);
        QVERIFY(!DMParametros);
        QVERIFY(!FParametros);
        openAndClose(main.Btn_Parametros, false);
        QCOMPARE(seen, QStringList({"Tesouraria", "Tesouraria"}));
        for (QPushButton* b : {main.SpeedButton4, main.SpeedButton2}) {
            bool opened = false;
            QTimer::singleShot(0, [&] {
                if (QWidget* w = QApplication::activeModalWidget()) {
                    opened = DmGrupo || DMAssociados;
                    w->close();
                }
            });
            b->click();
            QVERIFY(opened);
            QVERIFY(!DmGrupo && !DMAssociados && !FGrupo && !FAssociados);
        }
    }
};

QTEST_MAIN(TestRegistersWindows)
#include "tst_registers_windows.moc"

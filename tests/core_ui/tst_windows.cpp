// The main window, the base window's navigator keys, the record navigator and the status
// window, offscreen, over real tables.
#include "components/DBNavigator.h"
#include "components/DesignScale.h"
#include "core/UVariaveis.h"
#include "core/dm/UDMTolmare.h"
#include "core/engine/Table.h"
#include "core/ui/Status.h"
#include "core/ui/TraducaoQt.h"
#include "core/ui/UTolmare.h"
#include "tests/common/ScriptedDialogs.h"
#include "tests/common/TestData.h"
#include "tblscn/tblscn_api.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using B = components::DBNavigator::Button;

namespace {

QByteArray progress(int state, int total, int current, const QByteArray& table = "GRUPO.DB")
{
    QByteArray r(521, '\0');
    r[0] = char(state);
    for (int i = 0; i < 4; ++i) {
        r[1 + i] = char((total >> (8 * i)) & 0xFF);
        r[5 + i] = char((current >> (8 * i)) & 0xFF);
    }
    r[9] = char(table.size());
    r.replace(10, table.size(), table);
    return r;
}

int status(const QByteArray& rec)
{
    return StatusCallback(reinterpret_cast<const unsigned char*>(rec.constData()));
}

}  // namespace

class TestWindows : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void init()
    {
        testdata::nextDataFolder(dir_);
    }

    void mainWindowLayout()
    {
        UsuarioAtual = 0;
        TFTolmare::setOpener("SpeedButton5", [](QWidget*) {});
        TFTolmare w;
        QCOMPARE(UsuarioAtual, 1);
        QCOMPARE(FTolmare, &w);
        QCOMPARE(w.windowTitle(), QString("Tolmare"));
        QCOMPARE(w.PageControl1->tabText(0), QString("Adm. Sistema"));
        const QStringList captions{"&Importar Dados", "Backup", "Cad. &Parâmetros", "Cad. &Grupo",
                                   "Cad. &Associados", "Cad. &Débito", "Gerar &Remessa Previ",
                                   "&Consultar Retorno Previ", "&Sair"};
        QStringList seen;
        int lastY = -1;
        for (QPushButton* b : {w.SpeedButton7, w.SpeedButton8, w.Btn_Parametros, w.SpeedButton4,
                               w.SpeedButton2, w.SpeedButton3, w.SpeedButton5, w.SpeedButton6,
                               w.SpeedButton1}) {
            seen << b->text();
            QCOMPARE(b->width(), 218);
            QVERIFY(b->y() > lastY);
            lastY = b->y();
        }
        QCOMPARE(seen, captions);
        QVERIFY(w.SpeedButton5->isEnabled());
        QVERIFY(!w.SpeedButton8->isEnabled());  // no module registered
        QVERIFY(w.SpeedButton1->isEnabled());
    }

    void moduleOpensAndClosingClosesParameters()
    {
        int opened = 0;
        TFTolmare::setOpener("SpeedButton6", [&](QWidget* parent) {
            ++opened;
            QVERIFY(parent);
        });
        TDMTolmare dm;
        dm.TParametros->open();
        {
            TFTolmare w;
            w.show();
            QTest::mouseClick(w.SpeedButton6, Qt::LeftButton);
            QTest::mouseClick(w.SpeedButton6, Qt::LeftButton);
            QCOMPARE(opened, 2);
            QTest::mouseClick(w.SpeedButton1, Qt::LeftButton);
            QVERIFY(!w.isVisible());
        }
        QVERIFY(!dm.TParametros->active());
    }

    // Escape, wherever the focus is, leaves the main window open and the parameters table
    // with it; "&Sair" ends it through its close handler.
    void escapeDoesNotEndTheProgram()
    {
        TDMTolmare dm;
        dm.TParametros->open();
        TFTolmare w;
        w.show();
        QTest::keyClick(&w, Qt::Key_Escape);
        w.SpeedButton1->setFocus();
        QTest::keyClick(w.SpeedButton1, Qt::Key_Escape);
        QVERIFY(w.isVisible());
        QVERIFY(dm.TParametros->active());
        QTest::mouseClick(w.SpeedButton1, Qt::LeftButton);
        QVERIFY(!w.isVisible());
        QVERIFY(!dm.TParametros->active());
    }

    // Window titles stand as they are given: no application name is added after them.
    void titlesWithoutApplicationName()
    {
        const QString before = QCoreApplication::applicationName();
        nameApplication();
        QCOMPARE(QGuiApplication::applicationDisplayName(), QString("Tolmare"));
        // The display name follows the name only while none is set of its own.
        QCoreApplication::setApplicationName("Outro");
        QCOMPARE(QGuiApplication::applicationDisplayName(), QString("Outro"));
        QCoreApplication::setApplicationName(before);
    }

    void navigatorKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("mods");
        QTest::addColumn<QString>("after");  // current description, or its state
        QTest::addColumn<bool>("handled");
        QTest::newRow("ctrl+home") << int(Qt::Key_Home) << int(Qt::ControlModifier) << "a" << true;
        QTest::newRow("ctrl+end") << int(Qt::Key_End) << int(Qt::ControlModifier) << "c" << true;
        QTest::newRow("page down") << int(Qt::Key_PageDown) << 0 << "c" << true;
        QTest::newRow("shift+page down") << int(Qt::Key_PageDown) << int(Qt::ShiftModifier) << "c"
                                         << true;
        QTest::newRow("page up") << int(Qt::Key_PageUp) << 0 << "a" << true;
        QTest::newRow("alt+home") << int(Qt::Key_Home) << int(Qt::AltModifier) << "b" << false;
        QTest::newRow("plain escape") << int(Qt::Key_Escape) << 0 << "b" << false;
        QTest::newRow("insert") << int(Qt::Key_Insert) << int(Qt::ControlModifier) << "insert"
                                << true;
        QTest::newRow("ctrl+delete") << int(Qt::Key_Delete) << int(Qt::ControlModifier) << "c"
                                     << true;
        QTest::newRow("ctrl+shift+delete") << int(Qt::Key_Delete)
                                           << int(Qt::ControlModifier | Qt::ShiftModifier) << "b"
                                           << false;
    }
    void navigatorKeys()
    {
        QFETCH(int, key);
        QFETCH(int, mods);
        QFETCH(QString, after);
        QFETCH(bool, handled);
        for (const char* s : {"a", "b", "c"}) testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", s}});
        testdata::ScriptedDialogs dialogs;
        db::Table t;
        t.setTableName("GRUPO.DB");
        t.setIndexName("GRP_DESCRICAO_ID");
        t.open();
        t.setRecNo(2);
        db::DataSource source(&t);
        components::DBNavigator nav;
        nav.setDataSource(&source);
        TFBasico w;
        int k = key;
        w.Controla_Davegador(&t, &nav, Qt::KeyboardModifiers(mods), k);
        QCOMPARE(k == 0, handled);
        if (after == "insert") QCOMPARE(t.state(), db::DatasetState::Insert);
        else QCOMPARE(t.fieldByName("GRP_DESCRICAO").asString(), after);
        if (key == Qt::Key_Delete && handled) {
            QCOMPARE(dialogs.shown, QStringList({"Delete record?"}));
            QCOMPARE(t.recordCount(), 2);
        }
    }

    void postAndCancelKeys()
    {
        testdata::ScriptedDialogs dialogs;
        dialogs.answer = false;
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "a"}});
        db::Table t;
        t.setTableName("GRUPO.DB");
        t.open();
        db::DataSource source(&t);
        components::DBNavigator nav;
        nav.setDataSource(&source);
        TFBasico w;
        int k = Qt::Key_Delete;
        w.Controla_Davegador(&t, &nav, Qt::ControlModifier, k);
        QCOMPARE(t.recordCount(), 1);  // declined
        t.edit();
        t.fieldByName("GRP_DESCRICAO").setAsString("z");
        k = Qt::Key_Escape;
        w.Controla_Davegador(&t, &nav, Qt::ShiftModifier, k);
        QCOMPARE(t.fieldByName("GRP_DESCRICAO").asString(), QString("a"));
        t.edit();
        t.fieldByName("GRP_DESCRICAO").setAsString("y");
        k = Qt::Key_S;
        w.Controla_Davegador(&t, &nav, Qt::ControlModifier, k);
        QCOMPARE(t.state(), db::DatasetState::Browse);
        QCOMPARE(t.fieldByName("GRP_DESCRICAO").asString(), QString("y"));
    }

    void navigatorOnClosedDatasetAndHints()
    {
        db::Table t;
        t.setTableName("GRUPO.DB");
        db::DataSource source(&t);
        components::DBNavigator nav;
        nav.setDataSource(&source);
        int clicks = 0;
        connect(&nav, &components::DBNavigator::clicked, this, [&] { ++clicks; });
        nav.btnClick(B::Insert);
        QCOMPARE(clicks, 0);
        QCOMPARE(nav.button(B::Post)->toolTip(), QString("Grava o registro atual (Ctrl + S)"));
        QCOMPARE(nav.button(B::Next)->toolTip(), QString("Avança para o proximo registro (Page Down)"));
        nav.setVisibleButtons({B::Post, B::Cancel});
        nav.show();
        QVERIFY(!nav.button(B::First)->isVisible());
        QVERIFY(nav.button(B::Post)->isVisible());
    }

    // Qt's own texts in Portuguese, those Qt moved to another class included.
    void qtTextsInPortuguese()
    {
        TraducaoQt t;
        QVERIFY(t.carregar());
        QCOMPARE(t.translate("QAbstractFileIconProvider", "Folder"), QString("Pasta"));
        QCOMPARE(t.translate("QFileDialog", "File Folder"), QString("Pasta de arquivos"));
    }

    void statusWindow_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("tables");
        QTest::newRow("5/5") << 5 << 325 << "5/5";
        QTest::newRow("2/5") << 2 << 130 << "2/5";
    }
    void statusWindow()
    {
        QFETCH(int, current);
        QFETCH(int, width);
        QFETCH(QString, tables);
        testdata::ScriptedDialogs dialogs;
        QCOMPARE(status(progress(0, 5, 0)), 1);
        QVERIFY(FormStatus);
        QCOMPARE(FormStatus->LabelOperation->text(), QString("Iniciando"));
        QCOMPARE(status(progress(4, 5, current)), 1);
        // The frame less 20 pixels, scaled with the font like the frame: 325 at 5/5 at the
        // design font.
        const components::DesignScale k = components::designScale(FormStatus->font());
        QCOMPARE(FormStatus->BevelMain->width(), k.w(345));
        QCOMPARE(FormStatus->ShapeProgress->width(), (k.w(345) - 20) * width / 325);
        QCOMPARE(FormStatus->LabelTables->text(), tables);
        QCOMPARE(FormStatus->LabelOperation->text(), QString("Modificando"));
        QCOMPARE(FormStatus->LabelCurrent->text(), QString("GRUPO.DB"));
        QCOMPARE(status(progress(TBLSCN_CONVERTING, 5, current)), 1);
        QCOMPARE(FormStatus->LabelOperation->text(), QString("Convertendo …"));
        QCOMPARE(status(progress(1, 5, current)), 1);
        QVERIFY(!FormStatus);
        QVERIFY(dialogs.shown.isEmpty());
    }

    void statusCancel()
    {
        testdata::ScriptedDialogs dialogs;
        status(progress(0, 5, 0));
        QTest::mouseClick(FormStatus->BitBtnCancel, Qt::LeftButton);
        QCOMPARE(status(progress(2, 5, 1)), 0);
        QCOMPARE(status(progress(1, 5, 1)), 0);
        QCOMPARE(dialogs.shown, QStringList({"Operação abortada pelo usuário"}));
        QVERIFY(!FormStatus);
    }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"

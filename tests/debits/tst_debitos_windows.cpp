// The debit windows driven as the operator drives them: the list with its order, group and
// buttons, the bulk entry, the entry window's pending debit and the report's preview.
#include "components/DBGrid.h"
#include "components/DBNavigator.h"
#include "components/report/ReportPreview.h"
#include "core/UVariaveis.h"
#include "core/dm/UDMDebito.h"
#include "core/engine/Query.h"
#include "debits/ui/UDebito.h"
#include "debits/ui/UDigitacao_Grupo.h"
#include "debits/ui/UDigitacao_Valor.h"
#include "registers/ui/UPesquizar_Cliente_Deb.h"
#include "tests/common/ScriptedDialogs.h"
#include "tests/common/TestData.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

namespace {

void dados()
{
    testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Ativos"}});
    testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Aposentados"}});
    const QStringList nomes{"ANA", "BRUNO", "CARLOS", "DORA"};
    for (int i = 0; i < nomes.size(); ++i) {
        testdata::addRow("ASSOCIADOS.DB",
                         {{"ASS_NOME", nomes[i]}, {"ASS_GRP_ID", i < 3 ? 1.0 : 2.0},
                          {"ASS_CONTA_CORRENTE", QString::number(900 - i)}});
        testdata::addRow("DEBITO.DB", {{"DEB_DATA", QDate(2026, 7, 1)}, {"DEB_ASS_ID", i + 1.0},
                                       {"DEB_VALOR", 10.0 * (i + 1)},
                                       {"DEB_DTA_CAD", QDate(2026, 7, 1)}, {"DEB_USR_ID", 1}});
    }
}

QString nameAt(db::Query& q)
{
    return q.fieldByName("ASS_NOME").asString();
}

// Runs `work` on the next modal window to open, once it shows.
void onNextModal(std::function<void(QWidget*)> work)
{
    QTimer::singleShot(0, [work] {
        QWidget* w = QApplication::activeModalWidget();
        QVERIFY(w);
        work(w);
    });
}

}  // namespace

class TestDebitosWindows : public testdata::DataFolderTest {
    Q_OBJECT

    std::unique_ptr<TDMDebito> dm;
    std::unique_ptr<TFDebito> window;
    std::unique_ptr<testdata::ScriptedDialogs> dlg;

    void open()
    {
        dm = std::make_unique<TDMDebito>();
        window = std::make_unique<TFDebito>();
        window->show();
    }

private Q_SLOTS:
    void initTestCase() { UsuarioAtual = 1; }
    void init()
    {
        freshFolder();
        dados();
        dlg = std::make_unique<testdata::ScriptedDialogs>();
    }
    void cleanup()
    {
        if (window) window->close();
        window.reset();
        dm.reset();
        dlg.reset();
        report::setPreviewRunner(nullptr);
        TFDigitacao_Valor::abrirBusca = nullptr;
    }

    void listShowsAllInFirstOrder()
    {
        open();
        QCOMPARE(window->windowTitle(), QString("Digitação de Valores para Débito"));
        QVERIFY(window->findChild<QRadioButton*>("Radio_Orden0")->isChecked());
        QCOMPARE(window->DB_Grupo->currentText(), QString("<< Todos >>"));
        QCOMPARE(window->DB_Grupo->count(), 3);
        auto* model = window->DBGridDebito->gridModel();
        QCOMPARE(model->columnCount(), 8);
        QStringList titles;
        for (int c = 0; c < 8; ++c) titles << model->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(titles, (QStringList{"Grupo", "Nome Debitado", "Dt. Débito", "Valor",
                                      "Identificador", "Agência", "Matricula",
                                      "Conta Corrente"}));
        QCOMPARE(model->rowCount(), 4);
        QCOMPARE(model->data(model->index(0, 3)).toString(), QString("10,00"));
        QVERIFY(window->maximumWidth() > 759);  // resizable
    }

    // A click on an order keeps the debit; the group list's closing rebuilds with its choice.
    void orderAndGroup()
    {
        open();
        db::Query& q = *dm->QDebito;
        q.setRecNo(2);
        QCOMPARE(nameAt(q), QString("BRUNO"));
        window->findChild<QRadioButton*>("Radio_Orden1")->click();
        QCOMPARE(window->ordem(), 1);
        QCOMPARE(nameAt(q), QString("BRUNO"));
        QCOMPARE(q.recNo(), 3);  // accounts 897 (DORA), 898, 899 (BRUNO), 900
        window->DB_Grupo->setCurrentIndex(2);
        window->DB_Grupo->hidePopup();
        QCOMPARE(q.recordCount(), 1);
        QCOMPARE(nameAt(q), QString("DORA"));
        window->DB_Grupo->setCurrentIndex(0);
        window->DB_Grupo->hidePopup();
        QCOMPARE(q.recordCount(), 4);
    }

    void deleteOneAndAll()
    {
        open();
        db::Query& q = *dm->QDebito;
        q.setRecNo(3);
        dlg->answer = true;
        window->Btn_Agagar->click();
        QCOMPARE(dlg->shown.last(), QString("Excluir o Registro Atual ?"));
        QCOMPARE(q.recordCount(), 3);
        QCOMPARE(nameAt(q), QString("BRUNO"));

        // With a group chosen, deleting all still empties the table, and says so first.
        window->DB_Grupo->setCurrentIndex(2);
        window->DB_Grupo->hidePopup();
        dlg->shown.clear();
        window->SpeedButton1->click();
        QCOMPARE(dlg->shown.size(), 2);
        QCOMPARE(dlg->shown[0], QString("Esta opção irá excluir TODOS OS REGISTROS!  Confirma ?"));
        QVERIFY(dlg->shown[1].contains("inclusive 2 que a lista não mostra"));
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), 0);
        QCOMPARE(q.recordCount(), 0);

        // On the empty list the question is still asked; nothing happens. Altering opens
        // nothing and says why.
        dlg->shown.clear();
        window->Btn_Agagar->click();
        QCOMPARE(dlg->shown, QStringList{"Excluir o Registro Atual ?"});
        window->Btn_Alterar->click();
        QCOMPARE(dlg->shown.last(), QString("Selecione na lista o débito a alterar."));
    }

    void deleteAllAnsweredNoChangesNothing()
    {
        open();
        dlg->answer = false;
        window->SpeedButton1->click();
        QCOMPARE(dlg->shown.size(), 1);
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), 4);
    }

    void bulkEntry()
    {
        open();
        // A value that cannot be read: told, nothing written, the window stays; then a good one.
        onNextModal([this](QWidget* w) {
            auto* bulk = qobject_cast<TFDigitacao_Grupo*>(w);
            QVERIFY(bulk);
            QCOMPARE(bulk->windowTitle(), QString("Inserção de débitos por Grupo"));
            QCOMPARE(bulk->Look_Grupo->currentIndex(), -1);
            bulk->Look_Grupo->setCurrentIndex(0);
            QTest::keyClicks(bulk->Edt_Valor, "1.2.3");
            bulk->Btn_Busca->click();
            QVERIFY(dlg->shown.last().startsWith("Valor inválido: \"1.2.3\""));
            QVERIFY(bulk->isVisible());
            QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), 4);
            bulk->Edt_Valor->setText("12,50");
            bulk->Btn_Busca->click();
            QVERIFY(!bulk->isVisible());
        });
        window->Btn_Grupo->click();
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), 7);
        QCOMPARE(dm->QDebito->recordCount(), 7);
    }

    // Insert: the search gives the member, the operator types the value; on closing the
    // complete debit is posted only after a yes.
    void entryInsertAndClose()
    {
        open();
        TFDigitacao_Valor::abrirBusca = [](TFDigitacao_Valor&) {
            DMDebito->TDebito->fieldByName("DEB_ASS_ID").setAsInteger(4);
        };
        onNextModal([this](QWidget* w) {
            auto* entry = qobject_cast<TFDigitacao_Valor*>(w);
            QVERIFY(entry);
            QCOMPARE(entry->Edt_Nome->text(), QString("DORA"));
            QCOMPARE(entry->Edt_Grupo->text(), QString("Aposentados"));
            QVERIFY(entry->Edt_Nome->isReadOnly() && entry->Edt_Nome->isEnabled());
            QTest::keyClicks(entry->Edt_Valor, "33,5");
            dlg->answer = true;
            entry->SpeedButton1->click();
            QCOMPARE(dlg->shown.last(), QString("Gravar o débito pendente ?"));
        });
        window->Btn_Inserir->click();
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), 5);
        QCOMPARE(dm->QDebito->recordCount(), 5);
    }

    // The real member search, opened on showing: OK gives the new debit its member, then the
    // value is typed and posted with Ctrl+S; Insert opens the search again, whose Cancel drops
    // that second debit.
    void entryWithMemberSearch()
    {
        open();
        onNextModal([this](QWidget* w) {
            auto* search = qobject_cast<TFPesquizar_Cliente_Deb*>(w);
            QVERIFY(search);
            QTest::keyClicks(search->Edt_Nome, "CA");
            search->Btn_OK->click();
            onNextModal([this](QWidget* w) {
                auto* entry = qobject_cast<TFDigitacao_Valor*>(w);
                QVERIFY(entry);
                QCOMPARE(entry->Edt_Nome->text(), QString("CARLOS"));
                QTest::keyClicks(entry->Edt_Valor, "7,25");
                QTest::keyClick(entry->Edt_Valor, Qt::Key_S, Qt::ControlModifier);
                onNextModal([](QWidget* w) {
                    auto* again = qobject_cast<TFPesquizar_Cliente_Deb*>(w);
                    QVERIFY(again);
                    again->SpeedButton2->click();
                });
                QTest::keyClick(entry->Edt_Valor, Qt::Key_Insert);
                entry->close();
            });
        });
        window->Btn_Inserir->click();
        QVERIFY(dlg->shown.isEmpty());
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), 5);
        QVERIFY(dm->QDebito->locate("ASS_NOME;DEB_VALOR", {"CARLOS", 7.25}));
    }

    // Closing with a debit that has no value drops it and says so; the search's cancel drops
    // the new debit quietly.
    void entryIncompleteIsDropped()
    {
        open();
        TFDigitacao_Valor::abrirBusca = [](TFDigitacao_Valor&) {
            DMDebito->TDebito->fieldByName("DEB_ASS_ID").setAsInteger(2);
        };
        onNextModal([](QWidget* w) { w->close(); });
        window->Btn_Inserir->click();
        QCOMPARE(dlg->shown.last(), QString("O débito não foi gravado: falta o valor."));
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), 4);

        dlg->shown.clear();
        TFDigitacao_Valor::abrirBusca = [](TFDigitacao_Valor&) { DMDebito->TDebito->cancel(); };
        onNextModal([](QWidget* w) { w->close(); });
        window->Btn_Inserir->click();
        QVERIFY(dlg->shown.isEmpty());
        QCOMPARE(testdata::countRows(folder_, "DEBITO.DB"), 4);
    }

    void alterValue()
    {
        open();
        dm->QDebito->setRecNo(2);  // BRUNO 20
        onNextModal([](QWidget* w) {
            auto* entry = qobject_cast<TFDigitacao_Valor*>(w);
            QCOMPARE(entry->Edt_Nome->text(), QString("BRUNO"));
            QCOMPARE(entry->Edt_Valor->text(), QString("20,00"));
            entry->Edt_Valor->clear();
            QTest::keyClicks(entry->Edt_Valor, "21");
            QTest::keyClick(entry->Edt_Valor, Qt::Key_S, Qt::ControlModifier);
            entry->close();
        });
        window->Btn_Alterar->click();
        QVERIFY(dlg->shown.isEmpty());
        QCOMPARE(dm->QDebito->recordCount(), 4);
        QCOMPARE(nameAt(*dm->QDebito), QString("ANA"));
        QVERIFY(dm->QDebito->locate("ASS_NOME;DEB_VALOR", {"BRUNO", 21.0}));
    }

    // What is typed into the value is what is stored, or nothing and a message with the debit
    // left pending: never another amount, never a character dropped.
    void entryValueTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("stored");  // negative: refused
        QTest::newRow("keypad dot") << "15.5" << 15.5;
        QTest::newRow("comma") << "15,5" << 15.5;
        QTest::newRow("thousands") << "1.234,5" << 1234.5;
        QTest::newRow("dots not grouping") << "1.2.3" << -1.0;
        QTest::newRow("letters") << "abc" << -1.0;
    }
    void entryValueTyped()
    {
        QFETCH(QString, typed);
        QFETCH(double, stored);
        open();
        dm->QDebito->setRecNo(2);  // BRUNO 20
        onNextModal([&](QWidget* w) {
            auto* entry = qobject_cast<TFDigitacao_Valor*>(w);
            QVERIFY(entry);
            // Typing goes to the value, and a screen reader announces its label.
            QTRY_VERIFY(entry->Edt_Valor->hasFocus());
            QCOMPARE(entry->Edt_Valor->accessibleName(), QString("Valor débito"));
            entry->Edt_Valor->clear();
            QTest::keyClicks(entry->Edt_Valor, typed);
            QCOMPARE(entry->Edt_Valor->text(), typed);
            QTest::keyClick(entry->Edt_Valor, Qt::Key_S, Qt::ControlModifier);
            if (stored < 0) {
                QCOMPARE(dlg->shown.value(0), "'" + typed + "' não é um número válido para o "
                                                  "campo Valor débito. Digite um número, com "
                                                  "vírgula antes dos centavos (por exemplo "
                                                  "1234,50).");
                QCOMPARE(DMDebito->TDebito->state(), db::DatasetState::Edit);
                dlg->answer = false;  // "Gravar o débito pendente ?" on closing
            }
            entry->close();
        });
        window->Btn_Alterar->click();
        QCOMPARE(dm->QDebito->recordCount(), 4);
        QVERIFY(dm->QDebito->locate("ASS_NOME;DEB_VALOR", {"BRUNO", stored < 0 ? 20.0 : stored}));
    }

    // The preview shows the rows the grid shows; printing from it counts again from 0.
    void reportPreview()
    {
        open();
        window->DB_Grupo->setCurrentIndex(1);
        window->DB_Grupo->hidePopup();
        QString title;
        QStringList texts;
        report::setPreviewRunner([&](QPrintPreviewDialog& d) {
            title = d.windowTitle();
            auto* save = d.findChild<QAction*>("SalvarPdf");
            QVERIFY(save);
            dlg->fileName = dir_.filePath("salvo.pdf");
            save->trigger();
            QVERIFY(QFile::exists(dlg->fileName));
            for (int run = 0; run < 2; ++run) {
                QPrinter printer;
                printer.setOutputFormat(QPrinter::PdfFormat);
                const QString path = dir_.filePath(QString("preview%1.pdf").arg(run));
                printer.setOutputFileName(path);
                emit d.paintRequested(&printer);
                QProcess p;
                p.start("pdftotext", {"-layout", path, "-"});
                p.waitForFinished(60000);
                texts << QString::fromUtf8(p.readAllStandardOutput()).simplified();
            }
        });
        window->SpeedButton2->click();
        QCOMPARE(title, QString("Relatorio de Debitos"));
        QCOMPARE(texts.size(), 2);
        for (const QString& t : texts) {
            QVERIFY2(t.contains("Nr. Total de Debitados 3 Valor Total 60,00"), qPrintable(t));
            QVERIFY(t.contains("Ativos ANA 01/07/2026 10,00"));
            QVERIFY(!t.contains("DORA"));
        }
    }

    // The main window's opener: the data module, then the window shown modally; on closing
    // the window goes first, so it never outlives the data it shows.
    void openerFreesWindowThenModule()
    {
        bool moduleAliveWhenWindowFreed = false;
        onNextModal([&](QWidget* w) {
            QVERIFY(qobject_cast<TFDebito*>(w));
            QVERIFY(DMDebito);
            QCOMPARE(DMDebito->QDebito->recordCount(), 4);
            QObject::connect(w, &QObject::destroyed, [&] { moduleAliveWhenWindowFreed = DMDebito; });
            w->close();
        });
        abrirDebito(nullptr);
        QVERIFY(moduleAliveWhenWindowFreed);
        QVERIFY(!DMDebito);
        QVERIFY(!FDebito);
    }

    void screenshots()
    {
        open();
        window->grab().save(dir_.filePath("debito.png"));
        if (qEnvironmentVariableIsSet("TOLMARE_SCREENSHOTS")) {
            const QString out = qEnvironmentVariable("TOLMARE_SCREENSHOTS");
            window->grab().save(out + "/FDebito.png");
            TFDigitacao_Grupo bulk;
            bulk.show();
            bulk.grab().save(out + "/FDigitacao_Grupo.png");
            dm->QDebito->setRecNo(2);
            dm->TDebito->locate("DEB_ASS_ID", {2.0});
            TFDigitacao_Valor entry;
            entry.setModo(TFDigitacao_Valor::Modo::Alterar);
            entry.show();
            entry.grab().save(out + "/FDigitacao_Valor.png");
            entry.close();
        }
    }
};

QTEST_MAIN(TestDebitosWindows)
#include "tst_debitos_windows.moc"

#include "registers/ui/UPesquizar.h"

#include "components/DBGrid.h"
#include "core/Dialogs.h"
#include "core/engine/EngineError.h"
#include "core/engine/Table.h"
#include "registers/ui/RegisterLook.h"

#include <QFontMetrics>
#include <QFrame>
#include <QHeaderView>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

QLineEdit* tabEdit(QTabWidget* tabs, const char* name, const char* caption, int width)
{
    auto* page = new QWidget;
    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(6, 4, 6, 4);
    auto* e = new QLineEdit(page);
    e->setObjectName(name);
    if (width > 0) e->setFixedWidth(width);
    layout->addWidget(e);
    if (width > 0) layout->addStretch();
    tabs->addTab(page, QString::fromUtf8(caption));
    return e;
}

}  // namespace

TFPesquizar::TFPesquizar(db::DataSource* source, QWidget* parent) : TFBasico(parent)
{
    setWindowTitle("Pesquizar Cliente / Debitado");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(661, 316);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, registers_ui::panelColour());
    setPalette(pal);
    setAutoFillBackground(true);

    Label1 = new QLabel("Pesquizar por:", this);
    Label1->setObjectName("Label1");
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    Edt_Nome = tabEdit(PageControl1, "Edt_Nome", "&Nome", 0);
    Edt_Conta_Corrente = tabEdit(PageControl1, "Edt_Conta_Corrente", "&Conta Corrente", 160);
    Edt_Identificador = tabEdit(PageControl1, "Edt_Identificador", "&Identificador", 120);
    PageControl1->setFixedHeight(PageControl1->sizeHint().height());

    DBGrid1 = new components::DBGrid(this);
    DBGrid1->setObjectName("DBGrid1");
    DBGrid1->setWindowed(true);  // a keystroke reads a screenful, never counts positions
    // The last two columns are as wide as the field shows: ten characters of the design font
    // (the grid never makes a column narrower than its title).
    constexpr int displayWidth = 10 * 6 + 4;
    const QString agencia = QString::fromUtf8("Agência");
    DBGrid1->setColumns({{"ASS_NOME", "Cliente / Debitado", 200},
                         {"Nome_Grupo", "Grupo", 200},
                         {"ASS_CONTA_CORRENTE", "Conta Corrente", 100},
                         {"ASS_AGENCIA", agencia, displayWidth},
                         {"ASS_IDENTIFICADOR", "Identificador", displayWidth}});

    Panel2 = new QFrame(this);
    Panel2->setObjectName("Panel2");
    SpeedButton2 = registers_ui::flatButton(Panel2, "SpeedButton2", "&Cancelar",
                                            QStyle::SP_DialogCancelButton);
    Btn_OK = registers_ui::flatButton(Panel2, "Btn_OK", "&OK", QStyle::SP_DialogOkButton);
    auto* bar = new QHBoxLayout(Panel2);
    bar->setContentsMargins(0, 0, 0, 0);
    bar->addWidget(SpeedButton2);
    bar->addStretch();
    bar->addWidget(Btn_OK);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(Label1);
    layout->addWidget(PageControl1);
    layout->addWidget(DBGrid1, 1);
    layout->addWidget(Panel2);

    connect(PageControl1, &QTabWidget::currentChanged, this, &TFPesquizar::PageControl1Change);
    for (QLineEdit* e : {Edt_Nome, Edt_Conta_Corrente, Edt_Identificador})
        connect(e, &QLineEdit::textChanged, this, [this, e] { EdtChange(e); });
    connect(Btn_OK, &QPushButton::clicked, this, [this] { Btn_OKClick(); });
    connect(SpeedButton2, &QPushButton::clicked, this, [this] { SpeedButton2Click(); });

    auto* table = source ? qobject_cast<db::Table*>(source->dataset()) : nullptr;
    if (!table) return;
    search_.emplace(*table);
    guarded([this] { search_->open(); });
    DBGrid1->setDataSource(source);
}

bool TFPesquizar::guarded(const std::function<void()>& work)
{
    try {
        work();
        return true;
    } catch (const db::EngineError& e) {
        dialogs::current().message(dialogs::Kind::Error, e.message());
        return false;
    }
}

void TFPesquizar::showEvent(QShowEvent* event)
{
    TFBasico::showEvent(event);
    PageControl1->setCurrentIndex(0);
    PageControl1Change();
}

void TFPesquizar::PageControl1Change()
{
    const int tab = PageControl1->currentIndex();
    if (search_) guarded([&] { search_->setTab(registers::SearchTab(tab)); });
    QLineEdit* edits[] = {Edt_Nome, Edt_Conta_Corrente, Edt_Identificador};
    if (tab >= 0 && tab < 3) edits[tab]->setFocus(Qt::OtherFocusReason);
}

void TFPesquizar::EdtChange(QLineEdit* edit)
{
    if (!search_) return;
    const QString text = edit->text();
    guarded([&] { search_->search(text); });
}

void TFPesquizar::keyPressEvent(QKeyEvent* event)
{
    if (registers_ui::isDialogKey(event)) return;  // Enter and Escape press nothing
    TFBasico::keyPressEvent(event);
}

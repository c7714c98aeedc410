#include "debits/ui/UDebito.h"

#include "collection/Listas.h"
#include "collection/ui/Exportar.h"
#include "components/DBGrid.h"
#include "components/report/ReportPreview.h"
#include "core/Dialogs.h"
#include "core/dm/UDMDebito.h"
#include "core/engine/EngineError.h"
#include "debits/ExclusaoDebitos.h"
#include "debits/ListaDebitos.h"
#include "debits/RelDebito.h"
#include "debits/ui/UDigitacao_Grupo.h"
#include "debits/ui/UDigitacao_Valor.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <memory>

TFDebito* FDebito = nullptr;

void GrupoComboBox::hidePopup()
{
    QComboBox::hidePopup();
    emit popupClosed();
}

namespace {

const QColor kFundo(151, 203, 255);
const QColor kFundoGrade(254, 254, 233);

QPushButton* flatButton(QWidget* parent, const char* name, const QString& caption,
                        const QString& hint = {})
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setFlat(true);
    b->setToolTip(hint);
    return b;
}

}  // namespace

TFDebito::TFDebito(QWidget* parent) : TFBasico(parent)
{
    setObjectName("FDebito");
    setWindowTitle("Digitação de Valores para Débito");
    setWindowFlags(Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                   | Qt::WindowCloseButtonHint);
    resize(759, 446);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kFundo);
    setPalette(pal);

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    auto* top = new QHBoxLayout(Panel1);

    Radio_Orden = new QGroupBox("Orden", Panel1);
    Radio_Orden->setObjectName("Radio_Orden");
    Radio_OrdenItems = new QButtonGroup(this);
    auto* radios = new QGridLayout(Radio_Orden);
    const QStringList captions = debitos::ordemCaptions();
    for (int i = 0; i < captions.size(); ++i) {
        auto* r = new QRadioButton(captions[i], Radio_Orden);
        r->setObjectName(QString("Radio_Orden%1").arg(i));
        Radio_OrdenItems->addButton(r, i);
        radios->addWidget(r, i % 3, i / 3);  // two columns
    }
    Radio_OrdenItems->button(0)->setChecked(true);
    top->addWidget(Radio_Orden);

    auto* buttons = new QGridLayout;
    SpeedButton1 = flatButton(Panel1, "SpeedButton1", "Apagar TODOS os Débitos");
    Btn_Grupo = flatButton(Panel1, "Btn_Grupo", "Incluir Débitos por &Grupo", "Débito por Grupo");
    SpeedButton2 = flatButton(Panel1, "SpeedButton2", "&Relatorio de Debitos");
    Btn_Inserir = flatButton(Panel1, "Btn_Inserir", "&Incluir Novo Débito", "Incluir novo Débito");
    Btn_Alterar = flatButton(Panel1, "Btn_Alterar", "&Alterar Débito (Ctrl + Enter)",
                             "Alterar Débito");
    Btn_Agagar = flatButton(Panel1, "Btn_Agagar", "&Excluir o Débito");
    buttons->addWidget(SpeedButton1, 0, 0);
    buttons->addWidget(Btn_Grupo, 0, 1);
    buttons->addWidget(SpeedButton2, 0, 2);
    buttons->addWidget(Btn_Inserir, 1, 0);
    buttons->addWidget(Btn_Alterar, 1, 1);
    buttons->addWidget(Btn_Agagar, 1, 2);
    Btn_Exportar = cobranca_ui::botaoExportar(Panel1);
    buttons->addWidget(Btn_Exportar, 0, 3);
    top->addLayout(buttons);

    auto* groupBox = new QVBoxLayout;
    Label1 = new QLabel("Grupo", Panel1);
    DB_Grupo = new GrupoComboBox(Panel1);
    DB_Grupo->setObjectName("DB_Grupo");
    DB_Grupo->setMaxVisibleItems(8);
    DB_Grupo->setMinimumWidth(160);
    groupBox->addWidget(Label1);
    groupBox->addWidget(DB_Grupo);
    groupBox->addStretch();
    top->addLayout(groupBox);
    top->addStretch();

    DBGridDebito = new components::DBGrid(this);
    DBGridDebito->setObjectName("DBGridDebito");
    DBGridDebito->setStyleSheet(
        QString("QTableView { background-color: %1; }"
                "QHeaderView::section { background-color: %2; }"
                "QTableCornerButton::section { background-color: %2; }")
            .arg(kFundoGrade.name(), kFundo.name()));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(DBGridDebito, 1);

    connect(Radio_OrdenItems, &QButtonGroup::idClicked, this, [this] { Radio_OrdenClick(); });
    connect(DB_Grupo, &GrupoComboBox::popupClosed, this, &TFDebito::Radio_OrdenClick);
    connect(DB_Grupo, &QComboBox::activated, this, [this] {
        if (!DB_Grupo->view()->isVisible()) Radio_OrdenClick();
    });
    connect(SpeedButton1, &QPushButton::clicked, this, &TFDebito::SpeedButton1Click);
    connect(Btn_Agagar, &QPushButton::clicked, this, &TFDebito::Btn_AgagarClick);
    connect(Btn_Inserir, &QPushButton::clicked, this, [this] { Btn_InserirClick(Modo::Inserir); });
    connect(Btn_Alterar, &QPushButton::clicked, this, [this] { Btn_InserirClick(Modo::Alterar); });
    connect(DBGridDebito, &QAbstractItemView::doubleClicked, this,
            &TFDebito::DBGridDebitoDblClick);
    connect(Btn_Grupo, &QPushButton::clicked, this, &TFDebito::Btn_GrupoClick);
    connect(SpeedButton2, &QPushButton::clicked, this, &TFDebito::SpeedButton2Click);
    connect(Btn_Exportar, &QPushButton::clicked, this, [] {
        if (DMDebito)
            cobranca_ui::exportar("debitos",
                                  [] { return cobranca::planilhaDebitos(*DMDebito->QDebito); });
    });

    FDebito = this;
    FormCreate();
}

TFDebito::~TFDebito()
{
    if (FDebito == this) FDebito = nullptr;
}

void TFDebito::FormCreate()
{
    if (!DMDebito) return;
    DBGridDebito->setDataSource(DMDebito->DsQDebito);
    DBGridDebito->setColumns({{"GRP_DESCRICAO", "Grupo", 80},
                              {"ASS_NOME", "Nome Debitado", 240},
                              {"DEB_DATA", "Dt. Débito", 84},
                              {"DEB_VALOR", "Valor", 80},
                              {"ASS_IDENTIFICADOR", "Identificador", 92},
                              {"ASS_AGENCIA", "Agência", 50},
                              {"ASS_MATRICULA", "Matricula", 80},
                              {"ASS_CONTA_CORRENTE", "Conta Corrente", 100}});
    try {
        DMDebito->TGrupos->open();
        DMDebito->TAssociados->open();
        DMDebito->TDebito->open();
        fillGroups();
    } catch (const db::EngineError& e) {
        showError(e.message());
    }
}

void TFDebito::fillGroups()
{
    DB_Grupo->clear();
    DB_Grupo->addItem("<< Todos >>");
    preencherGrupos(DB_Grupo, *DMDebito->TGrupos);
    DB_Grupo->setCurrentIndex(0);
}

void TFDebito::FormClose()
{
    if (!DMDebito) return;
    DMDebito->TDebito->close();
    DMDebito->TGrupos->close();
    DMDebito->TAssociados->close();
}

void TFDebito::showEvent(QShowEvent* event)
{
    TFBasico::showEvent(event);
    if (!event->spontaneous()) Radio_OrdenClick();
}

void TFDebito::closeEvent(QCloseEvent* event)
{
    FormClose();
    TFBasico::closeEvent(event);
}

void TFDebito::showError(const QString& message)
{
    dialogs::current().message(dialogs::Kind::Error, message);
}

int TFDebito::ordem() const { return std::max(0, Radio_OrdenItems->checkedId()); }

std::optional<qint64> TFDebito::grupo() const
{
    const QVariant id = DB_Grupo->currentData();
    if (!id.isValid()) return std::nullopt;
    return id.toLongLong();
}

void TFDebito::Radio_OrdenClick()
{
    if (!DMDebito) return;
    try {
        debitos::rebuildList(*DMDebito->QDebito, debitos::Ordem(ordem()), grupo());
    } catch (const db::EngineError& e) {
        showError(e.message());
    }
}

void TFDebito::SpeedButton1Click()
{
    if (!DMDebito) return;
    if (!dialogs::current().yesNo(debitos::kPerguntaApagarTodos1)) return;
    try {
        const int naTabela = DMDebito->TDebito->recordCount();
        const int naLista = DMDebito->QDebito->active() ? DMDebito->QDebito->recordCount() : 0;
        if (!dialogs::current().yesNo(debitos::perguntaApagarTodos(naTabela, naLista))) return;
        debitos::apagarTodosDebitos(*DMDebito);
    } catch (const db::EngineError& e) {
        showError(e.message());
        return;
    }
    Radio_OrdenClick();
}

void TFDebito::Btn_AgagarClick()
{
    if (!DMDebito) return;
    if (dialogs::current().yesNo(debitos::kPerguntaExcluir)) {
        try {
            debitos::excluirDebitoAtual(*DMDebito);
        } catch (const db::EngineError& e) {
            showError(e.message());
            return;
        }
    }
    Radio_OrdenClick();
}

void TFDebito::Btn_InserirClick(Modo modo)
{
    if (!DMDebito) return;
    auto entry = std::make_unique<TFDigitacao_Valor>(this);
    const db::Bookmark place = DMDebito->QDebito->bookmark();
    modo_ = modo;
    // Altering needs the selected row's debit: without one, nothing is opened (the entry
    // window would otherwise show whatever debit the table stands on).
    try {
        if (modo == Modo::Alterar && !debitos::localizarDebitoParaAlterar(*DMDebito)) {
            dialogs::current().message(dialogs::Kind::Information,
                                       "Selecione na lista o débito a alterar.");
            return;
        }
    } catch (const db::EngineError& e) {
        showError(e.message());
        return;
    }
    entry->setModo(modo == Modo::Inserir ? TFDigitacao_Valor::Modo::Inserir
                                         : TFDigitacao_Valor::Modo::Alterar);
    entry->exec();
    entry.reset();
    Radio_OrdenClick();
    try {
        if (DMDebito->QDebito->bookmarkValid(place)) DMDebito->QDebito->gotoBookmark(place);
    } catch (const db::EngineError&) {
    }
}

void TFDebito::Btn_GrupoClick()
{
    auto bulk = std::make_unique<TFDigitacao_Grupo>(this);
    bulk->exec();
    bulk.reset();
    Radio_OrdenClick();
}

void TFDebito::SpeedButton2Click()
{
    if (!DMDebito) return;
    TQRelDebito rel(*DMDebito->QDebito);
    report::preview(rel.definition(), rel.source(), this);
}

void abrirDebito(QWidget* parent)
{
    auto dm = std::make_unique<TDMDebito>();
    auto window = std::make_unique<TFDebito>(parent);
    window->exec();
    window.reset();
    dm.reset();
}

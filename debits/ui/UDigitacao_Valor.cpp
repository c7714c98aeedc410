#include "debits/ui/UDigitacao_Valor.h"

#include "components/DBNavigator.h"
#include "core/Dialogs.h"
#include "core/dm/UDMDebito.h"
#include "core/engine/EngineError.h"
#include "debits/GeracaoDebitos.h"
#include "registers/ui/UPesquizar_Cliente_Deb.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>

std::function<void(TFDigitacao_Valor&)> TFDigitacao_Valor::abrirBusca;

namespace {

using B = components::DBNavigator::Button;

bool pending(db::Table& t)
{
    return t.state() == db::DatasetState::Insert || t.state() == db::DatasetState::Edit;
}

}  // namespace

TFDigitacao_Valor::TFDigitacao_Valor(QWidget* parent) : TFBasico(parent)
{
    setObjectName("FDigitacao_Valor");
    setWindowTitle("Inserção / Alteração de débitos");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    setFixedSize(354, 271);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(151, 203, 255));
    setPalette(pal);

    int y = 6;
    auto row = [&](const QString& caption, const char* name, int width) {
        auto* l = new QLabel(caption, this);
        l->move(12, y);
        auto* e = new QLineEdit(this);
        e->setObjectName(name);
        e->setGeometry(12, y + 15, width, 21);
        e->setReadOnly(true);
        l->setBuddy(e);
        y += 38;
        return e;
    };
    Edt_Grupo = row("Grupo", "Edt_Grupo", 330);
    Edt_Agencia = row("Agência:", "Edt_Agencia", 100);
    Edt_Agencia->move(12, Edt_Agencia->y());
    Edt_Conta = new QLineEdit(this);
    Edt_Conta->setObjectName("Edt_Conta");
    Edt_Conta->setReadOnly(true);
    Edt_Conta->setGeometry(124, Edt_Agencia->y(), 218, 21);
    auto* contaLabel = new QLabel("Conta Conrrente", this);
    contaLabel->move(124, Edt_Agencia->y() - 15);
    contaLabel->setBuddy(Edt_Conta);
    Edt_Nome = row("Cliente / Debitado", "Edt_Nome", 330);
    Edt_Identif = row("Indentificador", "Edt_Identif", 150);
    Edt_Valor = row("Valor débito", "Edt_Valor", 120);
    Edt_Valor->setReadOnly(false);
    Edt_DtCad = new QLineEdit(this);
    Edt_DtCad->setObjectName("Edt_DtCad");
    Edt_DtCad->setReadOnly(true);
    Edt_DtCad->setGeometry(200, Edt_Valor->y(), 142, 21);
    auto* dtLabel = new QLabel("Dt. Cad.", this);
    dtLabel->move(200, Edt_Valor->y() - 15);
    dtLabel->setBuddy(Edt_DtCad);

    Nav_Debito = new components::DBNavigator(this);
    Nav_Debito->setObjectName("Nav_Debito");
    Nav_Debito->setVisibleButtons(
        {B::First, B::Prior, B::Next, B::Last, B::Insert, B::Delete, B::Post, B::Cancel});
    Nav_Debito->setGeometry(8, y + 6, 200, 30);
    Btn_Busca = new QPushButton(this);
    Btn_Busca->setObjectName("Btn_Busca");
    Btn_Busca->setFlat(true);
    Btn_Busca->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    Btn_Busca->setToolTip("Pesquizar Cliente / Debitado");
    Btn_Busca->setGeometry(214, y + 6, 34, 30);
    SpeedButton1 = new QPushButton("&Fechar", this);
    SpeedButton1->setObjectName("SpeedButton1");
    SpeedButton1->setFlat(true);
    SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    SpeedButton1->setGeometry(256, y + 6, 86, 30);

    connect(Btn_Busca, &QPushButton::clicked, this, &TFDigitacao_Valor::Btn_BuscaClick);
    connect(SpeedButton1, &QPushButton::clicked, this, &QWidget::close);
    connect(Edt_Valor, &QLineEdit::textEdited, this, &TFDigitacao_Valor::valueEdited);
    // After the navigator's insert: the search, its errors dropped.
    connect(Nav_Debito, &components::DBNavigator::clicked, this, [this](B b) {
        if (b != B::Insert) return;
        try {
            Btn_BuscaClick();
        } catch (...) {
        }
    });
    FormCreate();
}

TFDigitacao_Valor::~TFDigitacao_Valor() = default;

void TFDigitacao_Valor::FormCreate()
{
    if (!DMDebito) return;
    try {
        DMDebito->TGrupos->open();
        DMDebito->TAssociados->open();
    } catch (const db::EngineError& e) {
        dialogs::current().message(dialogs::Kind::Error, e.message());
    }
    db::Table* t = DMDebito->TDebito;
    Nav_Debito->setDataSource(DMDebito->DsTDebito);
    connect(t, &db::Dataset::currentChanged, this, &TFDigitacao_Valor::showDebit);
    connect(t, &db::Dataset::stateChanged, this, &TFDigitacao_Valor::showDebit);
    connect(t, &db::Dataset::dataChanged, this, &TFDigitacao_Valor::showDebit);
    connect(t, &db::Dataset::fieldChanged, this, [this](const QString& name) {
        if (name.compare("DEB_VALOR", Qt::CaseInsensitive) != 0) showDebit();
    });
    showDebit();
}

// The disabled edits and the value follow TDebito's current (or pending) debit.
void TFDigitacao_Valor::showDebit()
{
    if (!DMDebito) return;
    db::Table& t = *DMDebito->TDebito;
    auto text = [&](const char* field) {
        try {
            return t.active() ? t.fieldByName(field).displayText() : QString();
        } catch (const db::EngineError&) {
            return QString();
        }
    };
    Edt_Grupo->setText(text("Grupo_Associado"));
    Edt_Agencia->setText(text("Agencia_Associadi"));
    Edt_Conta->setText(text("CC_Associado"));
    Edt_Nome->setText(text("Nome_Associado"));
    Edt_Identif->setText(text("Indent_Associado"));
    Edt_DtCad->setText(text("DEB_DTA_CAD"));
    if (!typing_) Edt_Valor->setText(text("DEB_VALOR"));
}

void TFDigitacao_Valor::valueEdited(const QString& text)
{
    if (!DMDebito) return;
    db::Table& t = *DMDebito->TDebito;
    typing_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{typing_};
    try {
        if (!t.active()) return;
        if (!pending(t)) t.edit();
        // Every character typed stays; a value that cannot be read keeps the debit from being
        // posted (never another amount) until it is corrected.
        if (text.trimmed().isEmpty()) {
            t.fieldByName("DEB_VALOR").clear();
        } else if (const std::optional<double> v = debitos::lerValor(text)) {
            t.fieldByName("DEB_VALOR").setAsFloat(*v);
        } else {
            t.setInputError("DEB_VALOR", db::notANumber(text.trimmed(), "Valor débito").message());
        }
    } catch (const db::EngineError& e) {
        dialogs::current().message(dialogs::Kind::Error, e.message());
    }
}

void TFDigitacao_Valor::showEvent(QShowEvent* event)
{
    TFBasico::showEvent(event);
    if (event->spontaneous() || showing_ || !DMDebito) return;
    showing_ = true;
    // The member's fields can be read and reached, but what is typed goes to the value.
    Edt_Valor->setFocus();
    if (modo_ == Modo::Inserir) Nav_Debito->btnClick(B::Insert);
    showDebit();
}

void TFDigitacao_Valor::FormKeyDown(int& key, Qt::KeyboardModifiers shift)
{
    if (!DMDebito) return;
    Controla_Davegador(DMDebito->TDebito, Nav_Debito, shift, key);
}

void TFDigitacao_Valor::Btn_BuscaClick()
{
    if (abrirBusca) {
        abrirBusca(*this);
    } else {
        TFPesquizar_Cliente_Deb search(this);
        search.exec();
    }
    Edt_Valor->setFocus();
    Edt_Valor->selectAll();
}

// A debit still pending when the window closes: a complete one (member and value) is posted
// only when the operator says so; an incomplete one is dropped, and the operator is told when
// anything had been typed or chosen for it. Nothing is posted without a member or a value.
bool TFDigitacao_Valor::settlePending()
{
    if (!DMDebito) return true;
    db::Table& t = *DMDebito->TDebito;
    if (!t.active() || !pending(t)) return true;
    const bool hasMember = !t.fieldByName("DEB_ASS_ID").isNull();
    const bool hasValue = !t.fieldByName("DEB_VALOR").isNull();
    if (!hasMember || !hasValue) {
        const bool touched = hasMember || hasValue || t.state() == db::DatasetState::Edit;
        t.cancel();
        if (touched)
            dialogs::current().message(
                dialogs::Kind::Information,
                QString("O débito não foi gravado: falta %1.")
                    .arg(hasMember ? "o valor" : "o associado (use a pesquisa)"));
        return true;
    }
    if (!dialogs::current().yesNo("Gravar o débito pendente ?")) {
        t.cancel();
        return true;
    }
    try {
        t.post();
        return true;
    } catch (const db::EngineError& e) {
        dialogs::current().message(dialogs::Kind::Error, e.message());
        return false;  // stays open for the correction or a cancel
    }
}

void TFDigitacao_Valor::done(int result)
{
    if (!settlePending()) return;
    FormClose();
    TFBasico::done(result);
}

void TFDigitacao_Valor::FormClose()
{
    if (DMDebito) DMDebito->TBusca_Associados->close();
}

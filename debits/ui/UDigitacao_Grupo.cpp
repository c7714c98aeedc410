#include "debits/ui/UDigitacao_Grupo.h"

#include "core/Dialogs.h"
#include "core/dm/UDMDebito.h"
#include "core/engine/EngineError.h"
#include "debits/GeracaoDebitos.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

void preencherGrupos(QComboBox* box, db::Table& grupos)
{
    for (grupos.first(); !grupos.eof(); grupos.next())
        box->addItem(grupos.fieldByName("GRP_DESCRICAO").asString(),
                     grupos.fieldByName("GRP_ID").asInteger());
}

TFDigitacao_Grupo::TFDigitacao_Grupo(QWidget* parent) : TFBasico(parent)
{
    setObjectName("FDigitacao_Grupo");
    setWindowTitle("Inserção de débitos por Grupo");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    setFixedSize(354, 127);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(151, 203, 255));
    setPalette(pal);

    Label1 = new QLabel("Grupo", this);
    Label1->move(12, 8);
    Look_Grupo = new QComboBox(this);
    Look_Grupo->setObjectName("Look_Grupo");
    Look_Grupo->setGeometry(12, 24, 330, 24);
    Label2 = new QLabel("Valor débito", this);
    Label2->move(12, 52);
    Edt_Valor = new QLineEdit(this);
    Edt_Valor->setObjectName("Edt_Valor");
    Edt_Valor->setGeometry(12, 68, 120, 24);
    Btn_Busca = new QPushButton("&Gerar Débitos", this);
    Btn_Busca->setObjectName("Btn_Busca");
    Btn_Busca->setFlat(true);
    Btn_Busca->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    Btn_Busca->setGeometry(150, 90, 100, 30);
    SpeedButton1 = new QPushButton("&Fechar", this);
    SpeedButton1->setObjectName("SpeedButton1");
    SpeedButton1->setFlat(true);
    SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    SpeedButton1->setGeometry(256, 90, 86, 30);
    connect(Btn_Busca, &QPushButton::clicked, this, &TFDigitacao_Grupo::Btn_BuscaClick);
    connect(SpeedButton1, &QPushButton::clicked, this, &QWidget::close);
    FormCreate();
}

TFDigitacao_Grupo::~TFDigitacao_Grupo() = default;

void TFDigitacao_Grupo::FormCreate()
{
    if (!DMDebito) return;
    try {
        DMDebito->TGrupos->open();
        DMDebito->TAssociados->open();
        preencherGrupos(Look_Grupo, *DMDebito->TGrupos);
    } catch (const db::EngineError& e) {
        dialogs::current().message(dialogs::Kind::Error, e.message());
    }
    Look_Grupo->setCurrentIndex(-1);
}

void TFDigitacao_Grupo::Btn_BuscaClick()
{
    if (!DMDebito) return;
    debitos::Geracao g;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        struct Restore {
            ~Restore() { QApplication::restoreOverrideCursor(); }
        } restore;
        try {
            DMDebito->TDebito->open();
            g = debitos::gerarDebitosGrupo(*DMDebito, Look_Grupo->currentData(), Edt_Valor->text(),
                                           QDate::currentDate());
        } catch (const db::EngineError& e) {
            g.mensagem = e.message();
        }
    }
    if (!g.ok) {
        dialogs::current().message(dialogs::Kind::Error, g.mensagem);
        return;
    }
    close();
}

#include "remittance/ui/URet_Debito.h"

#include "components/DBGrid.h"
#include "core/Dialogs.h"
#include "core/MainRoutines.h"
#include "core/dm/UDMRet_Debito.h"
#include "core/engine/EngineError.h"
#include "core/ui/ModuleOpener.h"
#include "remittance/ui/UImpRetorno.h"
#include "remittance/ui/URRetorno.h"
#include "collection/Listas.h"
#include "collection/ui/Exportar.h"
#include "collection/ui/UInadimplentes.h"
#include "collection/ui/UPainel.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TFRet_Debito* FRet_Debito = nullptr;

TFRet_Debito::TFRet_Debito(QWidget* parent) : TFBasico(parent)
{
    setObjectName("FRet_Debito");
    setWindowTitle("-");
    setWindowFlags(Qt::Window | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    resize(1000, 500);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(151, 203, 255));
    setPalette(pal);
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    Panel2 = new QFrame(this);
    auto* bar = new QHBoxLayout(Panel2);
    SpeedButton1 = new QPushButton("&Importar arquivo de Retorno", Panel2);
    SpeedButton2 = new QPushButton("&Relatorio de Debitos", Panel2);
    SpeedButton1->setFlat(true);
    SpeedButton2->setFlat(true);
    bar->addWidget(SpeedButton1);
    bar->addWidget(SpeedButton2);
    Btn_Inadimplentes = new QPushButton("I&nadimplentes", Panel2);
    Btn_Inadimplentes->setObjectName("Btn_Inadimplentes");
    Btn_Painel = new QPushButton("&Painel de Cobrança", Panel2);
    Btn_Painel->setObjectName("Btn_Painel");
    for (QPushButton* b : {Btn_Inadimplentes, Btn_Painel}) {
        b->setFlat(true);
        bar->addWidget(b);
    }
    Btn_Exportar = cobranca_ui::botaoExportar(Panel2);
    bar->addWidget(Btn_Exportar);
    bar->addStretch();
    layout->addWidget(Panel2);
    Panel1 = new QFrame(this);
    auto* body = new QVBoxLayout(Panel1);
    body->setContentsMargins(0, 0, 0, 0);
    DBGridDebito = new components::DBGrid(Panel1);
    DBGridDebito->setObjectName("DBGridDebito");
    body->addWidget(DBGridDebito);
    layout->addWidget(Panel1, 1);
    connect(SpeedButton1, &QPushButton::clicked, this, &TFRet_Debito::SpeedButton1Click);
    connect(SpeedButton2, &QPushButton::clicked, this, &TFRet_Debito::SpeedButton2Click);
    connect(Btn_Inadimplentes, &QPushButton::clicked, this, [this] {
        TFInadimplentes window(this);
        window.exec();
    });
    connect(Btn_Painel, &QPushButton::clicked, this, [this] { abrirPainel(this); });
    connect(Btn_Exportar, &QPushButton::clicked, this, [] {
        if (DMRet_Debito)
            cobranca_ui::exportar("retornos", [] {
                return cobranca::planilhaConsultaRetorno(*DMRet_Debito->TRet_Debito);
            });
    });
    FRet_Debito = this;

    if (!DMRet_Debito) return;
    DBGridDebito->setDataSource(DMRet_Debito->DsTRet_Debito);
    DBGridDebito->setColumns({{"DEB_REMESSA", "Remessa", 80},
                              {"Nome_Associado", "Nome Debitado", 240},
                              {"DEB_DATA", "Dt. Rem", 80},
                              {"DEB_DATA_RETORNO", "Data Ret", 80},
                              {"DEB_OCORRENCIA", "Ocorrência", 120},
                              {"DEB_VALOR", "Valor", 80},
                              {"Agencia_Associado", "Agência", 50},
                              {"CC_Associado", "Conta", 90},
                              {"Indent_Associado", "Indentificador", 100}});
    DMRet_Debito->TRet_Debito->open();
    DMRet_Debito->TAssociados->open();
    try {
        Apagar_Duplicacoes_Retorno();
    } catch (const db::EngineError& e) {
        dialogs::current().message(dialogs::Kind::Error, e.message());
    }
    DBGridDebito->gridModel()->reload();
}

TFRet_Debito::~TFRet_Debito()
{
    if (FRet_Debito == this) FRet_Debito = nullptr;
}

void TFRet_Debito::SpeedButton1Click()
{
    TFImpRetorno window(this);
    window.exec();
}

void TFRet_Debito::SpeedButton2Click()
{
    TFRRetorno window(this);
    window.exec();
}

void TFRet_Debito::closeEvent(QCloseEvent* event)
{
    if (DMRet_Debito) {
        DMRet_Debito->TRet_Debito->close();
        DMRet_Debito->TAssociados->close();
    }
    TFBasico::closeEvent(event);
}

void abrirRetDebito(QWidget* parent) { openModule<TDMRet_Debito, TFRet_Debito>(parent); }

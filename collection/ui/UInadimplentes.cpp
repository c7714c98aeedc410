#include "collection/ui/UInadimplentes.h"

#include "collection/Listas.h"
#include "collection/RelLista.h"
#include "collection/ui/Exportar.h"
#include "collection/ui/Janela.h"
#include "collection/ui/TabelaModel.h"
#include "components/report/ReportItems.h"
#include "components/report/ReportPreview.h"
#include "core/Dialogs.h"
#include "core/engine/EngineError.h"
#include "core/engine/Query.h"
#include "core/ui/PrepararJanela.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

TFInadimplentes::TFInadimplentes(QWidget* parent) : QDialog(parent)
{
    setObjectName("FInadimplentes");
    setWindowTitle("Inadimplentes");
    setWindowFlags(Qt::Window | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    resize(900, 520);
    cobranca_ui::fundo(this);
    auto* layout = new QVBoxLayout(this);
    auto* filtros = new QHBoxLayout;
    Minimo = new QSpinBox(this);
    Minimo->setObjectName("Minimo");
    Minimo->setRange(1, 999);
    Minimo->setValue(1);
    Grupo = new QComboBox(this);
    Grupo->setObjectName("Grupo");
    Grupo->setMinimumWidth(200);
    Grupo->addItem("<< Todos >>");
    Ordem = new QComboBox(this);
    Ordem->setObjectName("Ordem");
    Ordem->addItems({"Valor", "Meses", "Nome"});
    for (auto [text, w] : {std::pair<const char*, QWidget*>{"&Mínimo de meses:", Minimo},
                           {"&Grupo:", Grupo}, {"&Ordem:", Ordem}})
        cobranca_ui::rotulado(this, filtros, text, w);
    filtros->addStretch();
    layout->addLayout(filtros);
    Grade = cobranca_ui::grade(this, "Grade");
    Grade->setAccessibleName("Associados inadimplentes");
    model_ = new cobranca_ui::TabelaModel(this);
    Grade->setModel(model_);
    layout->addWidget(Grade, 1);
    const cobranca_ui::BarraLista bar = cobranca_ui::barraLista(this, layout);
    Totais = bar.totais;
    Btn_Visualizar = bar.visualizar;
    Btn_Exportar = bar.exportar;
    Btn_Fechar = bar.fechar;

    try {
        db::Query groups;
        groups.setDatabaseName("Tolmare");
        groups.setSql({"SELECT GRP_ID, GRP_DESCRICAO FROM GRUPO ORDER BY GRP_DESCRICAO"});
        groups.open();
        for (groups.first(); !groups.eof(); groups.next())
            Grupo->addItem(groups.fieldByName("GRP_DESCRICAO").asString(),
                           groups.fieldByName("GRP_ID").asFloat());
    } catch (const db::EngineError& e) {
        dialogs::current().message(dialogs::Kind::Error, e.message());
    }
    connect(Minimo, &QSpinBox::valueChanged, this, &TFInadimplentes::atualizar);
    connect(Grupo, &QComboBox::currentIndexChanged, this, &TFInadimplentes::atualizar);
    connect(Ordem, &QComboBox::currentIndexChanged, this, &TFInadimplentes::atualizar);
    connect(Btn_Exportar, &QPushButton::clicked, this, [this] {
        cobranca_ui::exportar("inadimplentes",
                              [this] { return cobranca::planilhaInadimplentes(lista_); });
    });
    connect(Btn_Visualizar, &QPushButton::clicked, this, [this] {
        const auto rel = cobranca::relInadimplentes(
            lista_, Minimo->value(), Grupo->currentIndex() > 0 ? Grupo->currentText() : QString());
        report::preview(rel->definition(), rel->source(), this);
    });
    atualizar();
}

void TFInadimplentes::atualizar()
{
    const QVariant grupo = Grupo->currentData();
    try {
        lista_ = cobranca::inadimplentes(
            Minimo->value(), grupo.isValid() ? std::optional(grupo.toDouble()) : std::nullopt,
            cobranca::OrdemInadimplentes(Ordem->currentIndex()));
    } catch (const db::EngineError& e) {
        lista_ = {};
        dialogs::current().message(dialogs::Kind::Error, e.message());
    }
    model_->setPlanilha(cobranca::planilhaInadimplentes(lista_));
    Grade->resizeColumnsToContents();
    Totais->setText(QString("%1 associado(s)    Valor total: %2")
                        .arg(lista_.linhas.size())
                        .arg(report::money(lista_.total)));
}

void TFInadimplentes::setVisible(bool visible)
{
    if (visible) prepararJanela(this);
    QDialog::setVisible(visible);
}

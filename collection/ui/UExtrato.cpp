#include "collection/ui/UExtrato.h"

#include "collection/Listas.h"
#include "collection/RelLista.h"
#include "collection/ui/Exportar.h"
#include "collection/ui/Janela.h"
#include "collection/ui/TabelaModel.h"
#include "components/report/ReportItems.h"
#include "components/report/ReportPreview.h"
#include "core/Dialogs.h"
#include "core/engine/EngineError.h"
#include "core/ui/PrepararJanela.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

TFExtrato::TFExtrato(double assId, QWidget* parent) : QDialog(parent)
{
    setObjectName("FExtrato");
    setWindowTitle("Extrato do Associado");
    setWindowFlags(Qt::Window | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    resize(820, 480);
    cobranca_ui::fundo(this);
    try {
        extrato_ = cobranca::extrato(assId);
    } catch (const db::EngineError& e) {
        extrato_.assId = assId;
        dialogs::current().message(dialogs::Kind::Error, e.message());
    }
    auto* layout = new QVBoxLayout(this);
    QString quem = QString::number(assId, 'f', 0);
    if (extrato_.existe)
        quem += " - " + extrato_.nome.trimmed() + "    Matrícula: " + extrato_.matricula
                + "    Grupo: " + extrato_.grupo;
    Associado = new QLabel("Associado: " + quem, this);
    Associado->setObjectName("Associado");
    layout->addWidget(Associado);
    Grade = cobranca_ui::grade(this, "Grade");
    Grade->setAccessibleName("Meses do associado");
    auto* model = new cobranca_ui::TabelaModel(this);
    model->setPlanilha(cobranca::planilhaExtrato(extrato_));
    Grade->setModel(model);
    Grade->resizeColumnsToContents();
    layout->addWidget(Grade, 1);
    const cobranca_ui::BarraLista bar = cobranca_ui::barraLista(this, layout);
    Totais = bar.totais;
    Totais->setText(QString("Enviado: %1    Recebido: %2    Devolvido: %3")
                        .arg(report::money(extrato_.enviado), report::money(extrato_.recebido),
                             report::money(extrato_.devolvido)));
    Btn_Visualizar = bar.visualizar;
    Btn_Exportar = bar.exportar;
    Btn_Fechar = bar.fechar;
    connect(Btn_Exportar, &QPushButton::clicked, this, [this] {
        cobranca_ui::exportar(QString("extrato_%1").arg(extrato_.assId, 0, 'f', 0),
                              [this] { return cobranca::planilhaExtrato(extrato_); });
    });
    connect(Btn_Visualizar, &QPushButton::clicked, this, [this] {
        const auto rel = cobranca::relExtrato(extrato_);
        report::preview(rel->definition(), rel->source(), this);
    });
}

void abrirExtrato(double assId, QWidget* parent)
{
    TFExtrato window(assId, parent);
    window.exec();
}

void TFExtrato::setVisible(bool visible)
{
    if (visible) prepararJanela(this);
    QDialog::setVisible(visible);
}

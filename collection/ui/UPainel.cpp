#include "collection/ui/UPainel.h"

#include "collection/Listas.h"
#include "collection/RelPainel.h"
#include "collection/ui/Exportar.h"
#include "collection/ui/Janela.h"
#include "collection/ui/TabelaModel.h"
#include "core/Dialogs.h"
#include "core/engine/EngineError.h"
#include "core/ui/PrepararJanela.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QDateEdit>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPageLayout>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScatterSeries>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

TFPainel::TFPainel(QWidget* parent) : QDialog(parent)
{
    setObjectName("FPainel");
    setWindowTitle("Painel de Cobrança");
    setWindowFlags(Qt::Window | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    resize(1100, 720);
    cobranca_ui::fundo(this);
    auto* layout = new QVBoxLayout(this);
    auto* filtros = new QHBoxLayout;
    Meses = new QSpinBox(this);
    Meses->setObjectName("Meses");
    Meses->setRange(1, 240);
    Meses->setValue(12);
    Ate = new QDateEdit(QDate::currentDate(), this);
    Ate->setObjectName("Ate");
    Ate->setDisplayFormat("MM/yyyy");
    cobranca_ui::rotulado(this, filtros, "&Meses:", Meses);
    cobranca_ui::rotulado(this, filtros, "&Até:", Ate);
    filtros->addStretch();
    layout->addLayout(filtros);
    auto* split = new QSplitter(Qt::Vertical, this);
    Grafico = new QChartView(split);
    Grafico->setObjectName("Grafico");
    Grafico->setRenderHint(QPainter::Antialiasing);
    Grafico->setMinimumHeight(300);
    Grafico->setAccessibleName("Gráfico dos valores enviados e recebidos e da taxa de cobrança");
    Grade = cobranca_ui::grade(split, "Grade");
    Grade->setAccessibleName("Meses do painel");
    model_ = new cobranca_ui::TabelaModel(this);
    Grade->setModel(model_);
    split->addWidget(Grafico);
    split->addWidget(Grade);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    layout->addWidget(split, 1);
    auto* bar = new QHBoxLayout;
    bar->addStretch();
    Btn_Visualizar = cobranca_ui::botao(this, bar, "Btn_Visualizar", "&Visualizar");
    Btn_Pdf = cobranca_ui::botao(this, bar, "Btn_Pdf", "Salvar &PDF…");
    Btn_Exportar = cobranca_ui::botaoExportar(this);
    bar->addWidget(Btn_Exportar);
    Btn_Fechar = cobranca_ui::botao(this, bar, "Btn_Fechar", "&Fechar");
    layout->addLayout(bar);

    connect(Meses, &QSpinBox::valueChanged, this, &TFPainel::atualizar);
    connect(Ate, &QDateEdit::dateChanged, this, &TFPainel::atualizar);
    connect(Btn_Fechar, &QPushButton::clicked, this, &QDialog::accept);
    connect(Btn_Exportar, &QPushButton::clicked, this, [this] {
        cobranca_ui::exportar("painel", [this] { return cobranca::planilhaPainel(meses_); });
    });
    connect(Btn_Pdf, &QPushButton::clicked, this, [this] {
        const QString path = dialogs::current().saveFileName("Salvar PDF", "painel.pdf",
                                                             "PDF (*.pdf)");
        if (path.isEmpty()) return;
        const report::PdfResult r = cobranca::gravarPainelPdf(path, meses_);
        if (r.ok)
            dialogs::current().message(dialogs::Kind::Information, "PDF gravado em " + path + ".");
        else
            dialogs::current().message(dialogs::Kind::Error, r.message);
    });
    connect(Btn_Visualizar, &QPushButton::clicked, this, [this] {
        QPrinter printer(QPrinter::HighResolution);
        printer.setFullPage(true);
        printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                          QMarginsF(0, 0, 0, 0)));
        QPrintPreviewDialog preview(&printer, this);
        preview.setWindowTitle("Painel de Cobrança");
        connect(&preview, &QPrintPreviewDialog::paintRequested, this,
                [this](QPrinter* p) { cobranca::desenharPainel(*p, meses_); });
        preview.exec();
    });
    atualizar();
}

void TFPainel::atualizar()
{
    try {
        meses_ = cobranca::painel(Meses->value(), Ate->date());
    } catch (const db::EngineError& e) {
        meses_.clear();
        dialogs::current().message(dialogs::Kind::Error, e.message());
    }
    QVector<QStringList> linhas;
    for (const cobranca::MesPainel& m : meses_) linhas << cobranca::linhaPainel(m);
    QVector<bool> direita(11, true);
    direita[0] = direita[10] = false;
    model_->setLinhas(cobranca::colunasPainel(), linhas, direita);
    Grade->resizeColumnsToContents();
    desenharGrafico();
}

void TFPainel::desenharGrafico()
{
    auto* chart = new QChart;
    chart->setTitle("Valores enviados e recebidos por mês, e a taxa de cobrança");
    auto* enviado = new QBarSet("Valor enviado");
    auto* recebido = new QBarSet("Valor recebido");
    enviado->setColor(QColor(70, 110, 180));
    recebido->setColor(QColor(70, 160, 90));
    auto* taxa = new QLineSeries;
    taxa->setName("Taxa de cobrança (%)");
    taxa->setColor(QColor(200, 50, 50));
    taxa->setPointsVisible(true);
    // A month alone has no line: its point must show by itself.
    taxa->setMarkerSize(QFontMetrics(font()).height() / 2.0);
    QStringList categorias;
    double maximo = 0;
    for (int i = 0; i < meses_.size(); ++i) {
        const cobranca::MesPainel& m = meses_.at(i);
        *enviado << m.enviados.valor;
        *recebido << m.recebidos.valor;
        maximo = std::max({maximo, m.enviados.valor, m.recebidos.valor});
        if (m.taxa) taxa->append(i, *m.taxa * 100);
        categorias << m.mes.toString("MM/yy");
    }
    auto* barras = new QBarSeries;
    barras->append(enviado);
    barras->append(recebido);
    chart->addSeries(barras);
    chart->addSeries(taxa);
    auto* eixoMeses = new QBarCategoryAxis;
    eixoMeses->append(categorias);
    chart->addAxis(eixoMeses, Qt::AlignBottom);
    barras->attachAxis(eixoMeses);
    // The line's points sit on the bars' categories: a hidden axis from -0.5 to n - 0.5.
    auto* eixoLinha = new QValueAxis;
    eixoLinha->setRange(-0.5, meses_.size() - 0.5);
    eixoLinha->setVisible(false);
    chart->addAxis(eixoLinha, Qt::AlignBottom);
    taxa->attachAxis(eixoLinha);
    auto* eixoValor = new QValueAxis;
    eixoValor->setRange(0, maximo > 0 ? maximo * 1.1 : 1);
    eixoValor->setLabelFormat("%.0f");
    eixoValor->setTitleText("Valor");
    chart->addAxis(eixoValor, Qt::AlignLeft);
    barras->attachAxis(eixoValor);
    auto* eixoTaxa = new QValueAxis;
    eixoTaxa->setRange(0, 100);
    eixoTaxa->setLabelFormat("%.0f%%");
    eixoTaxa->setTitleText("Taxa");
    chart->addAxis(eixoTaxa, Qt::AlignRight);
    taxa->attachAxis(eixoTaxa);
    chart->legend()->setAlignment(Qt::AlignBottom);
    QChart* old = Grafico->chart();
    Grafico->setChart(chart);
    delete old;
}

void abrirPainel(QWidget* parent)
{
    TFPainel window(parent);
    window.exec();
}

void TFPainel::setVisible(bool visible)
{
    if (visible) prepararJanela(this);
    QDialog::setVisible(visible);
}

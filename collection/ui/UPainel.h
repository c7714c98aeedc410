// The collection panel window "Painel de Cobrança": the last N months up to a chosen month,
// a chart of the amounts sent and received per month with the collection rate as a line, the
// table of the months below; previewed, printed, saved as PDF or exported.
#pragma once

#include "collection/Painel.h"

#include <QDialog>

class QChart;
class QChartView;
class QDateEdit;
class QPushButton;
class QSpinBox;
class QTableView;

namespace cobranca_ui { class TabelaModel; }

class TFPainel : public QDialog {
    Q_OBJECT
public:
    explicit TFPainel(QWidget* parent = nullptr);

    QSpinBox* Meses;       // default 12
    QDateEdit* Ate;        // the last month shown, MM/yyyy; the current one at first
    QChartView* Grafico;
    QTableView* Grade;
    QPushButton* Btn_Visualizar;
    QPushButton* Btn_Pdf;  // "Salvar &PDF…"
    QPushButton* Btn_Exportar;
    QPushButton* Btn_Fechar;

    void atualizar();
    const QVector<cobranca::MesPainel>& meses() const { return meses_; }

    // Before the first show: the layout scaled to the font, controls named (prepararJanela).
    void setVisible(bool visible) override;

private:
    void desenharGrafico();
    cobranca_ui::TabelaModel* model_;
    QVector<cobranca::MesPainel> meses_;
};

void abrirPainel(QWidget* parent);

// The arrears window "Inadimplentes": the members with at least N months returned since their
// last received one, by group, ordered by amount, months or name, with their count and total;
// previewed, printed or exported.
#pragma once

#include "collection/Inadimplentes.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableView;

namespace cobranca_ui { class TabelaModel; }

class TFInadimplentes : public QDialog {
    Q_OBJECT
public:
    explicit TFInadimplentes(QWidget* parent = nullptr);

    QSpinBox* Minimo;        // "Mínimo de meses"
    QComboBox* Grupo;        // "<< Todos >>" then the groups
    QComboBox* Ordem;        // "Valor", "Meses", "Nome"
    QTableView* Grade;
    QLabel* Totais;          // "N associado(s)   Valor total: X"
    QPushButton* Btn_Visualizar;
    QPushButton* Btn_Exportar;
    QPushButton* Btn_Fechar;

    // Reads the list again with the choices made.
    void atualizar();
    const cobranca::Inadimplencia& lista() const { return lista_; }

    // Before the first show: the layout scaled to the font, controls named (prepararJanela).
    void setVisible(bool visible) override;

private:
    cobranca_ui::TabelaModel* model_;
    cobranca::Inadimplencia lista_;
};

// The member's history window "Extrato do Associado": every month of one member, newest first,
// with the totals sent, received and returned; previewed, printed or exported.
#pragma once

#include "collection/Extrato.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableView;

namespace cobranca_ui { class TabelaModel; }

class TFExtrato : public QDialog {
    Q_OBJECT
public:
    TFExtrato(double assId, QWidget* parent = nullptr);

    QLabel* Associado;  // number, name, enrolment number, group
    QTableView* Grade;
    QLabel* Totais;     // "Enviado: X   Recebido: Y   Devolvido: Z"
    QPushButton* Btn_Visualizar;
    QPushButton* Btn_Exportar;
    QPushButton* Btn_Fechar;

    const cobranca::Extrato& extrato() const { return extrato_; }

    // Before the first show: the layout scaled to the font, controls named (prepararJanela).
    void setVisible(bool visible) override;

private:
    cobranca::Extrato extrato_;
};

// Opens the history of member `assId` modally (the members register's button).
void abrirExtrato(double assId, QWidget* parent);

// The return report's filter window "Filto de Relatório": the month, which rows print, and
// the preview or the print of TQRelRetorno over the consultation's TRet_Debito.
#pragma once

#include "remittance/FiltroRetorno.h"

#include <QDialog>

#include <functional>

namespace db { class Table; }

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TFRRetorno : public QDialog {
    Q_OBJECT
public:
    explicit TFRRetorno(QWidget* parent = nullptr);
    ~TFRRetorno() override;
    // Before the first show: the layout scaled to the font, controls named (prepararJanela).
    void setVisible(bool visible) override;

    QLabel* Label5;
    QLineEdit* Inicio;           // "Mês / Ano Inicial", mm/yyyy
    QLabel* Label7;
    QComboBox* CBMotivo;         // "Todos", "Com ...", "Sem Motivo de Devolução"
    QPushButton* Btn_Visualizar; // "&Visualizar": preview
    QPushButton* SpeedButton1;   // "&Imprimir": print at once
    QPushButton* SpeedButton2;   // "&Sair"
    QPushButton* Btn_Exportar;   // the rows the report would print, to a spreadsheet

    retorno::Motivo motivo() const;

    // Both report buttons: the month's range set (P1), the report previewed or printed (P2),
    // the range lifted (P3), the report freed (P4).
    void Btn_VisualizarClick(bool imprimir);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;  // centred on the screen

    // "Exportar…": the month's range set as for the report, its rows to a spreadsheet, the
    // range lifted.
    void exportar();

private:
    // P1, then `work` on the table within the month, then P3 whatever happens.
    void noMes(const std::function<void(db::Table&)>& work);
    void InicioChange();
    TFRRetorno* previous_;
};

// The filter window the report consults: the one shown from the consultation window while it
// is open, otherwise the one the start-up created.
extern TFRRetorno* FRRetorno;

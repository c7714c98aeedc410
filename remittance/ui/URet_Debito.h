// The return consultation window: the debits sent with their outcome, the door to the import
// and to the return report.
#pragma once

#include "core/ui/UFBasico.h"

class QPushButton;
class QFrame;
namespace components { class DBGrid; }

class TFRet_Debito : public TFBasico {
    Q_OBJECT
public:
    explicit TFRet_Debito(QWidget* parent = nullptr);
    ~TFRet_Debito() override;

    QFrame* Panel2;
    QPushButton* SpeedButton1;  // "&Importar arquivo de Retorno"
    QPushButton* SpeedButton2;  // "&Relatorio de Debitos"
    QPushButton* Btn_Inadimplentes;  // the arrears window
    QPushButton* Btn_Painel;         // the collection panel
    QPushButton* Btn_Exportar;       // the list to a spreadsheet
    QFrame* Panel1;
    components::DBGrid* DBGridDebito;

    void SpeedButton1Click();
    void SpeedButton2Click();  // the return report's filter, shown modally

protected:
    void closeEvent(QCloseEvent* event) override;
};

extern TFRet_Debito* FRet_Debito;

// Opens the module: data module, window shown modally, both freed.
void abrirRetDebito(QWidget* parent);

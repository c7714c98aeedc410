// The company parameters register "Cadastro de Parametros": the first row of PARAMETROS in
// name order, edited through data-aware edits; a navigator with only post and cancel.
#pragma once

#include "core/ui/UFBasico.h"

class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
namespace components { class DBEdit; class DBNavigator; }

class TFParametros : public TFBasico {
    Q_OBJECT
public:
    explicit TFParametros(QWidget* parent = nullptr);
    ~TFParametros() override;

    QFrame* Panel1;
    QFrame* Panel2;
    components::DBEdit* DBEdit1;   // EMP_NOME
    components::DBEdit* DBEdit2;   // EMP_CGC
    components::DBEdit* DBEdit3;   // EMP_ENDERECO
    components::DBEdit* DBEdit4;   // EMP_SETOR
    components::DBEdit* DBEdit5;   // EMP_CIDADE
    components::DBEdit* DBEdit6;   // EMP_CEP
    components::DBEdit* DBEdit7;   // EMP_FONE_1
    components::DBEdit* DBEdit8;   // EMP_FONE_2
    QGroupBox* GroupBox1;          // "Previ"
    components::DBEdit* DBEdit9;   // EMP_COD_VERBA_PREVI
    components::DBEdit* DBEdit10;  // EMP_COD_INT_PREVI
    components::DBEdit* DBEdit11;  // EMP_NR_REM_PREVI
    components::DBEdit* DBEdit12;  // EMP_DTA_CAD, shown only
    components::DBNavigator* DBNavigator1;
    QPushButton* SpeedButton1;     // "&Fechar"

    void SpeedButton1Click() { close(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

extern TFParametros* FParametros;

// Opens the module: DMParametros, the window shown modally, both freed.
void abrirParametros(QWidget* parent);

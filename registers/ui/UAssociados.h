// The members register "Cadastro de Cliente / Debitado": the members in name order, one at a
// time, with their group chosen from a list, the record navigator and its keys, and the door to
// the member search.
#pragma once

#include "components/DBNavigator.h"
#include "core/ui/UFBasico.h"

class QFrame;
class QPushButton;
namespace components { class DBEdit; class DBLookupComboBox; }

class TFAssociados : public TFBasico {
    Q_OBJECT
public:
    explicit TFAssociados(QWidget* parent = nullptr);
    ~TFAssociados() override;

    QFrame* Panel1;
    QFrame* Panel2;
    components::DBLookupComboBox* DBLookupComboBox1;  // "Grupo": ASS_GRP_ID from TGrupos
    components::DBEdit* DBEdit1;  // ASS_AGENCIA, mask "cccc-c"
    components::DBEdit* DBEdit2;  // ASS_NOME
    components::DBEdit* DBEdit5;  // ASS_MATRICULA
    components::DBEdit* DBEdit3;  // ASS_IDENTIFICADOR
    components::DBEdit* DBEdit4;  // ASS_DTA_CAD, shown only
    components::DBNavigator* Nav_Associados;
    QPushButton* SpeedButton2;    // the member search
    QPushButton* SpeedButton1;    // "&Fechar"
    QPushButton* Btn_Extrato;     // the current member's history

    // After an insert, by button or key, the focus goes to "Grupo".
    void Nav_AssociadosClick(components::DBNavigator::Button button);
    void SpeedButton2Click();
    void SpeedButton1Click() { close(); }

protected:
    void FormKeyDown(int& key, Qt::KeyboardModifiers shift) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

extern TFAssociados* FAssociados;

// Opens the module: DMAssociados, the window shown modally, both freed.
void abrirAssociados(QWidget* parent);

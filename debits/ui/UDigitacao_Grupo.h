// The bulk entry window TFDigitacao_Grupo, "Inserção de débitos por Grupo": one debit of the
// typed value, dated today, for every member of the chosen group.
#pragma once

#include "core/ui/UFBasico.h"

class QComboBox;
namespace db { class Table; }

// Fills `box` with the groups of `grupos` in its order: each GRP_DESCRICAO standing for its
// GRP_ID.
void preencherGrupos(QComboBox* box, db::Table& grupos);
class QLabel;
class QLineEdit;
class QPushButton;

class TFDigitacao_Grupo : public TFBasico {
    Q_OBJECT
public:
    explicit TFDigitacao_Grupo(QWidget* parent = nullptr);
    ~TFDigitacao_Grupo() override;

    QLabel* Label1;
    QComboBox* Look_Grupo;
    QLabel* Label2;
    QLineEdit* Edt_Valor;
    QPushButton* Btn_Busca;
    QPushButton* SpeedButton1;

    // Generates the debits and closes; bad input is told and nothing is written (the window
    // stays open for the correction).
    void Btn_BuscaClick();

private:
    void FormCreate();
};

// The remittance window: the debit date, the generate button and the progress bar.
#pragma once

#include "core/ui/UFBasico.h"

class QDateEdit;
class QLabel;
class QProgressBar;
class QPushButton;

class TFRemessa_Previ : public TFBasico {
    Q_OBJECT
public:
    explicit TFRemessa_Previ(QWidget* parent = nullptr);
    ~TFRemessa_Previ() override;

    QLabel* Label1;
    QDateEdit* Data_Remessa;
    QProgressBar* Progress;
    QPushButton* Btn_Gerar;
    QPushButton* SpeedButton1;
    QPushButton* Btn_Desfazer;  // "&Desfazer a última remessa"

    void Btn_GerarClick();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();
    // The check before a remittance: its list of problems shown, if any. True when the
    // generation may go on (nothing stops it and the operator chose "Gerar mesmo assim").
    bool verificarAntes();
};

extern TFRemessa_Previ* FRemessa_Previ;

// Opens the module: data module, window shown modally, both freed.
void abrirRemessaPrevi(QWidget* parent);

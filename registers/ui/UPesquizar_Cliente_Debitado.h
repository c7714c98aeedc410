// The member search of the members register: OK brings the register to the chosen member,
// finishing its pending change first; Cancel only closes.
#pragma once

#include "registers/ui/UPesquizar.h"

class TFPesquizar_Cliente_Debitado : public TFPesquizar {
    Q_OBJECT
public:
    // Searches DMAssociados.TBusca_Associados; the target is DMAssociados.TAssociados.
    explicit TFPesquizar_Cliente_Debitado(QWidget* parent = nullptr);
    ~TFPesquizar_Cliente_Debitado() override;

    void Btn_OKClick() override;
    void SpeedButton2Click() override { close(); }
};

extern TFPesquizar_Cliente_Debitado* FPesquizar_Cliente_Debitado;

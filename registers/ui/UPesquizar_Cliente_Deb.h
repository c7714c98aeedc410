// The member search of the debit entry: OK (button or double-click on a row) gives a new debit
// its member or brings the debit table to the member's first debit; Cancel drops the debit
// being entered or undoes its edit.
#pragma once

#include "registers/ui/UPesquizar.h"

class TFPesquizar_Cliente_Deb : public TFPesquizar {
    Q_OBJECT
public:
    // Searches DMDebito.TBusca_Associados; the target is DMDebito.TDebito.
    explicit TFPesquizar_Cliente_Deb(QWidget* parent = nullptr);
    ~TFPesquizar_Cliente_Deb() override;

    void Btn_OKClick() override;
    void SpeedButton2Click() override;
};

extern TFPesquizar_Cliente_Deb* FPesquizar_Cliente_Deb;

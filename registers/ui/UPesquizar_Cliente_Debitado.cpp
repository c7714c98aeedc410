#include "registers/ui/UPesquizar_Cliente_Debitado.h"

#include "core/dm/UDMAssociados.h"

TFPesquizar_Cliente_Debitado* FPesquizar_Cliente_Debitado = nullptr;

TFPesquizar_Cliente_Debitado::TFPesquizar_Cliente_Debitado(QWidget* parent)
    : TFPesquizar(DMAssociados ? DMAssociados->DsTBusca_Associados : nullptr, parent)
{
    setObjectName("FPesquizar_Cliente_Debitado");
    FPesquizar_Cliente_Debitado = this;
}

TFPesquizar_Cliente_Debitado::~TFPesquizar_Cliente_Debitado()
{
    if (FPesquizar_Cliente_Debitado == this) FPesquizar_Cliente_Debitado = nullptr;
}

void TFPesquizar_Cliente_Debitado::Btn_OKClick()
{
    if (!search_ || !DMAssociados) return;
    const QVariant member = search_->currentMember();
    // A register change that cannot be posted keeps the dialog open with its error.
    if (guarded([&] { registers::handBackToRegister(member, *DMAssociados->TAssociados); }))
        close();
}

#include "registers/ui/UPesquizar_Cliente_Deb.h"

#include "components/DBGrid.h"
#include "core/dm/UDMDebito.h"

TFPesquizar_Cliente_Deb* FPesquizar_Cliente_Deb = nullptr;

TFPesquizar_Cliente_Deb::TFPesquizar_Cliente_Deb(QWidget* parent)
    : TFPesquizar(DMDebito ? DMDebito->DsTBusca_Associados : nullptr, parent)
{
    setObjectName("FPesquizar_Cliente_Deb");
    connect(DBGrid1, &QAbstractItemView::doubleClicked, this, [this] { Btn_OKClick(); });
    FPesquizar_Cliente_Deb = this;
}

TFPesquizar_Cliente_Deb::~TFPesquizar_Cliente_Deb()
{
    if (FPesquizar_Cliente_Deb == this) FPesquizar_Cliente_Deb = nullptr;
}

void TFPesquizar_Cliente_Deb::Btn_OKClick()
{
    if (!search_ || !DMDebito) return;
    const QVariant member = search_->currentMember();
    if (guarded([&] { registers::handBackToDebit(member, *DMDebito->TDebito); })) close();
}

void TFPesquizar_Cliente_Deb::SpeedButton2Click()
{
    if (DMDebito) guarded([] { registers::dropPendingDebit(*DMDebito->TDebito); });
    close();
}

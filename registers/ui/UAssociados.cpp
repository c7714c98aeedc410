#include "registers/ui/UAssociados.h"

#include "collection/ui/UExtrato.h"
#include "components/DBEdit.h"
#include "components/DBLookupComboBox.h"
#include "components/DBNavigator.h"
#include "core/dm/UDMAssociados.h"
#include "core/ui/ModuleOpener.h"
#include "registers/ui/RegisterLook.h"
#include "registers/ui/UPesquizar_Cliente_Debitado.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

TFAssociados* FAssociados = nullptr;

namespace {

components::DBEdit* edit(QWidget* parent, const char* name, const char* field)
{
    return registers_ui::dataEdit(parent, name,
                                  DMAssociados ? DMAssociados->DsTAssociados : nullptr, field);
}

}  // namespace

TFAssociados::TFAssociados(QWidget* parent) : TFBasico(parent)
{
    using B = components::DBNavigator::Button;
    setObjectName("FAssociados");
    setWindowTitle("Cadastro de Cliente / Debitado");
    registers_ui::frameWindow(this, 354, 271, &Panel1, &Panel2);

    DBLookupComboBox1 = new components::DBLookupComboBox(Panel1);
    DBLookupComboBox1->setObjectName("DBLookupComboBox1");
    DBEdit1 = edit(Panel1, "DBEdit1", "ASS_AGENCIA");
    DBEdit2 = edit(Panel1, "DBEdit2", "ASS_NOME");
    DBEdit5 = edit(Panel1, "DBEdit5", "ASS_MATRICULA");
    DBEdit3 = edit(Panel1, "DBEdit3", "ASS_IDENTIFICADOR");
    DBEdit4 = edit(Panel1, "DBEdit4", "ASS_DTA_CAD");
    DBEdit4->setEnabled(false);

    // Labels above their controls, top to bottom as the operator reads them.
    auto* grid = new QGridLayout(Panel1);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setVerticalSpacing(1);
    struct Row { const char* caption; QWidget* control; };
    const Row rows[] = {{"Grupo", DBLookupComboBox1},  {"Agência:", DBEdit1},
                        {"Cliente / Debitado", DBEdit2}, {"Matricula", DBEdit5},
                        {"Indentificador", DBEdit3},    {"Dt. Cad.", DBEdit4}};
    int r = 0;
    for (const Row& row : rows) {
        auto* l = new QLabel(QString::fromUtf8(row.caption), Panel1);
        l->setBuddy(row.control);
        grid->addWidget(l, r++, 0);
        grid->addWidget(row.control, r++, 0);
    }
    grid->setRowStretch(r, 1);
    DBEdit1->setMaximumWidth(80);
    DBEdit5->setMaximumWidth(100);
    DBEdit3->setMaximumWidth(100);
    DBEdit4->setMaximumWidth(90);

    Nav_Associados = new components::DBNavigator(Panel2);
    Nav_Associados->setObjectName("Nav_Associados");
    Nav_Associados->setVisibleButtons({B::First, B::Prior, B::Next, B::Last, B::Insert, B::Delete,
                                       B::Post, B::Cancel});
    SpeedButton2 = registers_ui::flatButton(Panel2, "SpeedButton2", QString(),
                                            QStyle::SP_FileDialogContentsView);
    SpeedButton2->setToolTip("Pesquizar Cliente / Debitado");
    SpeedButton1 = registers_ui::flatButton(Panel2, "SpeedButton1", "&Fechar",
                                            QStyle::SP_DialogCloseButton);
    SpeedButton1->setToolTip("Fechar o Cadastro de Cliente / Debitado");
    auto* bar = new QHBoxLayout(Panel2);
    bar->setContentsMargins(4, 2, 4, 2);
    bar->addWidget(Nav_Associados);
    bar->addWidget(SpeedButton2);
    Btn_Extrato = registers_ui::flatButton(Panel2, "Btn_Extrato", "E&xtrato",
                                           QStyle::SP_FileDialogDetailedView);
    Btn_Extrato->setToolTip("Extrato do associado: os meses enviados e o que voltou de cada um");
    bar->addWidget(Btn_Extrato);
    bar->addStretch();
    bar->addWidget(SpeedButton1);
    connect(SpeedButton1, &QPushButton::clicked, this, &TFAssociados::SpeedButton1Click);
    connect(SpeedButton2, &QPushButton::clicked, this, &TFAssociados::SpeedButton2Click);
    connect(Btn_Extrato, &QPushButton::clicked, this, [this] {
        if (!DMAssociados || DMAssociados->TAssociados->isEmpty()) return;
        const QVariant id = DMAssociados->TAssociados->fieldByName("ASS_ID").value();
        if (id.isValid()) abrirExtrato(id.toDouble(), this);
    });
    connect(Nav_Associados, &components::DBNavigator::clicked, this,
            &TFAssociados::Nav_AssociadosClick);

    // The enrolment number comes last although it stands above the identifier.
    setTabOrder(DBLookupComboBox1, DBEdit1);
    setTabOrder(DBEdit1, DBEdit2);
    setTabOrder(DBEdit2, DBEdit3);
    setTabOrder(DBEdit3, DBEdit5);
    setTabOrder(DBEdit5, SpeedButton2);
    setTabOrder(SpeedButton2, SpeedButton1);
    FAssociados = this;

    if (!DMAssociados) return;
    DBLookupComboBox1->setListSource(DMAssociados->DsTGrupos, "GRP_DESCRICAO", "GRP_ID");
    DBLookupComboBox1->setDataSource(DMAssociados->DsTAssociados, "ASS_GRP_ID");
    Nav_Associados->setDataSource(DMAssociados->DsTAssociados);
    DMAssociados->TAssociados->open();
    DMAssociados->TGrupos->open();
}

TFAssociados::~TFAssociados()
{
    if (FAssociados == this) FAssociados = nullptr;
}

void TFAssociados::Nav_AssociadosClick(components::DBNavigator::Button button)
{
    if (button == components::DBNavigator::Button::Insert)
        DBLookupComboBox1->setFocus(Qt::OtherFocusReason);
}

void TFAssociados::SpeedButton2Click()
{
    TFPesquizar_Cliente_Debitado dialog(this);
    dialog.exec();
}

void TFAssociados::FormKeyDown(int& key, Qt::KeyboardModifiers shift)
{
    Controla_Davegador(DMAssociados ? DMAssociados->TAssociados : nullptr, Nav_Associados, shift,
                       key);
}

void TFAssociados::closeEvent(QCloseEvent* event)
{
    if (DMAssociados) {
        DMAssociados->TAssociados->close();
        DMAssociados->TGrupos->close();
        DMAssociados->TBusca_Associados->close();
    }
    TFBasico::closeEvent(event);
}

void TFAssociados::keyPressEvent(QKeyEvent* event)
{
    if (registers_ui::isDialogKey(event)) return;
    TFBasico::keyPressEvent(event);
}

void abrirAssociados(QWidget* parent) { openModule<TDMAssociados, TFAssociados>(parent); }

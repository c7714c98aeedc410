#include "registers/ui/UGrupo.h"

#include "components/DBEdit.h"
#include "components/DBNavigator.h"
#include "core/dm/UDmGrupo.h"
#include "core/ui/ModuleOpener.h"
#include "registers/GroupMembers.h"
#include "registers/ui/RegisterLook.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

TFGrupo* FGrupo = nullptr;

TFGrupo::TFGrupo(QWidget* parent) : TFBasico(parent)
{
    using B = components::DBNavigator::Button;
    setObjectName("FGrupo");
    setWindowTitle("Cadastro de Grupos");
    registers_ui::frameWindow(this, 418, 172, &Panel1, &Panel2);
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);

    DBEdit1 = new components::DBEdit(Panel1);
    DBEdit1->setObjectName("DBEdit1");
    DBEdit1->setFrame(false);
    DBEdit2 = new components::DBEdit(Panel1);
    DBEdit2->setObjectName("DBEdit2");
    DBEdit2->setFrame(false);
    DBEdit2->setEnabled(false);
    auto* description = new QLabel(QString::fromUtf8("Descrição"), Panel1);
    description->setBuddy(DBEdit1);
    auto* date = new QLabel("Dt. Cad.", Panel1);
    auto* grid = new QGridLayout(Panel1);
    grid->setContentsMargins(8, 8, 8, 8);
    grid->addWidget(description, 0, 0, 1, 2);
    grid->addWidget(DBEdit1, 1, 0, 1, 2);
    grid->addWidget(date, 2, 0);
    grid->addWidget(DBEdit2, 2, 1, Qt::AlignLeft);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(3, 1);
    DBEdit2->setMaximumWidth(90);

    DBNavigator1 = new components::DBNavigator(Panel2);
    DBNavigator1->setObjectName("DBNavigator1");
    DBNavigator1->setVisibleButtons({B::First, B::Prior, B::Next, B::Last, B::Insert, B::Delete,
                                     B::Post, B::Cancel});
    SpeedButton1 = registers_ui::flatButton(Panel2, "SpeedButton1", "&Fechar",
                                            QStyle::SP_DialogCloseButton);
    SpeedButton1->setToolTip("Fechar o Cadastro de Grupos");
    auto* bar = new QHBoxLayout(Panel2);
    bar->setContentsMargins(4, 2, 4, 2);
    bar->addWidget(DBNavigator1);
    bar->addStretch();
    bar->addWidget(SpeedButton1);
    connect(SpeedButton1, &QPushButton::clicked, this, &TFGrupo::SpeedButton1Click);
    FGrupo = this;

    if (!DmGrupo) return;
    DBEdit1->setDataSource(DmGrupo->DsTGrupo);
    DBEdit1->setDataField("GRP_DESCRICAO");
    DBEdit2->setDataSource(DmGrupo->DsTGrupo);
    DBEdit2->setDataField("GRP_DTA_CAD");
    DBNavigator1->setDataSource(DmGrupo->DsTGrupo);
    DBNavigator1->beforeDelete = registers::checkGroupDeletable;
    DmGrupo->TGrupo->open();
}

TFGrupo::~TFGrupo()
{
    if (FGrupo == this) FGrupo = nullptr;
}

void TFGrupo::FormKeyDown(int& key, Qt::KeyboardModifiers shift)
{
    Controla_Davegador(DmGrupo ? DmGrupo->TGrupo : nullptr, DBNavigator1, shift, key);
}

void TFGrupo::closeEvent(QCloseEvent* event)
{
    if (DmGrupo) DmGrupo->TGrupo->close();
    TFBasico::closeEvent(event);
}

void TFGrupo::keyPressEvent(QKeyEvent* event)
{
    if (registers_ui::isDialogKey(event)) return;
    TFBasico::keyPressEvent(event);
}

void abrirGrupo(QWidget* parent) { openModule<TDmGrupo, TFGrupo>(parent); }

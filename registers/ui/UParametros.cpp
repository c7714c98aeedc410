#include "registers/ui/UParametros.h"

#include "components/DBEdit.h"
#include "components/DBNavigator.h"
#include "core/dm/UDMParametros.h"
#include "core/ui/ModuleOpener.h"
#include "registers/ui/RegisterLook.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

TFParametros* FParametros = nullptr;

namespace {

components::DBEdit* edit(QWidget* parent, const char* name, const char* field)
{
    return registers_ui::dataEdit(parent, name, DMParametros ? DMParametros->DsTParametros : nullptr,
                                  field);
}

QLabel* label(QWidget* parent, const char* text, QWidget* buddy)
{
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setBuddy(buddy);
    return l;
}

}  // namespace

TFParametros::TFParametros(QWidget* parent) : TFBasico(parent)
{
    setObjectName("FParametros");
    setWindowTitle("Cadastro de Parametros");
    registers_ui::frameWindow(this, 369, 327, &Panel1, &Panel2);

    DBEdit1 = edit(Panel1, "DBEdit1", "EMP_NOME");
    DBEdit2 = edit(Panel1, "DBEdit2", "EMP_CGC");
    DBEdit3 = edit(Panel1, "DBEdit3", "EMP_ENDERECO");
    DBEdit4 = edit(Panel1, "DBEdit4", "EMP_SETOR");
    DBEdit5 = edit(Panel1, "DBEdit5", "EMP_CIDADE");
    DBEdit6 = edit(Panel1, "DBEdit6", "EMP_CEP");
    DBEdit7 = edit(Panel1, "DBEdit7", "EMP_FONE_1");
    DBEdit8 = edit(Panel1, "DBEdit8", "EMP_FONE_2");
    GroupBox1 = new QGroupBox("Previ", Panel1);
    GroupBox1->setObjectName("GroupBox1");
    DBEdit9 = edit(GroupBox1, "DBEdit9", "EMP_COD_VERBA_PREVI");
    DBEdit10 = edit(GroupBox1, "DBEdit10", "EMP_COD_INT_PREVI");
    DBEdit11 = edit(GroupBox1, "DBEdit11", "EMP_NR_REM_PREVI");
    DBEdit12 = edit(Panel1, "DBEdit12", "EMP_DTA_CAD");
    DBEdit12->setEnabled(false);

    auto* grid = new QGridLayout(Panel1);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setVerticalSpacing(3);
    grid->addWidget(label(Panel1, "Nome Empresa", DBEdit1), 0, 0);
    grid->addWidget(DBEdit1, 0, 1, 1, 3);
    grid->addWidget(label(Panel1, "CGC", DBEdit2), 1, 0);
    grid->addWidget(DBEdit2, 1, 1, 1, 3);
    grid->addWidget(label(Panel1, "Endereço", DBEdit3), 2, 0);
    grid->addWidget(DBEdit3, 2, 1, 1, 3);
    grid->addWidget(label(Panel1, "Setor", DBEdit4), 3, 0);
    grid->addWidget(DBEdit4, 3, 1);
    grid->addWidget(label(Panel1, "Cidade", DBEdit5), 3, 2);
    grid->addWidget(DBEdit5, 3, 3);
    grid->addWidget(label(Panel1, "Cep", DBEdit6), 4, 0);
    grid->addWidget(DBEdit6, 4, 1);
    grid->addWidget(label(Panel1, "Fone 1", DBEdit7), 4, 2);
    grid->addWidget(DBEdit7, 4, 3);
    grid->addWidget(label(Panel1, "Fone 2", DBEdit8), 5, 0);
    grid->addWidget(DBEdit8, 5, 1);
    auto* previ = new QGridLayout(GroupBox1);
    previ->setContentsMargins(6, 4, 6, 4);
    previ->addWidget(label(GroupBox1, "Cod. Verba", DBEdit9), 0, 0);
    previ->addWidget(DBEdit9, 0, 1);
    previ->addWidget(label(GroupBox1, "Cod. Interface", DBEdit10), 0, 2);
    previ->addWidget(DBEdit10, 0, 3);
    previ->addWidget(label(GroupBox1, "Nr. Remessa", DBEdit11), 1, 0);
    previ->addWidget(DBEdit11, 1, 1);
    grid->addWidget(GroupBox1, 6, 0, 1, 4);
    grid->addWidget(label(Panel1, "Dt. Cad.", DBEdit12), 7, 0);
    grid->addWidget(DBEdit12, 7, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    DBNavigator1 = new components::DBNavigator(Panel2);
    DBNavigator1->setObjectName("DBNavigator1");
    DBNavigator1->setVisibleButtons({components::DBNavigator::Button::Post,
                                     components::DBNavigator::Button::Cancel});
    SpeedButton1 = registers_ui::flatButton(Panel2, "SpeedButton1", "&Fechar",
                                            QStyle::SP_DialogCloseButton);
    auto* bar = new QHBoxLayout(Panel2);
    bar->setContentsMargins(4, 2, 4, 2);
    bar->addWidget(DBNavigator1);
    bar->addStretch();
    bar->addWidget(SpeedButton1);
    connect(SpeedButton1, &QPushButton::clicked, this, &TFParametros::SpeedButton1Click);

    setTabOrder(DBEdit1, DBEdit2);
    setTabOrder(DBEdit2, DBEdit3);
    setTabOrder(DBEdit3, DBEdit4);
    setTabOrder(DBEdit4, DBEdit5);
    setTabOrder(DBEdit5, DBEdit6);
    setTabOrder(DBEdit6, DBEdit7);
    setTabOrder(DBEdit7, DBEdit8);
    setTabOrder(DBEdit8, DBEdit9);
    setTabOrder(DBEdit9, DBEdit10);
    setTabOrder(DBEdit10, DBEdit11);
    setTabOrder(DBEdit11, SpeedButton1);
    FParametros = this;

    if (!DMParametros) return;
    DBNavigator1->setDataSource(DMParametros->DsTParametros);
    DMParametros->TParametros->open();  // primary key order: the first company name
}

TFParametros::~TFParametros()
{
    if (FParametros == this) FParametros = nullptr;
}

void TFParametros::closeEvent(QCloseEvent* event)
{
    if (DMParametros) DMParametros->TParametros->close();
    TFBasico::closeEvent(event);
}

void TFParametros::keyPressEvent(QKeyEvent* event)
{
    if (registers_ui::isDialogKey(event)) return;
    TFBasico::keyPressEvent(event);
}

void abrirParametros(QWidget* parent) { openModule<TDMParametros, TFParametros>(parent); }

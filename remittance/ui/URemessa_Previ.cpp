#include "remittance/ui/URemessa_Previ.h"

#include "core/Dialogs.h"
#include "core/MainRoutines.h"
#include "core/dm/UDMRemessa_Previ.h"
#include "core/engine/EngineError.h"
#include "core/ui/ModuleOpener.h"
#include "remittance/GerarRemessa.h"
#include "remittance/VerificarRemessa.h"
#include "remittance/ui/DesfazerRemessaUi.h"
#include "remittance/RemessaRecords.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateEdit>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>

#include <cmath>

TFRemessa_Previ* FRemessa_Previ = nullptr;

TFRemessa_Previ::TFRemessa_Previ(QWidget* parent) : TFBasico(parent)
{
    setObjectName("FRemessa_Previ");
    setWindowTitle("Remessa Previ");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    setFixedSize(330, 190);
    Label1 = new QLabel("Dt. para Débito:", this);
    Label1->move(16, 20);
    Data_Remessa = new QDateEdit(this);
    Data_Remessa->setObjectName("Data_Remessa");
    Data_Remessa->setCalendarPopup(true);
    Data_Remessa->setDisplayFormat("dd/MM/yyyy");
    Data_Remessa->setGeometry(120, 16, 120, 24);
    Progress = new QProgressBar(this);
    Progress->setObjectName("Progress");
    Progress->setRange(0, 100);
    Progress->setGeometry(16, 56, 298, 20);
    Btn_Gerar = new QPushButton("&Gerar Remessa", this);
    Btn_Gerar->setObjectName("Btn_Gerar");
    Btn_Gerar->setFlat(true);
    Btn_Gerar->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    Btn_Gerar->setGeometry(16, 96, 140, 36);
    SpeedButton1 = new QPushButton("&Fechar", this);
    SpeedButton1->setObjectName("SpeedButton1");
    SpeedButton1->setFlat(true);
    SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    SpeedButton1->setGeometry(174, 96, 140, 36);
    Btn_Desfazer = new QPushButton("&Desfazer a última remessa", this);
    Btn_Desfazer->setObjectName("Btn_Desfazer");
    Btn_Desfazer->setFlat(true);
    Btn_Desfazer->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    Btn_Desfazer->setGeometry(16, 142, 298, 32);
    connect(Btn_Desfazer, &QPushButton::clicked, this, &remessa_ui::desfazerUltimaRemessa);
    connect(Btn_Gerar, &QPushButton::clicked, this, &TFRemessa_Previ::Btn_GerarClick);
    connect(SpeedButton1, &QPushButton::clicked, this, &QWidget::close);
    FRemessa_Previ = this;
    FormCreate();
}

TFRemessa_Previ::~TFRemessa_Previ()
{
    if (FRemessa_Previ == this) FRemessa_Previ = nullptr;
}

void TFRemessa_Previ::FormCreate()
{
    if (!DMRemessa_Previ) return;
    DMRemessa_Previ->TParametros->open();
    DMRemessa_Previ->TDebito->open();
    DMRemessa_Previ->TAssociados->open();
    DMRemessa_Previ->TRet_Debito->open();
}

void TFRemessa_Previ::FormShow()
{
    Progress->setValue(0);
    Data_Remessa->setDate(QDate::currentDate());
}

void TFRemessa_Previ::FormClose()
{
    if (!DMRemessa_Previ) return;
    DMRemessa_Previ->TParametros->close();
    DMRemessa_Previ->TDebito->close();
    DMRemessa_Previ->TAssociados->close();
    DMRemessa_Previ->TRet_Debito->close();
}

void TFRemessa_Previ::showEvent(QShowEvent* event)
{
    FormShow();
    TFBasico::showEvent(event);
}

void TFRemessa_Previ::closeEvent(QCloseEvent* event)
{
    FormClose();
    TFBasico::closeEvent(event);
}

void TFRemessa_Previ::Btn_GerarClick()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Restore {
        ~Restore() { QApplication::restoreOverrideCursor(); }
    } restore;
    try {
        Apagar_Duplicacoes_Retorno();
    } catch (const db::EngineError& e) {
        dialogs::current().message(dialogs::Kind::Error, e.message());
        return;
    }
    if (!verificarAntes()) return;
    Progress->setValue(0);
    qint64 number = 0;
    if (DMRemessa_Previ && DMRemessa_Previ->TParametros->active())
        number = std::llround(
            DMRemessa_Previ->TParametros->fieldByName("EMP_NR_REM_PREVI").asFloat());
    const QString path = dialogs::current().saveFileName("Onde Salvar a Remessa ?",
                                                         remessa::proposedFileName(number));
    if (path.isEmpty()) return;
    Btn_Gerar->setEnabled(false);
    int shown = 0;
    const remessa::Outcome o = remessa::GerarArquivo(
        path, Data_Remessa->date(), QDate::currentDate(), [&](int position, int maximum) {
            if (Progress->maximum() != maximum) Progress->setMaximum(maximum);
            Progress->setValue(position);
            if (++shown % 64 == 0)
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        });
    switch (o.kind) {
    case remessa::Outcome::Kind::Done:
        dialogs::current().message(dialogs::Kind::Information, o.summary.join("\n"));
        break;
    case remessa::Outcome::Kind::NoDebits:
        dialogs::current().message(dialogs::Kind::Information, o.message);
        break;
    case remessa::Outcome::Kind::CannotCreate:
        dialogs::current().message(dialogs::Kind::Plain, o.message);
        break;
    case remessa::Outcome::Kind::NameTooLong:
    case remessa::Outcome::Kind::Failed:
        dialogs::current().message(dialogs::Kind::Error, o.message);
        break;
    }
    close();
}

bool TFRemessa_Previ::verificarAntes()
{
    remessa::Verificacao v;
    try {
        v = remessa::verificarRemessa(Data_Remessa->date());
    } catch (const db::EngineError& e) {
        dialogs::current().message(dialogs::Kind::Error, e.message());
        return false;
    }
    if (v.problemas.isEmpty() && v.comparacao.isEmpty()) return true;
    const QString title = "Verificação da Remessa";
    const QString list = (v.linhas() + v.comparacao).join("\n");
    if (!v.podeGerar())
        return dialogs::current().review("A remessa não pode ser gerada como está. Corrija os "
                                         "problemas marcados \"Impede\":\n\n" + list,
                                         {}, title);
    return dialogs::current().review("Antes de gerar a remessa, veja:\n\n" + list,
                                     v.problemas.isEmpty() ? "Gerar a remessa"
                                                           : "Gerar mesmo assim",
                                     title);
}

void abrirRemessaPrevi(QWidget* parent) { openModule<TDMRemessa_Previ, TFRemessa_Previ>(parent); }

#include "legacy_import/ui/UImport.h"

#include "core/Dialogs.h"
#include "legacy_import/ImportarLegado.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>

TFImport* FImport = nullptr;

TFImport::TFImport(QWidget* parent) : TFBasico(parent)
{
    setObjectName("FImport");
    setWindowTitle("Importar Dados");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(455, 214);
    LStatus = new QLabel("Status:", this);
    LStatus->setObjectName("LStatus");
    LStatus->setGeometry(16, 24, 423, 20);
    Progress = new QProgressBar(this);
    Progress->setObjectName("Progress");
    Progress->setRange(0, 100);
    Progress->setValue(0);
    Progress->setGeometry(16, 56, 423, 22);
    SpeedButton1 = new QPushButton("&Importar", this);
    SpeedButton1->setObjectName("SpeedButton1");
    SpeedButton1->setFlat(true);
    SpeedButton1->setGeometry(96, 140, 120, 40);
    SpeedButton2 = new QPushButton("&Sair", this);
    SpeedButton2->setObjectName("SpeedButton2");
    SpeedButton2->setFlat(true);
    SpeedButton2->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    SpeedButton2->setGeometry(240, 140, 120, 40);
    connect(SpeedButton1, &QPushButton::clicked, this, &TFImport::SpeedButton1Click);
    connect(SpeedButton2, &QPushButton::clicked, this, &QWidget::close);
    FormCreate();
    FImport = this;
}

TFImport::~TFImport()
{
    if (FImport == this) FImport = nullptr;
}

void TFImport::FormCreate() { importacao_ = std::make_unique<legado::TImportacao>(); }

void TFImport::FormClose() { importacao_.reset(); }

void TFImport::closeEvent(QCloseEvent* event)
{
    // The import runs on this thread and lets paint events through: the window stays until
    // it ends.
    if (importando_) {
        event->ignore();
        return;
    }
    FormClose();
    TFBasico::closeEvent(event);
}

void TFImport::SpeedButton1Click()
{
    if (!importacao_ || importando_) return;
    importando_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    legado::Fase fase = legado::Fase::Associados;
    bool first = true;
    int shown = 0;
    const legado::Resultado r = importacao_->executar(
        [&](legado::Fase f, int position, int maximum) {
            if (first || f != fase) {
                first = false;
                fase = f;
                Progress->setValue(0);
                LStatus->setText(f == legado::Fase::Grupos ? "Importado Grupos"
                                                           : "Importado Associados");
                // An empty table keeps the bar at its start (a range of 0 to 0 would animate).
                Progress->setMaximum(std::max(maximum, 1));
                repaint();
            }
            Progress->setValue(position);
            if (++shown % 64 == 0)
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        });
    QApplication::restoreOverrideCursor();
    importando_ = false;
    if (!r.erro.isEmpty()) dialogs::current().message(dialogs::Kind::Error, r.erro);
    else dialogs::current().message(dialogs::Kind::Plain, "Processo Concluido");
}

void abrirImport(QWidget* parent)
{
    auto window = std::make_unique<TFImport>(parent);
    window->exec();
}

#include "core/ui/UTolmare.h"

#include "core/Dialogs.h"
#include "core/MainRoutines.h"
#include "core/dm/UDMTolmare.h"
#include "core/engine/EngineError.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

TFTolmare* FTolmare = nullptr;

namespace {

QHash<QString, TFTolmare::ModuleOpener>& openers()
{
    static QHash<QString, TFTolmare::ModuleOpener> map;
    return map;
}

QFrame* panel(QWidget* parent, const QString& name)
{
    auto* p = new QFrame(parent);
    p->setObjectName(name);
    p->setFrameStyle(QFrame::NoFrame);
    return p;
}

}  // namespace

void TFTolmare::setOpener(const QString& buttonName, ModuleOpener opener)
{
    openers().insert(buttonName, std::move(opener));
}

bool TFTolmare::hasOpener(const QString& buttonName) { return openers().contains(buttonName); }

TFTolmare::TFTolmare(QWidget* parent) : TFBasico(parent)
{
    setObjectName("FTolmare");
    setWindowTitle("Tolmare");
    setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    resize(695, 541);
    setMinimumSize(660, 600);

    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setHandleWidth(4);
    outer->addWidget(Splitter1);

    Panel1 = panel(Splitter1, "Panel1");
    auto* left = new QVBoxLayout(Panel1);
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(0);
    Panel3 = panel(Panel1, "Panel3");
    Panel3->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel3->setFixedHeight(119);
    auto* top = new QVBoxLayout(Panel3);
    top->setContentsMargins(0, 0, 0, 0);
    Image1 = new QLabel(Panel3);
    Image1->setObjectName("Image1");
    top->addWidget(Image1);
    Panel4 = panel(Panel1, "Panel4");
    left->addWidget(Panel3);
    left->addWidget(Panel4, 1);

    Panel2 = panel(Splitter1, "Panel2");
    auto* right = new QVBoxLayout(Panel2);
    right->setContentsMargins(0, 0, 0, 0);
    PageControl1 = new QTabWidget(Panel2);
    PageControl1->setObjectName("PageControl1");
    PageControl1->setDocumentMode(true);
    right->addWidget(PageControl1);
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName("TabSheet1");
    PageControl1->addTab(TabSheet1, "Adm. Sistema");
    Splitter1->addWidget(Panel1);
    Splitter1->addWidget(Panel2);
    Splitter1->setSizes({247, 444});
    Splitter1->setStretchFactor(1, 1);

    struct B { QPushButton** field; const char* name; const char* caption; };
    const B buttons[] = {
        {&SpeedButton7, "SpeedButton7", "&Importar Dados"},
        {&SpeedButton8, "SpeedButton8", "Backup"},
        {&Btn_Parametros, "Btn_Parametros", "Cad. &Parâmetros"},
        {&SpeedButton4, "SpeedButton4", "Cad. &Grupo"},
        {&SpeedButton2, "SpeedButton2", "Cad. &Associados"},
        {&SpeedButton3, "SpeedButton3", "Cad. &Débito"},
        {&SpeedButton5, "SpeedButton5", "Gerar &Remessa Previ"},
        {&SpeedButton6, "SpeedButton6", "&Consultar Retorno Previ"},
        {&SpeedButton1, "SpeedButton1", "&Sair"},
    };
    int y = 0;
    for (const B& b : buttons) {
        auto* button = new QPushButton(QString::fromUtf8(b.caption), TabSheet1);
        button->setObjectName(b.name);
        button->setFlat(true);
        const int height = (&b - buttons) % 2 ? 61 : 62;
        button->setGeometry(QString(b.name) == "SpeedButton1" ? 180 : 178, y, 218, height);
        y += height;
        *b.field = button;
        const QString name = b.name;
        if (name == "SpeedButton1") {
            button->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
            connect(button, &QPushButton::clicked, this, &QWidget::close);
        } else {
            button->setEnabled(hasOpener(name));
            connect(button, &QPushButton::clicked, this, [this, name] { openModule(name); });
        }
    }
    FTolmare = this;
}

TFTolmare::~TFTolmare()
{
    if (FTolmare == this) FTolmare = nullptr;
}

void TFTolmare::openModule(const QString& buttonName)
{
    auto it = openers().constFind(buttonName);
    if (it == openers().constEnd()) return;
    try {
        it.value()(this);
    } catch (const db::EngineError& e) {
        dialogs::current().message(dialogs::Kind::Error, e.message());
    }
}

void TFTolmare::closeEvent(QCloseEvent* event)
{
    if (DMTolmare) DMTolmare->TParametros->close();
    event->accept();
    QDialog::closeEvent(event);
}

void TFTolmare::keyPressEvent(QKeyEvent* event)
{
    // A dialog would hide itself on Escape, ending the message loop without closeEvent.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    TFBasico::keyPressEvent(event);
}

void nameApplication()
{
    QApplication::setApplicationName("Tolmare");
}

QString TFTolmare::Complementa_Texto_Direita(const QString& texto, const QString& complemento,
                                             int tamanho) const
{
    return ::Complementa_Texto_Direita(texto, complemento, tamanho);
}

void TFTolmare::Apagar_Duplicacoes_Retorno() const { ::Apagar_Duplicacoes_Retorno(); }

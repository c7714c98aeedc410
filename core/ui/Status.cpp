#include "core/ui/Status.h"

#include "core/Dialogs.h"
#include "core/ui/PrepararJanela.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

TFormStatus* FormStatus = nullptr;

namespace {

QLabel* label(QWidget* parent, const QString& text, int x, int y, bool bold = false)
{
    auto* l = new QLabel(text, parent);
    l->move(x, y);
    if (bold) {
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    }
    return l;  // sized to its text when shown, in the font of that moment
}

QString shortString(const unsigned char* p)
{
    return QString::fromLatin1(reinterpret_cast<const char*>(p + 1), p[0]);
}

int le32(const unsigned char* p)
{
    return int(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

}  // namespace

TFormStatus::TFormStatus(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormStatus");
    setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint
                   | Qt::WindowTitleHint);
    setFont(QFont("MS Sans Serif"));
    setFixedSize(401, 118);
    ImageIcon = new QLabel(this);
    ImageIcon->setGeometry(6, 24, 41, 45);
    ImageIcon->setScaledContents(true);
    BevelMain = new QFrame(this);
    BevelMain->setFrameStyle(QFrame::Box | QFrame::Sunken);
    BevelMain->setGeometry(50, 12, 345, 69);
    LabelTitle = label(this, " Checando o Banco de Dados do Sistema", 54, 6, true);
    LabelTablesT = label(this, "Tabela:", 58, 24);
    LabelTables = label(this, "", 98, 24);
    LabelCurrentT = label(this, "Corrente:", 182, 24);
    LabelCurrent = label(this, "", 224, 24);
    LabelOperationT = label(this, "Operação:", 58, 42);
    LabelOperation = label(this, "", 112, 42);
    LabelActionT = label(this, "Ação:", 182, 42);
    LabelAction = label(this, "", 220, 42);
    ShapeProgress = new QFrame(this);
    ShapeProgress->setGeometry(58, 58, 0, 16);
    ShapeProgress->setAutoFillBackground(true);
    QPalette pal = ShapeProgress->palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 128));
    ShapeProgress->setPalette(pal);
    BitBtnCancel = new QPushButton("Cancelar", this);
    BitBtnCancel->setGeometry(159, 86, 79, 27);
    connect(BitBtnCancel, &QPushButton::clicked, this, [this] { BitBtnCancelClick(); });
    if (QScreen* s = QGuiApplication::primaryScreen())
        move(s->geometry().center() - rect().center());
}

TFormStatus::~TFormStatus()
{
    if (FormStatus == this) FormStatus = nullptr;
}

void closeStatusWindow()
{
    delete FormStatus;
    FormStatus = nullptr;
}

extern "C" int StatusCallback(const unsigned char* rec)
{
    const int state = rec[0];
    if (state == 0) {
        closeStatusWindow();
        FormStatus = new TFormStatus;
        FormStatus->setWindowTitle(QApplication::applicationDisplayName());
        FormStatus->ImageIcon->setPixmap(QApplication::windowIcon().pixmap(41, 45));
        FormStatus->LabelOperation->setText("Iniciando");
        FormStatus->ShapeProgress->resize(0, FormStatus->ShapeProgress->height());
        FormStatus->show();
        QCoreApplication::processEvents();
        return 1;
    }
    if (!FormStatus) return 1;
    if (state == 1) {
        FormStatus->LabelOperation->setText("Terminado");
        const bool aborted = FormStatus->tag() == -1;
        if (aborted) dialogs::current().message(dialogs::Kind::Plain, "Operação abortada pelo usuário");
        closeStatusWindow();
        return aborted ? 0 : 1;
    }
    const int total = le32(rec + 1);
    const int current = le32(rec + 5);
    FormStatus->LabelTables->setText(QString("%1/%2").arg(current).arg(total));
    FormStatus->LabelCurrent->setText(shortString(rec + 9));
    if (total > 0)
        FormStatus->ShapeProgress->resize((FormStatus->BevelMain->width() - 20) * current / total,
                                          FormStatus->ShapeProgress->height());
    static const char* words[] = {"Verificando", "Criando",     "Modificando", "Refazendo",
                                  "Convertendo …", "Convertida", "Convertida", "Não convertida"};
    if (state >= 2 && state <= 9) FormStatus->LabelOperation->setText(QString::fromUtf8(words[state - 2]));
    FormStatus->LabelAction->setText(QString::fromLatin1(reinterpret_cast<const char*>(rec + 266), rec[265]));
    for (QLabel* l : {FormStatus->LabelTables, FormStatus->LabelCurrent,
                      FormStatus->LabelOperation, FormStatus->LabelAction})
        l->adjustSize();
    QCoreApplication::processEvents();
    return FormStatus->tag() == -1 ? 0 : 1;
}

void TFormStatus::setVisible(bool visible)
{
    if (visible) prepararJanela(this);
    QDialog::setVisible(visible);
}

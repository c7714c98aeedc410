#include "remittance/ui/ULogImpBB.h"

#include "core/Dialogs.h"
#include "core/ui/PrepararJanela.h"
#include "remittance/RtfWriter.h"

#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QStyle>
#include <QVBoxLayout>

TfmLogImpBB* fmLogImpBB = nullptr;

std::function<bool(QPrinter&)> TfmLogImpBB::choosePrinter = [](QPrinter& printer) {
    QPrintDialog dialog(&printer);
    return dialog.exec() == QDialog::Accepted;
};

TfmLogImpBB::TfmLogImpBB(QWidget* parent) : QDialog(parent)
{
    setObjectName("fmLogImpBB");
    setWindowTitle("Resumo da Importação");
    setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setWindowState(Qt::WindowMaximized);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    RichEdit1 = new QPlainTextEdit(this);
    RichEdit1->setObjectName("RichEdit1");
    QFont font("Courier New");
    font.setPixelSize(12);
    RichEdit1->setFont(font);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEdit1->setPlainText("");
    layout->addWidget(RichEdit1, 1);
    Panel1 = new QFrame(this);
    auto* bar = new QHBoxLayout(Panel1);
    BitBtn3 = new QPushButton(style()->standardIcon(QStyle::SP_DialogSaveButton), "&Gravar", Panel1);
    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_FileIcon), "Imprimir", Panel1);
    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), "Fechar", Panel1);
    bar->addWidget(BitBtn3);
    bar->addStretch();
    bar->addWidget(BitBtn2);
    bar->addStretch();
    bar->addWidget(BitBtn1);
    layout->addWidget(Panel1);
    connect(BitBtn3, &QPushButton::clicked, this, &TfmLogImpBB::BitBtn3Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TfmLogImpBB::BitBtn2Click);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    if (!fmLogImpBB) fmLogImpBB = this;
}

TfmLogImpBB::~TfmLogImpBB()
{
    if (fmLogImpBB == this) fmLogImpBB = nullptr;
}

void TfmLogImpBB::appendLines(const QStringList& list)
{
    if (list.isEmpty()) return;
    RichEdit1->setPlainText(RichEdit1->toPlainText() + "\n" + list.join("\n"));
}

QStringList TfmLogImpBB::lines() const
{
    return RichEdit1->toPlainText().split('\n');
}

void TfmLogImpBB::printLines(QPrinter& printer, const QStringList& lines, const QFont& font)
{
    QPainter painter;
    if (!painter.begin(&printer)) return;
    QFont printFont(font.family());
    printFont.setPointSizeF(9);
    painter.setFont(printFont);
    const int lineHeight = painter.fontMetrics().lineSpacing();
    const int pageHeight = painter.viewport().height();
    int y = lineHeight;
    for (const QString& line : lines) {
        if (y > pageHeight) {
            printer.newPage();
            y = lineHeight;
        }
        painter.drawText(0, y, line);
        y += lineHeight;
    }
    painter.end();
}

void TfmLogImpBB::BitBtn2Click()
{
    QPrinter printer;
    if (!choosePrinter(printer)) return;
    printLines(printer, lines(), RichEdit1->font());
}

void TfmLogImpBB::BitBtn3Click()
{
    const QString path = dialogs::current().saveFileName(windowTitle(), QString());
    if (path.isEmpty()) return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(rtf::document(lines())) < 0 || !file.commit())
        dialogs::current().message(dialogs::Kind::Error,
                                   QString("Erro ao gravar %1: %2").arg(path, file.errorString()));
}

void TfmLogImpBB::setVisible(bool visible)
{
    if (visible) prepararJanela(this);
    QDialog::setVisible(visible);
}

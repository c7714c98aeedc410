#include "remittance/ui/UImpRetorno.h"

#include "components/ElidedLabel.h"
#include "core/Dialogs.h"
#include "core/dm/UDMRet_Debito.h"
#include "core/engine/EngineError.h"
#include "core/ui/PrepararJanela.h"
#include "remittance/ImportarRetorno.h"
#include "remittance/RetornosImportados.h"
#include "remittance/ui/ULogImpBB.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <algorithm>

std::function<void(const QStringList&)> TFImpRetorno::showSummary = [](const QStringList& lines) {
    TfmLogImpBB summary;
    summary.appendLines(lines);
    summary.exec();
};

QString pastaRetorno() { return QDir::homePath() + "/BancoBrasil/BBTransf/Retorno"; }

TFImpRetorno::TFImpRetorno(QWidget* parent) : QDialog(parent)
{
    setObjectName("FImpRetorno");
    setWindowTitle("Importar Arquivo de Retorno");
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
    setFixedSize(420, 170);
    // A long path is shown shortened in the middle: "Arquivo:/home/…/RET.txt".
    Label1 = new components::ElidedLabel("    ", this);
    Label1->setGeometry(12, 8, 396, 18);
    Label2 = new QLabel("Mês / Ano do arquivo de Importação", this);
    Label2->move(12, 36);
    Mes_Ano = new QLineEdit(this);
    Mes_Ano->setObjectName("Mes_Ano");
    Mes_Ano->setInputMask("00/9999;_");
    Mes_Ano->setMaxLength(7);
    Mes_Ano->setGeometry(230, 32, 80, 24);
    ProgressBar = new QProgressBar(this);
    ProgressBar->setGeometry(12, 70, 396, 20);
    SpeedButton1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOpenButton),
                                   "&Abrir Arquivo", this);
    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_ArrowDown), "&Importar!", this);
    SpeedButton7 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), "&Sair", this);
    SpeedButton7->setToolTip("Sair");
    int x = 12;
    for (QPushButton* b : {SpeedButton1, BitBtn2, SpeedButton7}) {
        b->setFlat(true);
        b->setGeometry(x, 110, 124, 40);
        x += 136;
    }
    BitBtn2->setEnabled(false);
    connect(SpeedButton1, &QPushButton::clicked, this, &TFImpRetorno::SpeedButton1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TFImpRetorno::BitBtn2Click);
    connect(SpeedButton7, &QPushButton::clicked, this, &QWidget::close);
    if (QScreen* s = QGuiApplication::primaryScreen())
        move(s->geometry().center() - rect().center());
}

void TFImpRetorno::SpeedButton1Click()
{
    const QString path = dialogs::current().openFileName(
        windowTitle(), pastaRetorno(), "Arquivos Remessa (*.txt);;Todos Arquivos (*)", "ret");
    if (path.isEmpty()) return;
    file_ = path;
    Label1->setText("Arquivo:" + path);
    BitBtn2->setEnabled(true);
}

void TFImpRetorno::BitBtn2Click()
{
    const QString text = Mes_Ano->displayText();
    const QString monthText = text.section('/', 0, 0).remove('_').trimmed();
    const QString yearText = text.section('/', 1).remove('_').trimmed();
    int month = 0, year = 0;
    const QString bad = retorno::validarMesAno(monthText, yearText, month, year);
    if (!bad.isEmpty()) {
        dialogs::current().message(dialogs::Kind::Error, bad);
        Mes_Ano->setFocus();
        return;
    }
    if (!DMRet_Debito) return;
    auto importar = [&](bool reimportar) {
        ProgressBar->setValue(0);
        return retorno::importar(*DMRet_Debito, file_, month, year, QDate::currentDate(),
                                 [this](qint64 pos, qint64 size) {
                                     // The bar counts in kilobytes so that any file size fits.
                                     ProgressBar->setMaximum(int(std::max<qint64>(1, size / 1024)));
                                     ProgressBar->setValue(int(pos / 1024));
                                 },
                                 reimportar);
    };
    auto confirma = [](const retorno::ImportacaoAnterior& anterior) {
        return dialogs::current().yesNo(retorno::perguntaReimportar(anterior));
    };
    retorno::Resultado r;
    try {
        const auto anterior = retorno::importacaoAnterior(file_);
        if (anterior && !confirma(*anterior)) return;
        try {
            r = importar(anterior.has_value());
        } catch (const retorno::JaImportado& j) {  // imported by another program meanwhile
            if (!confirma(j.anterior)) return;
            r = importar(true);
        }
    } catch (const db::EngineError& e) {
        dialogs::current().message(dialogs::Kind::Error, e.message());
        return;
    }
    showSummary(r.resumo);
    dialogs::current().message(dialogs::Kind::Plain, "Imprtação Concluida!");
}

void TFImpRetorno::setVisible(bool visible)
{
    if (visible) prepararJanela(this);
    QDialog::setVisible(visible);
}

#include "remittance/ui/URRetorno.h"

#include "collection/Listas.h"
#include "collection/ui/Exportar.h"
#include "components/report/ReportPreview.h"
#include "core/Dialogs.h"
#include "core/UVariaveis.h"
#include "core/dm/UDMRet_Debito.h"
#include "core/engine/EngineError.h"
#include "core/engine/Table.h"
#include "core/ui/PrepararJanela.h"
#include "remittance/RelRetorno.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>

TFRRetorno* FRRetorno = nullptr;

TFRRetorno::TFRRetorno(QWidget* parent) : QDialog(parent), previous_(FRRetorno)
{
    setObjectName("FRRetorno");
    setWindowTitle("Filto de Relatório");
    if (UsuarioAtual == 0) UsuarioAtual = 1;
    auto* grid = new QGridLayout(this);
    Label5 = new QLabel("Mês / Ano Inicial", this);
    Inicio = new QLineEdit(this);
    Inicio->setObjectName("Inicio");
    Label5->setBuddy(Inicio);
    Label7 = new QLabel("Motivo devolução", this);
    CBMotivo = new QComboBox(this);
    CBMotivo->setObjectName("CBMotivo");
    CBMotivo->addItems({"Todos", "Com Motivo de Devolução", "Sem Motivo de Devolução"});
    CBMotivo->setCurrentIndex(int(retorno::Motivo::Com));
    Label7->setBuddy(CBMotivo);
    grid->addWidget(Label5, 0, 0);
    grid->addWidget(Inicio, 1, 0);
    grid->addWidget(Label7, 0, 1);
    grid->addWidget(CBMotivo, 1, 1);
    auto* bar = new QHBoxLayout;
    Btn_Visualizar = new QPushButton("&Visualizar", this);
    SpeedButton1 = new QPushButton("&Imprimir", this);
    SpeedButton2 = new QPushButton("&Sair", this);
    for (QPushButton* b : {Btn_Visualizar, SpeedButton1, SpeedButton2}) {
        b->setFlat(true);
        b->setAutoDefault(false);
        bar->addWidget(b);
    }
    Btn_Exportar = cobranca_ui::botaoExportar(this);
    bar->insertWidget(2, Btn_Exportar);
    grid->addLayout(bar, 2, 0, 1, 2);
    connect(Inicio, &QLineEdit::textChanged, this, &TFRRetorno::InicioChange);
    Inicio->installEventFilter(this);
    connect(Btn_Visualizar, &QPushButton::clicked, this, [this] { Btn_VisualizarClick(false); });
    connect(SpeedButton1, &QPushButton::clicked, this, [this] { Btn_VisualizarClick(true); });
    connect(SpeedButton2, &QPushButton::clicked, this, &QDialog::reject);
    connect(Btn_Exportar, &QPushButton::clicked, this, &TFRRetorno::exportar);
    FRRetorno = this;
}

TFRRetorno::~TFRRetorno()
{
    if (FRRetorno == this) FRRetorno = previous_;
}

retorno::Motivo TFRRetorno::motivo() const { return retorno::Motivo(CBMotivo->currentIndex()); }

void TFRRetorno::InicioChange()
{
    const QString adjusted = retorno::ajustarMes(Inicio->text());
    if (adjusted != Inicio->text()) Inicio->setText(adjusted);  // changes again, and stays
    Inicio->setCursorPosition(int(Inicio->text().size()));
}

bool TFRRetorno::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Inicio && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // Either key empties the field; acting on the empty field it would change nothing.
        if (key == Qt::Key_Delete || key == Qt::Key_Backspace) {
            Inicio->clear();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFRRetorno::showEvent(QShowEvent* event)
{
    if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

void TFRRetorno::Btn_VisualizarClick(bool imprimir)
{
    noMes([&](db::Table& table) {
        TQRelRetorno rel(table, [this] { return motivo(); });
        if (imprimir) report::print(rel.definition(), rel.source(), this);
        else report::preview(rel.definition(), rel.source(), this);
    });
}

void TFRRetorno::exportar()
{
    noMes([&](db::Table& table) {
        const retorno::Motivo m = motivo();
        const std::optional<bool> com = m == retorno::Motivo::Todos
                                            ? std::nullopt
                                            : std::optional(m == retorno::Motivo::Com);
        cobranca_ui::exportar("retorno", [&] { return cobranca::planilhaRelRetorno(table, com); });
    });
}

void TFRRetorno::noMes(const std::function<void(db::Table&)>& work)
{
    if (!DMRet_Debito) return;
    db::Table& table = *DMRet_Debito->TRet_Debito;
    try {
        const QString erro = retorno::definirMes(table, Inicio->text(), QDate::currentDate());
        if (!erro.isEmpty()) {
            dialogs::current().message(dialogs::Kind::Error, erro);
            return;
        }
        // The consultation shows every row again, whatever happens to the report.
        const auto lift = qScopeGuard([&table] {
            try {
                if (table.active()) table.cancelRange();
            } catch (const db::EngineError& e) {
                dialogs::current().message(dialogs::Kind::Error, e.message());
            }
        });
        work(table);
    } catch (const db::EngineError& e) {
        dialogs::current().message(dialogs::Kind::Error, e.message());
    }
}

void TFRRetorno::setVisible(bool visible)
{
    if (visible) prepararJanela(this);
    QDialog::setVisible(visible);
}

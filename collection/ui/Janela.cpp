#include "collection/ui/Janela.h"

#include "collection/ui/Exportar.h"
#include "components/DesignScale.h"

#include <QBoxLayout>
#include <QDialog>
#include <QLabel>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>

namespace cobranca_ui {

void fundo(QWidget* w)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, QColor(151, 203, 255));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

QPushButton* botao(QWidget* parent, QBoxLayout* bar, const QString& objectName,
                   const QString& text)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(objectName);
    b->setFlat(true);
    b->setAutoDefault(false);
    bar->addWidget(b);
    return b;
}

QLabel* rotulado(QWidget* parent, QBoxLayout* bar, const QString& text, QWidget* control)
{
    auto* l = new QLabel(text, parent);
    l->setBuddy(control);
    bar->addWidget(l);
    bar->addWidget(control);
    return l;
}

QTableView* grade(QWidget* parent, const QString& objectName)
{
    auto* t = new QTableView(parent);
    t->setObjectName(objectName);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->horizontalHeader()->setStretchLastSection(true);
    t->verticalHeader()->setDefaultSectionSize(components::designScale(t->font()).h(20));
    QPalette pal = t->palette();
    pal.setColor(QPalette::Base, QColor(254, 254, 233));
    t->setPalette(pal);
    return t;
}

BarraLista barraLista(QDialog* w, QBoxLayout* layout)
{
    auto* bar = new QHBoxLayout;
    BarraLista b;
    b.totais = new QLabel(w);
    b.totais->setObjectName("Totais");
    QFont bold = b.totais->font();
    bold.setBold(true);
    b.totais->setFont(bold);
    bar->addWidget(b.totais);
    bar->addStretch();
    b.visualizar = botao(w, bar, "Btn_Visualizar", "&Visualizar");
    b.exportar = botaoExportar(w);
    bar->addWidget(b.exportar);
    b.fechar = botao(w, bar, "Btn_Fechar", "&Fechar");
    QObject::connect(b.fechar, &QPushButton::clicked, w, &QDialog::accept);
    layout->addLayout(bar);
    return b;
}

}  // namespace cobranca_ui

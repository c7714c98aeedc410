#include "collection/ui/Janela.h"

#include <QBoxLayout>
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

QTableView* grade(QWidget* parent, const QString& objectName)
{
    auto* t = new QTableView(parent);
    t->setObjectName(objectName);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->horizontalHeader()->setStretchLastSection(true);
    t->verticalHeader()->setDefaultSectionSize(20);
    QPalette pal = t->palette();
    pal.setColor(QPalette::Base, QColor(254, 254, 233));
    t->setPalette(pal);
    return t;
}

}  // namespace cobranca_ui

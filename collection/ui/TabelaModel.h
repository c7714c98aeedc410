// A read-only table of texts for the collection windows: a planilha's rows as they print
// (amounts "1234,50", dates dd/mm/aaaa), numbers aligned to the right.
#pragma once

#include "collection/Planilha.h"

#include <QAbstractTableModel>
#include <QStringList>

namespace cobranca_ui {

class TabelaModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // Reads the planilha to its end.
    void setPlanilha(cobranca::Planilha p);
    void setLinhas(QStringList titulos, QVector<QStringList> linhas, QVector<bool> direita);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

private:
    QStringList titulos_;
    QVector<QStringList> linhas_;
    QVector<bool> direita_;
};

}  // namespace cobranca_ui

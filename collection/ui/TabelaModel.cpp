#include "collection/ui/TabelaModel.h"

namespace cobranca_ui {

void TabelaModel::setPlanilha(cobranca::Planilha p)
{
    QStringList titulos;
    QVector<bool> direita;
    for (const cobranca::Coluna& c : p.colunas) {
        titulos << c.titulo;
        direita << (c.tipo == cobranca::TipoColuna::Inteiro
                    || c.tipo == cobranca::TipoColuna::Dinheiro
                    || c.tipo == cobranca::TipoColuna::Taxa);
    }
    QVector<QStringList> linhas;
    QVector<QVariant> celulas;
    while (p.proxima(celulas)) {
        QStringList l;
        for (int i = 0; i < p.colunas.size(); ++i)
            l << cobranca::textoCsv(celulas.value(i), p.colunas.at(i).tipo);
        linhas << l;
    }
    setLinhas(titulos, linhas, direita);
}

void TabelaModel::setLinhas(QStringList titulos, QVector<QStringList> linhas, QVector<bool> direita)
{
    beginResetModel();
    titulos_ = std::move(titulos);
    linhas_ = std::move(linhas);
    direita_ = std::move(direita);
    endResetModel();
}

int TabelaModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(linhas_.size());
}

int TabelaModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(titulos_.size());
}

QVariant TabelaModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
    if (role == Qt::DisplayRole) return linhas_.at(index.row()).value(index.column());
    if (role == Qt::TextAlignmentRole)
        return int((direita_.value(index.column()) ? Qt::AlignRight : Qt::AlignLeft)
                   | Qt::AlignVCenter);
    return {};
}

QVariant TabelaModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o == Qt::Horizontal && role == Qt::TextAlignmentRole)
        return int((direita_.value(section) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    if (o == Qt::Horizontal) return titulos_.value(section);
    return section + 1;
}

}  // namespace cobranca_ui

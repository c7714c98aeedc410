// A list on its way to a spreadsheet: its columns with the kind of value each holds, and its
// rows read one at a time, so that a long list is never held whole. Written as CSV or XLSX.
#pragma once

#include <QString>
#include <QVariant>
#include <QVector>

#include <functional>

namespace cobranca {

enum class TipoColuna {
    Texto,
    Inteiro,   // a whole number
    Dinheiro,  // an amount: two decimals
    Data,      // a QDate: dd/mm/aaaa
    Mes,       // a QDate standing for its month: mm/aaaa
    Taxa       // a fraction shown as a percentage
};

struct Coluna {
    QString titulo;
    TipoColuna tipo = TipoColuna::Texto;
    double largura = 12;  // in characters, for the spreadsheet's column
};

struct Planilha {
    QString nome;  // the sheet's name
    QVector<Coluna> colunas;
    // Fills the next row's cells (one per column; an invalid QVariant is an empty cell) and
    // answers true, or answers false past the last row.
    std::function<bool(QVector<QVariant>& celulas)> proxima;
};

// A planilha over rows already in memory.
template <typename Row, typename Cells>
Planilha planilhaDe(QString nome, QVector<Coluna> colunas, const QVector<Row>& rows,
                    Cells cells)
{
    auto i = std::make_shared<qsizetype>(0);
    return {std::move(nome), std::move(colunas),
            [&rows, cells, i](QVector<QVariant>& out) {
                if (*i >= rows.size()) return false;
                out = cells(rows.at((*i)++));
                return true;
            }};
}

struct ResultadoPlanilha {
    bool ok = false;
    QString mensagem;  // what went wrong and what to correct, when not ok
    qint64 linhas = 0;
};

// As a Brazilian spreadsheet opens it: UTF-8 with a byte order mark, ";" between fields,
// decimal comma, dates dd/mm/aaaa, CR LF after every line, a header line of the titles;
// fields holding ";", quotes or line breaks are quoted.
ResultadoPlanilha gravarCsv(const QString& path, Planilha& p);

// An XLSX workbook of one sheet: the titles in a bold header row, frozen above the rows;
// amounts as numbers in a two-decimal format, dates as dates, rates as percentages.
ResultadoPlanilha gravarXlsx(const QString& path, Planilha& p);

// The format by the path's ending (".xlsx", otherwise CSV).
ResultadoPlanilha gravarPlanilha(const QString& path, Planilha& p);

// The cell text of CSV: amounts "1234,50", dates "10/07/2026", months "07/2026", rates
// "87,50%", whole numbers without separators.
QString textoCsv(const QVariant& v, TipoColuna tipo);

}  // namespace cobranca

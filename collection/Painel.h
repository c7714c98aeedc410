// The collection panel: for each of the last months, the debits sent and what came of them,
// the collection rate and the most frequent reasons of return.
#pragma once

#include <QDate>
#include <QStringList>
#include <QVector>

#include <optional>

namespace cobranca {

struct Contagem {
    qint64 quantidade = 0;
    double valor = 0;
};

struct MesPainel {
    QDate mes;                 // its first day
    Contagem enviados;         // rows with a remittance number
    Contagem recebidos, devolvidos, aguardando;  // every row of the month
    std::optional<double> taxa;  // received amount over sent amount; none when nothing was sent
    QStringList motivos;       // the three most frequent reasons of return, most frequent first
};

// The `meses` months (at least 1) ending with the month of `ate`, oldest first, of the alias
// "Tolmare". Reads in one read transaction; throws db::EngineError when the table cannot be
// read.
QVector<MesPainel> painel(int meses, const QDate& ate);

}  // namespace cobranca

// The arrears list: for each member, the months returned since the member's last received
// month and their amount, for the members with at least a given number of such months.
#pragma once

#include <QString>
#include <QVector>

#include <optional>

namespace cobranca {

struct Inadimplente {
    double assId = 0;
    QString matricula, nome, grupo;  // empty when the member no longer exists
    int meses = 0;                   // distinct months returned since the last received one
    double valor = 0;                // their sum of DEB_VALOR
    QString ultimoMotivo;            // of the latest returned month
};

enum class OrdemInadimplentes { Valor, Meses, Nome };

struct Inadimplencia {
    QVector<Inadimplente> linhas;
    double total = 0;
};

// The arrears of the alias "Tolmare": members with at least `minimo` months (at least 1),
// only those of group `grupo` when given, ordered by amount or months (largest first) or by
// name (alphabetical); ties by name, then number. Reads in one read transaction; throws
// db::EngineError when a table cannot be read.
Inadimplencia inadimplentes(int minimo, std::optional<double> grupo, OrdemInadimplentes ordem);

}  // namespace cobranca

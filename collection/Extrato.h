// A member's history: every month sent or returned for the member, newest first, with the
// totals sent, received and returned.
#pragma once

#include "collection/Situacao.h"

#include <QDate>
#include <QString>
#include <QVector>

#include <optional>

namespace cobranca {

struct MesExtrato {
    QDate data;          // DEB_DATA (the month shown is its month)
    double remessa = 0;  // 0: created by a return import
    std::optional<double> valor;
    Situacao situacao = Situacao::Aguardando;
    QString motivo;      // the return's reason; empty unless returned
    QDate dataRetorno;
};

struct Extrato {
    double assId = 0;
    bool existe = false;  // the member is registered
    QString nome, matricula, grupo;
    QVector<MesExtrato> meses;  // newest first
    double enviado = 0, recebido = 0, devolvido = 0;
};

// The history of member `assId` on the alias "Tolmare": sent counts the rows with a
// remittance number. Reads in one read transaction; throws db::EngineError when a table
// cannot be read.
Extrato extrato(double assId);

}  // namespace cobranca

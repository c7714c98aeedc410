// The month built by hand that the collection tests share: six members, three months of
// RET_DEBITO rows, with the lists expected from them worked out in the tests.
#pragma once

#include "tests/common/TestData.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace {

const QDate kMaio(2026, 5, 10), kJunho(2026, 6, 10), kJulho(2026, 7, 10), kVolta(2026, 8, 3);
const QString kSaldo = "SALDO INSUFICIENTE", kEncerrada = "CONTA ENCERRADA";
const QString kFabio = "Fábio \"Dedé\"; Souza";

void ret(const QDate& data, double membro, const QVariant& valor, const QString& motivo,
         bool voltou = true, double remessa = 5)
{
    QVariantMap row{{"DEB_DATA", data}, {"DEB_ASS_ID", membro}, {"DEB_REMESSA", remessa},
                    {"DEB_VALOR", valor}, {"DEB_DTA_CAD", data}, {"DEB_USR_ID", 1}};
    if (voltou) row["DEB_DATA_RETORNO"] = kVolta;
    row["DEB_OCORRENCIA"] = voltou ? motivo : QString("Aguardando Retorno");
    testdata::addRow("RET_DEBITO.DB", row);
}

// Members 1 Ana (always received), 2 Bruno (received, then returned twice in a row), 3 Carla
// (returned, received, then returned by an import without a remittance row), 4 Davi (received,
// then awaiting), 5 Eva (no row at all), 6 Fábio (group 2, returned once). Rows are added out
// of date order on purpose.
void mesAMao()
{
    testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Ativos"}});
    testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "Aposentados"}});
    const QStringList nomes{"Ana", "Bruno", "Carla", "Davi", "Eva", kFabio};
    for (int i = 0; i < nomes.size(); ++i)
        testdata::addRow("ASSOCIADOS.DB", {{"ASS_NOME", nomes[i]}, {"ASS_GRP_ID", i == 5 ? 2.0 : 1.0},
                                           {"ASS_MATRICULA", QString("10.%1-0").arg(i + 1)}});
    ret(kJulho, 2, 25.5, kEncerrada);
    ret(kMaio, 1, 10.0, "");
    ret(kJunho, 1, 10.0, "  ");
    ret(kJulho, 1, 10.0, "");
    ret(kJunho, 2, 25.5, kSaldo);
    ret(kMaio, 2, 20.0, "");
    ret(kMaio, 3, 15.0, kSaldo);
    ret(kJunho, 3, 15.0, "");
    ret(kJulho, 3, QVariant(), kEncerrada, true, 0);
    ret(kMaio, 4, 12.0, "");
    ret(kJulho, 4, 12.0, "", false);
    ret(kJulho, 6, 60.0, kSaldo);
}

}  // namespace

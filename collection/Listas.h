// The spreadsheets of the program's lists: the three collection lists, the debit list, the
// return consultation and the return report's rows, each with the columns its window shows.
#pragma once

#include "collection/Extrato.h"
#include "collection/Inadimplentes.h"
#include "collection/Painel.h"
#include "collection/Planilha.h"

#include <functional>

namespace db { class Dataset; }

namespace cobranca {

// "Matrícula;Nome;Grupo;Meses;Valor;Último motivo". The planilhas below read the list they are
// given while they are written: it must outlive them.
Planilha planilhaInadimplentes(const Inadimplencia& lista);
// "Mês;Remessa;Valor;Situação;Motivo;Data do retorno".
Planilha planilhaExtrato(const Extrato& extrato);
// "Mês;Enviados;Valor enviado;Recebidos;Valor recebido;Devolvidos;Valor devolvido;Aguardando;
// Taxa".
Planilha planilhaPainel(const QVector<MesPainel>& meses);

// A dataset's rows from its first to its last, read a block at a time without moving it: the
// fields given, under their titles. `inclui`, when given, is asked for each row (by the
// values of its fields, in dataset order) whether it belongs.
struct CampoPlanilha {
    QString campo;
    Coluna coluna;
};
Planilha planilhaDataset(
    QString nome, db::Dataset& ds, const QVector<CampoPlanilha>& campos,
    std::function<bool(const QVector<QVariant>& linha, const db::Dataset& ds)> inclui = {});

// The debit list's query (QDebito), with the columns of its grid.
Planilha planilhaDebitos(db::Dataset& QDebito);
// The return consultation's table (TRet_Debito), with the columns of its grid.
Planilha planilhaConsultaRetorno(db::Dataset& TRet_Debito);
// The rows the return report prints of TRet_Debito within its range: all, or only those with
// (`comRetorno` true) or without a return date.
Planilha planilhaRelRetorno(db::Dataset& TRet_Debito, std::optional<bool> comRetorno);

}  // namespace cobranca

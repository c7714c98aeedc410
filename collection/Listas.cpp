#include "collection/Listas.h"

#include "core/engine/Dataset.h"
#include "core/engine/EngineError.h"

#include <memory>

namespace cobranca {

namespace {

using T = TipoColuna;

QVariant opcional(const std::optional<double>& v) { return v ? QVariant(*v) : QVariant(); }

}  // namespace

Planilha planilhaInadimplentes(const Inadimplencia& lista)
{
    return planilhaDe("Inadimplentes",
                      {{"Matrícula", T::Texto, 12}, {"Nome", T::Texto, 40},
                       {"Grupo", T::Texto, 24}, {"Meses", T::Inteiro, 8},
                       {"Valor", T::Dinheiro, 12}, {"Último motivo", T::Texto, 30}},
                      lista.linhas, [](const Inadimplente& i) {
                          return QVector<QVariant>{i.matricula, i.nome, i.grupo, i.meses,
                                                   i.valor, i.ultimoMotivo};
                      });
}

Planilha planilhaExtrato(const Extrato& extrato)
{
    return planilhaDe("Extrato",
                      {{"Mês", T::Mes, 9}, {"Remessa", T::Inteiro, 9}, {"Valor", T::Dinheiro, 12},
                       {"Situação", T::Texto, 12}, {"Motivo", T::Texto, 30},
                       {"Data do retorno", T::Data, 14}},
                      extrato.meses, [](const MesExtrato& m) {
                          return QVector<QVariant>{m.data, m.remessa, opcional(m.valor),
                                                   nomeSituacao(m.situacao), m.motivo,
                                                   m.dataRetorno.isValid() ? m.dataRetorno
                                                                           : QVariant()};
                      });
}

Planilha planilhaPainel(const QVector<MesPainel>& meses)
{
    return planilhaDe("Painel",
                      {{"Mês", T::Mes, 9}, {"Enviados", T::Inteiro, 10},
                       {"Valor enviado", T::Dinheiro, 14}, {"Recebidos", T::Inteiro, 10},
                       {"Valor recebido", T::Dinheiro, 14}, {"Devolvidos", T::Inteiro, 10},
                       {"Valor devolvido", T::Dinheiro, 14}, {"Aguardando", T::Inteiro, 11},
                       {"Taxa", T::Taxa, 9}},
                      meses, [](const MesPainel& m) {
                          return QVector<QVariant>{
                              m.mes, m.enviados.quantidade, m.enviados.valor,
                              m.recebidos.quantidade, m.recebidos.valor, m.devolvidos.quantidade,
                              m.devolvidos.valor, m.aguardando.quantidade, opcional(m.taxa)};
                      });
}

Planilha planilhaDataset(QString nome, db::Dataset& ds, const QVector<CampoPlanilha>& campos,
                         std::function<bool(const QVector<QVariant>&, const db::Dataset&)> inclui)
{
    QVector<int> indices;
    QVector<Coluna> colunas;
    for (const CampoPlanilha& c : campos) {
        const int i = ds.fieldIndex(c.campo);
        if (i < 0) throw db::EngineError(QString("Field '%1' not found").arg(c.campo));
        indices << i;
        colunas << c.coluna;
    }
    struct Estado {
        QVector<QVector<QVariant>> bloco;
        int proximo = 0, noBloco = 0;
        bool fim = false;
    };
    auto e = std::make_shared<Estado>();
    e->fim = !ds.active();
    return {std::move(nome), colunas, [&ds, indices, inclui, e](QVector<QVariant>& out) {
                for (;;) {
                    if (e->fim) return false;
                    if (e->noBloco >= e->bloco.size()) {
                        constexpr int kBloco = 8192;
                        e->bloco = ds.rowsAt(e->proximo, kBloco);
                        e->proximo += int(e->bloco.size());
                        e->noBloco = 0;
                        if (e->bloco.isEmpty()) {
                            e->fim = true;
                            return false;
                        }
                    }
                    const QVector<QVariant>& linha = e->bloco.at(e->noBloco++);
                    if (inclui && !inclui(linha, ds)) continue;
                    out.resize(indices.size());
                    for (int i = 0; i < indices.size(); ++i) out[i] = linha.value(indices[i]);
                    return true;
                }
            }};
}

Planilha planilhaDebitos(db::Dataset& QDebito)
{
    return planilhaDataset("Débitos", QDebito,
                           {{"GRP_DESCRICAO", {"Grupo", T::Texto, 20}},
                            {"ASS_NOME", {"Nome Debitado", T::Texto, 40}},
                            {"DEB_DATA", {"Dt. Débito", T::Data, 12}},
                            {"DEB_VALOR", {"Valor", T::Dinheiro, 12}},
                            {"ASS_IDENTIFICADOR", {"Identificador", T::Inteiro, 14}},
                            {"ASS_AGENCIA", {"Agência", T::Texto, 9}},
                            {"ASS_MATRICULA", {"Matricula", T::Texto, 12}},
                            {"ASS_CONTA_CORRENTE", {"Conta Corrente", T::Texto, 16}}});
}

Planilha planilhaConsultaRetorno(db::Dataset& TRet_Debito)
{
    return planilhaDataset("Retornos", TRet_Debito,
                           {{"DEB_REMESSA", {"Remessa", T::Inteiro, 9}},
                            {"Nome_Associado", {"Nome Debitado", T::Texto, 40}},
                            {"DEB_DATA", {"Dt. Rem", T::Data, 12}},
                            {"DEB_DATA_RETORNO", {"Data Ret", T::Data, 12}},
                            {"DEB_OCORRENCIA", {"Ocorrência", T::Texto, 30}},
                            {"DEB_VALOR", {"Valor", T::Dinheiro, 12}},
                            {"Agencia_Associado", {"Agência", T::Texto, 9}},
                            {"CC_Associado", {"Conta", T::Texto, 14}},
                            {"Indent_Associado", {"Indentificador", T::Texto, 14}}});
}

Planilha planilhaRelRetorno(db::Dataset& TRet_Debito, std::optional<bool> comRetorno)
{
    std::function<bool(const QVector<QVariant>&, const db::Dataset&)> inclui;
    if (comRetorno) {
        const int retorno = TRet_Debito.fieldIndex("DEB_DATA_RETORNO");
        inclui = [retorno, com = *comRetorno](const QVector<QVariant>& linha, const db::Dataset&) {
            const QVariant v = linha.value(retorno);
            return (v.isValid() && !v.isNull()) == com;
        };
    }
    return planilhaDataset("Relatório de Retorno", TRet_Debito,
                           {{"Nome_Associado", {"Nome Debitado", T::Texto, 40}},
                            {"DEB_DATA", {"Data Debito", T::Data, 12}},
                            {"DEB_VALOR", {"Valor", T::Dinheiro, 12}},
                            {"DEB_OCORRENCIA", {"Motivo", T::Texto, 30}},
                            {"Agencia_Associado", {"Agencia", T::Texto, 9}},
                            {"CC_Associado", {"Conta Corrente", T::Texto, 16}}},
                           std::move(inclui));
}

}  // namespace cobranca

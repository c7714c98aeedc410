#include "collection/Painel.h"

#include "collection/Situacao.h"

#include <QHash>

#include <algorithm>

namespace cobranca {

QVector<MesPainel> painel(int meses, const QDate& ate)
{
    meses = std::max(meses, 1);
    const int ultimo = mesDe(ate), primeiro = ultimo - meses + 1;
    QVector<MesPainel> out(meses);
    QVector<QHash<QByteArray, qint64>> motivos(meses);
    for (int i = 0; i < meses; ++i) out[i].mes = primeiroDia(primeiro + i);

    db::Connection& c = conexao();
    Leitura leitura(c);
    percorrerRetornos(c, {primeiroDia(primeiro), primeiroDia(ultimo + 1), std::nullopt},
                      [&](const LinhaRetorno& r) {
        if (r.mes < primeiro || r.mes > ultimo) return;
        MesPainel& m = out[r.mes - primeiro];
        auto conta = [&](Contagem& k) {
            ++k.quantidade;
            k.valor += r.valor;
        };
        if (r.remessa != 0) conta(m.enviados);
        switch (r.situacao) {
        case Situacao::Aguardando: conta(m.aguardando); break;
        case Situacao::Recebido: conta(m.recebidos); break;
        case Situacao::Devolvido:
            conta(m.devolvidos);
            ++motivos[r.mes - primeiro][r.motivo.toByteArray().trimmed()];
            break;
        }
    });
    for (int i = 0; i < meses; ++i) {
        MesPainel& m = out[i];
        if (m.enviados.valor != 0) m.taxa = m.recebidos.valor / m.enviados.valor;
        QVector<std::pair<qint64, QString>> porFrequencia;
        for (auto it = motivos[i].cbegin(); it != motivos[i].cend(); ++it)
            porFrequencia.append({it.value(), QString::fromUtf8(it.key())});
        std::sort(porFrequencia.begin(), porFrequencia.end(), [](const auto& a, const auto& b) {
            return a.first != b.first ? a.first > b.first : a.second < b.second;
        });
        for (int k = 0; k < std::min<int>(3, porFrequencia.size()); ++k)
            m.motivos << porFrequencia.at(k).second;
    }
    return out;
}

}  // namespace cobranca

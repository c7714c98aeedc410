#include "collection/Inadimplentes.h"

#include "collection/Membros.h"
#include "collection/Situacao.h"
#include "core/store/StoreSchema.h"

#include <QHash>

#include <algorithm>
#include <climits>
#include <numeric>
#include <unordered_map>
#include <vector>

namespace cobranca {

namespace {

// What a member owes so far while RET_DEBITO is walked in table order, which need not be date
// order: the returned months later than the latest received month seen, pruned whenever a
// later received month turns up.
struct Estado {
    int ultimoRecebido = INT_MIN;
    std::vector<std::pair<int, double>> devolvidos;  // month, amount
    int mesMotivo = INT_MIN;
    int motivo = -1;  // index into the reasons seen
};

}  // namespace

Inadimplencia inadimplentes(int minimo, std::optional<double> grupo, OrdemInadimplentes ordem)
{
    minimo = std::max(minimo, 1);
    db::Connection& c = conexao();
    Leitura leitura(c);
    std::unordered_map<double, Estado> estados;
    QHash<QByteArray, int> indiceMotivo;
    QVector<QString> motivos;
    percorrerRetornos(c, {}, [&](const LinhaRetorno& r) {
        if (!r.temAssociado || r.mes < 0 || r.situacao == Situacao::Aguardando) return;
        Estado& e = estados[r.associado];
        if (r.situacao == Situacao::Recebido) {
            if (r.mes <= e.ultimoRecebido) return;
            e.ultimoRecebido = r.mes;
            std::erase_if(e.devolvidos, [&](const auto& d) { return d.first <= r.mes; });
            if (e.mesMotivo <= r.mes) e.mesMotivo = INT_MIN, e.motivo = -1;
            return;
        }
        if (r.mes <= e.ultimoRecebido) return;
        e.devolvidos.emplace_back(r.mes, r.temValor ? r.valor : 0);
        if (r.mes >= e.mesMotivo) {
            const QByteArray motivo = r.motivo.toByteArray().trimmed();
            auto it = indiceMotivo.constFind(motivo);
            if (it == indiceMotivo.constEnd()) {
                it = indiceMotivo.insert(motivo, int(motivos.size()));
                motivos.append(QString::fromUtf8(motivo));
            }
            e.mesMotivo = r.mes;
            e.motivo = it.value();
        }
    });
    const QHash<double, Membro> membros = lerMembros(c);

    Inadimplencia out;
    for (auto& [assId, e] : estados) {
        if (int(e.devolvidos.size()) < minimo) continue;
        std::sort(e.devolvidos.begin(), e.devolvidos.end());
        int meses = 0;
        double valor = 0;
        for (size_t i = 0; i < e.devolvidos.size(); ++i) {
            if (i == 0 || e.devolvidos[i].first != e.devolvidos[i - 1].first) ++meses;
            valor += e.devolvidos[i].second;
        }
        if (meses < minimo) continue;
        const auto m = membros.constFind(assId);
        if (grupo && (m == membros.constEnd() || m->grupoId != grupo)) continue;
        Inadimplente i;
        i.assId = assId;
        if (m != membros.constEnd()) {
            i.matricula = m->matricula.trimmed();
            i.nome = m->nome;
            i.grupo = m->grupo;
        }
        i.meses = meses;
        i.valor = valor;
        i.ultimoMotivo = e.motivo >= 0 ? motivos.at(e.motivo) : QString();
        out.total += valor;
        out.linhas.append(std::move(i));
    }
    // Names compared as the tables order them, each encoded once.
    QVector<QByteArray> chaves;
    chaves.reserve(out.linhas.size());
    for (const Inadimplente& i : out.linhas) chaves.append(i.nome.toUtf8());
    QVector<int> ordemDe(out.linhas.size());
    std::iota(ordemDe.begin(), ordemDe.end(), 0);
    std::sort(ordemDe.begin(), ordemDe.end(), [&](int x, int y) {
        const Inadimplente& a = out.linhas.at(x);
        const Inadimplente& b = out.linhas.at(y);
        if (ordem == OrdemInadimplentes::Valor && a.valor != b.valor) return a.valor > b.valor;
        if (ordem == OrdemInadimplentes::Meses) {
            if (a.meses != b.meses) return a.meses > b.meses;
            if (a.valor != b.valor) return a.valor > b.valor;
        }
        const QByteArray &na = chaves.at(x), &nb = chaves.at(y);
        if (const int n = store::intlCompare(na.constData(), int(na.size()), nb.constData(),
                                             int(nb.size()));
            n != 0)
            return n < 0;
        return a.assId < b.assId;
    });
    QVector<Inadimplente> ordenadas;
    ordenadas.reserve(out.linhas.size());
    for (const int i : ordemDe) ordenadas.append(std::move(out.linhas[i]));
    out.linhas = std::move(ordenadas);
    return out;
}

}  // namespace cobranca

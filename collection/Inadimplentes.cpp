#include "collection/Inadimplentes.h"

#include "collection/Membros.h"
#include "collection/Situacao.h"
#include "core/store/StoreSchema.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <climits>
#include <cmath>
#include <numeric>
#include <unordered_map>
#include <vector>

namespace cobranca {

namespace {

// What a member owes so far while RET_DEBITO is walked in table order, which need not be date
// order: the returned months later than the latest received month seen, pruned whenever a
// later received month turns up.
struct Estado {
    bool visto = false;
    int ultimoRecebido = INT_MIN;
    std::vector<std::pair<int, double>> devolvidos;  // month, amount
    int mesMotivo = INT_MIN;
    int motivo = -1;  // index into the reasons seen
};

// The members' states: by position for the whole numbers the register gives (dense from 1),
// in a map for any other number, so that a stray large number costs no memory.
class Estados {
public:
    Estado& operator[](double id)
    {
        if (id >= 0 && id == std::floor(id) && id < double(denso_.size()) * 2 + 65536) {
            const size_t i = size_t(id);
            if (i >= denso_.size()) denso_.resize(std::max(i + 1, denso_.size() * 2));
            Estado& e = denso_[i];
            e.visto = true;
            return e;
        }
        Estado& e = outros_[id];
        e.visto = true;
        return e;
    }
    template <typename F>
    void cadaUm(F f)
    {
        for (size_t i = 0; i < denso_.size(); ++i)
            if (denso_[i].visto) f(double(i), denso_[i]);
        for (auto& [id, e] : outros_) f(id, e);
    }

private:
    std::vector<Estado> denso_;
    std::unordered_map<double, Estado> outros_;
};

// The reasons seen, each kept once: there are few, so a new row's reason is compared with
// them without making a text of it.
class Motivos {
public:
    int indice(QByteArrayView motivo)
    {
        while (!motivo.isEmpty() && static_cast<unsigned char>(motivo.front()) <= 32)
            motivo = motivo.sliced(1);
        while (!motivo.isEmpty() && static_cast<unsigned char>(motivo.back()) <= 32)
            motivo.chop(1);
        if (ultimo_ >= 0 && bytes_[ultimo_] == motivo) return ultimo_;
        for (int i = 0; i < int(bytes_.size()); ++i)
            if (bytes_[i] == motivo) return ultimo_ = i;
        bytes_.push_back(motivo.toByteArray());
        return ultimo_ = int(bytes_.size()) - 1;
    }
    QString texto(int i) const { return i >= 0 ? QString::fromUtf8(bytes_[i]) : QString(); }

private:
    std::vector<QByteArray> bytes_;
    int ultimo_ = -1;
};

}  // namespace

Inadimplencia inadimplentes(int minimo, std::optional<double> grupo, OrdemInadimplentes ordem)
{
    minimo = std::max(minimo, 1);
    db::Connection& c = conexao();
    Leitura leitura(c);
    Estados estados;
    Motivos motivos;
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
            e.mesMotivo = r.mes;
            e.motivo = motivos.indice(r.motivo);
        }
    });

    struct Devedor {
        double assId;
        int meses;
        double valor;
        int motivo;
    };
    std::vector<Devedor> devedores;
    QSet<double> quem;
    estados.cadaUm([&](double assId, Estado& e) {
        if (int(e.devolvidos.size()) < minimo) return;
        std::sort(e.devolvidos.begin(), e.devolvidos.end());
        int meses = 0;
        double valor = 0;
        for (size_t i = 0; i < e.devolvidos.size(); ++i) {
            if (i == 0 || e.devolvidos[i].first != e.devolvidos[i - 1].first) ++meses;
            valor += e.devolvidos[i].second;
        }
        if (meses < minimo) return;
        devedores.push_back({assId, meses, valor, e.motivo});
        quem.insert(assId);
    });
    const QHash<double, Membro> membros = lerMembros(c, quem);

    Inadimplencia out;
    for (const Devedor& d : devedores) {
        const auto m = membros.constFind(d.assId);
        if (grupo && (m == membros.constEnd() || m->grupoId != grupo)) continue;
        Inadimplente i;
        i.assId = d.assId;
        if (m != membros.constEnd()) {
            i.matricula = m->matricula.trimmed();
            i.nome = m->nome;
            i.grupo = m->grupo;
        }
        i.meses = d.meses;
        i.valor = d.valor;
        i.ultimoMotivo = motivos.texto(d.motivo);
        out.total += d.valor;
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

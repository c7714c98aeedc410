#include "collection/Extrato.h"

#include "collection/Membros.h"

#include <algorithm>
#include <numeric>

namespace cobranca {

namespace {

QDate data(QByteArrayView iso)
{
    const QByteArrayView day = iso.first(std::min<qsizetype>(iso.size(), 10));
    return QDate::fromString(QString::fromLatin1(day), Qt::ISODate);
}

}  // namespace

Extrato extrato(double assId)
{
    db::Connection& c = conexao();
    Leitura leitura(c);
    Extrato out;
    out.assId = assId;
    if (const std::optional<Membro> m = lerMembro(c, assId)) {
        out.existe = true;
        out.nome = m->nome;
        out.matricula = m->matricula.trimmed();
        out.grupo = m->grupo;
    }
    QVector<qint64> rowids;
    percorrerRetornos(c, {{}, {}, assId}, [&](const LinhaRetorno& r) {
        MesExtrato m;
        m.data = data(r.data);
        m.remessa = r.remessa;
        if (r.temValor) m.valor = r.valor;
        m.situacao = r.situacao;
        if (r.situacao == Situacao::Devolvido)
            m.motivo = QString::fromUtf8(r.motivo.toByteArray()).trimmed();
        m.dataRetorno = data(r.dataRetorno);
        if (r.remessa != 0) out.enviado += r.valor;
        if (r.situacao == Situacao::Recebido) out.recebido += r.valor;
        if (r.situacao == Situacao::Devolvido) out.devolvido += r.valor;
        out.meses.append(m);
        rowids.append(r.rowid);
    });
    // Newest first; within a date, the later remittance first, then the later row.
    QVector<int> ordem(out.meses.size());
    std::iota(ordem.begin(), ordem.end(), 0);
    std::sort(ordem.begin(), ordem.end(), [&](int a, int b) {
        const MesExtrato &x = out.meses.at(a), &y = out.meses.at(b);
        if (x.data != y.data) return x.data > y.data;
        if (x.remessa != y.remessa) return x.remessa > y.remessa;
        return rowids.at(a) > rowids.at(b);
    });
    QVector<MesExtrato> meses;
    for (const int i : ordem) meses.append(out.meses.at(i));
    out.meses = std::move(meses);
    return out;
}

}  // namespace cobranca

#include "remittance/PlanoData.h"

#include <QHash>

#include <algorithm>

namespace remessa {

DebitoNaOrdem debitoNaOrdem(qint64 rowid, const QVariant& data, const QVariant& membro,
                            const QDate& debitDate)
{
    const bool semMembro = !membro.isValid() || membro.isNull();
    return {rowid, semMembro ? kSemMembro : membro.toDouble(),
            data.toString() == debitDate.toString(Qt::ISODate)};
}

PlanoData planejarData(const QVector<DebitoNaOrdem>& debitos)
{
    // The debits of each member in key order, members in order of first appearance.
    QHash<double, int> groupOf;
    QVector<QVector<const DebitoNaOrdem*>> groups;
    for (const DebitoNaOrdem& d : debitos) {
        auto it = groupOf.constFind(d.membro);
        if (it == groupOf.constEnd()) {
            it = groupOf.insert(d.membro, int(groups.size()));
            groups.append(QVector<const DebitoNaOrdem*>());
        }
        groups[it.value()].append(&d);
    }
    PlanoData plano;
    for (const auto& rows : groups) {
        int lastOff = -1;
        for (int i = 0; i < rows.size(); ++i)
            if (!rows[i]->naData) lastOff = i;
        if (lastOff < 0) continue;
        const int dropCount = std::min(lastOff + 1, int(rows.size()) - 1);
        for (int i = 0; i < dropCount; ++i) plano.apagar.append(rows[i]->rowid);
        if (dropCount == int(rows.size()) - 1 && !rows.last()->naData)
            plano.redatar.append(rows.last()->rowid);
    }
    return plano;
}

}  // namespace remessa

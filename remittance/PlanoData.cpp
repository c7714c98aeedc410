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
        for (int i = 0; i < dropCount; ++i) {
            plano.apagar.append(rows[i]->rowid);
            plano.mantido.append(rows[dropCount]->rowid);
        }
        if (dropCount == int(rows.size()) - 1 && !rows.last()->naData)
            plano.redatar.append(rows.last()->rowid);
    }
    return plano;
}

namespace {

QString dataTexto(const QVariant& iso)
{
    const QDate d = QDate::fromString(iso.toString(), Qt::ISODate);
    return d.isValid() ? d.toString("dd/MM/yyyy") : QString("(sem data)");
}

QString valorTexto(const QVariant& v)
{
    const bool numerico = v.typeId() == QMetaType::Double || v.typeId() == QMetaType::LongLong;
    return numerico ? QString::number(v.toDouble(), 'f', 2).replace('.', ',')
                    : QString("(sem valor)");
}

}  // namespace

QString textoApagado(const DebitoApagado& d, const QDate& debitDate, bool futuro)
{
    QString t = QString("o débito de %1, valor %2, %3 pela data da remessa; fica o de %4, "
                        "valor %5")
                    .arg(dataTexto(d.data), valorTexto(d.valor),
                         futuro ? "será apagado" : "foi apagado", dataTexto(d.dataMantido),
                         valorTexto(d.valorMantido));
    if (d.mantidoRedatado)
        t += ", levado para " + debitDate.toString("dd/MM/yyyy");
    return t + '.';
}

}  // namespace remessa

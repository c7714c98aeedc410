#include "remittance/PlanoData.h"

#include <QHash>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace remessa {

DebitoNaOrdem debitoNaOrdem(qint64 rowid, const QVariant& data, const QVariant& membro,
                            const QDate& debitDate)
{
    const bool semMembro = !membro.isValid() || membro.isNull();
    return {rowid, semMembro ? kSemMembro : membro.toDouble(),
            data.toString() == debitDate.toString(Qt::ISODate)};
}

namespace {

// One member's debits in key order, the i-th given by `at(i)`: rows are taken from the first
// while one of them lies on another date and more than one is left; the last one is then
// re-dated if it still lies on another date.
template <typename At>
void planejarMembro(PlanoData& plano, int n, At at)
{
    int lastOff = -1;
    for (int i = 0; i < n; ++i)
        if (!at(i).naData) lastOff = i;
    if (lastOff < 0) return;
    const int dropCount = std::min(lastOff + 1, n - 1);
    for (int i = 0; i < dropCount; ++i) {
        plano.apagar.append(at(i).rowid);
        plano.mantido.append(at(dropCount).rowid);
    }
    if (dropCount == n - 1 && !at(n - 1).naData) plano.redatar.append(at(n - 1).rowid);
}

}  // namespace

PlanoData planejarData(const QVector<DebitoNaOrdem>& debitos)
{
    PlanoData plano;
    // One member's alone, as the generation plans them, are planned where they lie.
    const bool one = std::all_of(debitos.cbegin(), debitos.cend(), [&](const DebitoNaOrdem& d) {
        return d.membro == debitos.front().membro;
    });
    if (one) {
        planejarMembro(plano, int(debitos.size()),
                       [&](int i) -> const DebitoNaOrdem& { return debitos[i]; });
        return plano;
    }
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
    for (const auto& rows : groups)
        planejarMembro(plano, int(rows.size()),
                       [&](int i) -> const DebitoNaOrdem& { return *rows[i]; });
    return plano;
}

namespace {

// "dd/MM/yyyy" of an ISO date, put together from its characters (a line of the log per deleted
// debit: formatting through the locale would cost more than the deletion).
void dataTexto(QByteArray& out, QByteArrayView t)
{
    auto digits = [&](int from, int n) {
        int v = 0;
        for (int i = from; i < from + n; ++i) {
            if (t[i] < '0' || t[i] > '9') return -1;
            v = v * 10 + (t[i] - '0');
        }
        return v;
    };
    if (t.size() != 10 || t[4] != '-' || t[7] != '-'
        || !QDate(digits(0, 4), digits(5, 2), digits(8, 2)).isValid()) {
        out += "(sem data)";
        return;
    }
    const char text[] = {t[8], t[9], '/', t[5], t[6], '/', t[0], t[1], t[2], t[3]};
    out.append(text, sizeof text);
}

void valorTexto(QByteArray& out, const std::optional<double>& v)
{
    if (!v) {
        out += "(sem valor)";
        return;
    }
    const double d = *v;
    if (!std::isfinite(d) || std::fabs(d) >= 1e15) {
        out += QString::number(d, 'f', 2).replace('.', ',').toUtf8();
        return;
    }
    // As "%.2f" gives it, put together from the hundredths.
    const qint64 c = std::llrint(std::fabs(d) * 100);
    char text[24];
    char* end = text;
    if (d < 0 && c != 0) *end++ = '-';
    end = std::to_chars(end, text + sizeof text - 3, c / 100).ptr;
    *end++ = ',';
    *end++ = char('0' + c % 100 / 10);
    *end++ = char('0' + c % 10);
    out.append(text, end - text);
}

std::optional<double> numero(const QVariant& v)
{
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::LongLong)
        return v.toDouble();
    return std::nullopt;
}

}  // namespace

void textoApagado(QByteArray& out, const DataValor& apagado, const DataValor& mantido,
                  bool mantidoRedatado, const QDate& debitDate, bool futuro)
{
    // Put together piece by piece: a remittance may log many of these.
    out += "o débito de ";
    dataTexto(out, apagado.data);
    out += ", valor ";
    valorTexto(out, apagado.valor);
    out += futuro ? ", será apagado" : ", foi apagado";
    out += " pela data da remessa; fica o de ";
    dataTexto(out, mantido.data);
    out += ", valor ";
    valorTexto(out, mantido.valor);
    if (mantidoRedatado) out += ", levado para " + debitDate.toString("dd/MM/yyyy").toUtf8();
    out += '.';
}

PassoPorMembro::PassoPorMembro(const QDate& debitDate,
                               std::function<void(qint64, const QByteArray&)> apagado,
                               std::function<void(qint64)> redatado)
    : date_(debitDate),
      iso_(debitDate.toString(Qt::ISODate).toUtf8()),
      apagado_(std::move(apagado)),
      redatado_(std::move(redatado))
{
}

DataValor PassoPorMembro::Debito::dataValor() const
{
    return {temData ? QByteArrayView(data, 10) : QByteArrayView(), valor};
}

void PassoPorMembro::add(qint64 rowid, QByteArrayView data, double membro,
                         std::optional<double> valor)
{
    if (!ordem_.isEmpty() && ordem_.last().membro != membro) planejar();
    Debito d{rowid, {}, data.size() == 10, valor};
    if (d.temData) std::copy(data.begin(), data.end(), d.data);
    grupo_.append(d);
    ordem_.append({rowid, membro, data == iso_});
}

void PassoPorMembro::finish()
{
    if (!ordem_.isEmpty()) planejar();
}

void PassoPorMembro::planejar()
{
    const PlanoData plano = planejarData(ordem_);
    auto of = [&](qint64 rowid) -> const Debito& {
        return *std::find_if(grupo_.cbegin(), grupo_.cend(),
                             [&](const Debito& d) { return d.rowid == rowid; });
    };
    const double membro = ordem_.front().membro;
    for (int i = 0; i < plano.apagar.size(); ++i) {
        const Debito& fica = of(plano.mantido[i]);
        linha_ = "associado ";
        if (membro == kSemMembro) {
            linha_ += "(sem associado)";
        } else {
            char text[400];
            linha_.append(
                text,
                std::to_chars(text, text + sizeof text, membro, std::chars_format::fixed, 0).ptr
                    - text);
        }
        linha_ += ": ";
        textoApagado(linha_, of(plano.apagar[i]).dataValor(), fica.dataValor(),
                     plano.redatar.contains(fica.rowid), date_, false);
        apagado_(plano.apagar[i], linha_);
    }
    for (const qint64 rowid : plano.redatar) redatado_(rowid);
    apagados_ += plano.apagar.size();
    redatados_ += plano.redatar.size();
    grupo_.clear();
    ordem_.clear();
}

QString textoApagado(const DebitoApagado& d, const QDate& debitDate, bool futuro)
{
    const QByteArray data = d.data.toString().toUtf8();
    const QByteArray dataMantido = d.dataMantido.toString().toUtf8();
    QByteArray out;
    textoApagado(out, {data, numero(d.valor)}, {dataMantido, numero(d.valorMantido)},
                 d.mantidoRedatado, debitDate, futuro);
    return QString::fromUtf8(out);
}

}  // namespace remessa

#include "remittance/MemberIndex.h"

#include "core/TextHelpers.h"
#include "core/engine/Connection.h"
#include "core/engine/SqlValue.h"

#include <sqlite3.h>

#include <algorithm>
#include <numeric>
#include <vector>

namespace retorno {

MemberIndex::MemberIndex(db::Connection& c)
{
    c.attach("ASSOCIADOS.DB");
    db::StmtGuard st(db::prepare(
        c.handle(),
        "SELECT ASS_ID, ASS_MATRICULA, ASS_CONTA_CORRENTE, ASS_NOME FROM ASSOCIADOS.ASSOCIADOS "
        "ORDER BY ASS_CONTA_CORRENTE, ASS_NOME, ASS_ID",
        "ASSOCIADOS.DB"));
    QVector<QString> values[3];
    while (sqlite3_step(st.get()) == SQLITE_ROW) {
        ids_ << sqlite3_column_int64(st.get(), 0);
        for (int f = 0; f < 3; ++f) {
            const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), f + 1));
            const QString v = p ? QString::fromUtf8(p) : QString();
            values[f] << (f == Matricula ? numeroEnviado(v) : v);
        }
    }
    for (int f = 0; f < 3; ++f) {
        const QString* v = values[f].constData();
        std::vector<int> order(size_t(ids_.size()));
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [v](int a, int b) { return v[a] < v[b]; });
        Sorted& s = fields_[f];
        s.keys.reserve(qsizetype(order.size()));
        s.ranks.reserve(qsizetype(order.size()));
        for (int i : order) {
            s.keys << v[i];
            s.ranks << i;
        }
        s.build();
    }
}

void MemberIndex::Sorted::build()
{
    sparse = {ranks};
    for (int k = 1; (1 << k) <= ranks.size(); ++k) {
        QVector<int> next(ranks.size() - (1 << k) + 1);
        const int* prev = sparse.constLast().constData();
        int* to = next.data();
        const qsizetype n = next.size(), half = qsizetype(1) << (k - 1);
        for (qsizetype i = 0; i < n; ++i) to[i] = std::min(prev[i], prev[i + half]);
        sparse << std::move(next);
    }
}

int MemberIndex::Sorted::minRank(int from, int to) const
{
    int k = 0;
    while ((2 << k) <= to - from) ++k;
    return std::min(sparse[k][from], sparse[k][to - (1 << k)]);
}

qint64 MemberIndex::find(Field field, const QString& text) const
{
    if (text.isEmpty()) return -1;
    const Sorted& s = fields_[field];
    const auto lo = std::lower_bound(s.keys.cbegin(), s.keys.cend(), text);
    // The keys equal to the text, then those that begin with it, follow one another.
    const auto equalEnd = std::upper_bound(lo, s.keys.cend(), text);
    const auto prefixEnd = std::partition_point(
        lo, s.keys.cend(), [&](const QString& k) { return k.startsWith(text); });
    const auto first = int(lo - s.keys.cbegin());
    if (lo != equalEnd) return ids_[s.minRank(first, int(equalEnd - s.keys.cbegin()))];
    if (lo == prefixEnd) return -1;
    return ids_[s.minRank(first, int(prefixEnd - s.keys.cbegin()))];
}

QString MemberIndex::numeroEnviado(const QString& matricula)
{
    qsizetype b = 0, e = matricula.size();
    while (b < e && matricula.at(b).unicode() <= 32) ++b;
    while (e > b && matricula.at(e - 1).unicode() <= 32) --e;
    QString n = RetirarMascara(matricula.mid(b, e - b), "./-");
    qsizetype zeros = 0;
    while (zeros + 1 < n.size() && n.at(zeros) == '0') ++zeros;
    return n.mid(zeros);
}

}  // namespace retorno

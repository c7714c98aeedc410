#include "remittance/MemberIndex.h"

#include "core/engine/Connection.h"
#include "core/engine/Statement.h"
#include "remittance/OrdemChave.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <numeric>

namespace retorno {

namespace {

uint32_t hashOf(std::string_view v)
{
    const size_t h = std::hash<std::string_view>{}(v);
    return uint32_t(h ^ (h >> 32));
}

// The first eight bytes of a value, zero-padded, as a number that orders as the bytes do.
uint64_t headOf(std::string_view v)
{
    uint64_t h = 0;
    for (size_t i = 0; i < 8; ++i)
        h = (h << 8) | (i < v.size() ? uint8_t(v[i]) : 0u);
    return h;
}

}  // namespace

MemberIndex::MemberIndex(db::Connection& c)
{
    c.attach("ASSOCIADOS.DB");
    db::Statement st(c, "SELECT ASS_ID, ASS_MATRICULA, ASS_CONTA_CORRENTE, ASS_NOME FROM "
                        "ASSOCIADOS.ASSOCIADOS ORDER BY "
                            + remessa::ordemDaChave("ASSOCIADOS.DB", "ID_ASSOCIADOS_CONTA"),
                     "ASSOCIADOS.DB");
    while (st.next()) {
        ids_.push_back(st.int64(0));
        for (int f = 0; f < 3; ++f) {
            const QByteArrayView b = st.bytes(f + 1);
            const std::string_view v(b.data() ? b.data() : "", size_t(b.size()));
            if (f == Matricula) fields_[f].add(numeroEnviado(v));
            else fields_[f].add(v);
        }
    }
    for (Values& v : fields_) v.buildEqual();
}

qint64 MemberIndex::find(Field field, std::string_view text)
{
    if (text.empty()) return -1;
    int position = fields_[field].firstEqual(text);
    if (position < 0) position = fields_[field].firstPrefixed(text);
    return position < 0 ? -1 : ids_[size_t(position)];
}

std::string MemberIndex::numeroEnviado(std::string_view matricula)
{
    size_t b = 0, e = matricula.size();
    while (b < e && uint8_t(matricula[b]) <= 32) ++b;
    while (e > b && uint8_t(matricula[e - 1]) <= 32) --e;
    std::string n;
    n.reserve(e - b);
    for (size_t i = b; i < e; ++i)
        if (matricula[i] != '.' && matricula[i] != '/' && matricula[i] != '-') n += matricula[i];
    size_t zeros = 0;
    while (zeros + 1 < n.size() && n[zeros] == '0') ++zeros;
    return n.substr(zeros);
}

void MemberIndex::Values::add(std::string_view v)
{
    bytes_.append(v);
    start_.push_back(uint32_t(bytes_.size()));
}

void MemberIndex::Values::buildEqual()
{
    const size_t n = start_.size() - 1;
    size_t capacity = 16;
    while (capacity < 2 * n) capacity *= 2;
    slots_.assign(capacity, Slot{});
    const size_t mask = capacity - 1;
    for (size_t i = 0; i < n; ++i) {
        const std::string_view v = at(int(i));
        const uint32_t h = hashOf(v);
        for (size_t s = h & mask;; s = (s + 1) & mask) {
            Slot& slot = slots_[s];
            if (slot.position < 0) {
                slot = Slot{int32_t(i), h};
                break;
            }
            if (slot.hash == h && at(slot.position) == v) break;  // an earlier member has it
        }
    }
}

int MemberIndex::Values::firstEqual(std::string_view text) const
{
    const uint32_t h = hashOf(text);
    const size_t mask = slots_.size() - 1;
    for (size_t s = h & mask;; s = (s + 1) & mask) {
        const Slot& slot = slots_[s];
        if (slot.position < 0) return -1;
        if (slot.hash == h && at(slot.position) == text) return slot.position;
    }
}

int MemberIndex::Values::firstPrefixed(std::string_view text)
{
    if (order_.empty() && start_.size() > 1) buildOrder();
    auto value = [this](int i) { return at(i); };
    const auto lo = std::partition_point(order_.cbegin(), order_.cend(),
                                         [&](int i) { return value(i) < text; });
    const auto end = std::partition_point(lo, order_.cend(), [&](int i) {
        return value(i).substr(0, text.size()) == text;
    });
    if (lo == end) return -1;
    if (tree_.empty()) buildTree();
    return minPosition(size_t(lo - order_.cbegin()), size_t(end - order_.cbegin()));
}

void MemberIndex::Values::buildOrder()
{
    const size_t n = start_.size() - 1;
    struct Entry {
        uint64_t head;
        int position;
    };
    std::vector<Entry> entries(n);
    for (size_t i = 0; i < n; ++i) entries[i] = Entry{headOf(at(int(i))), int(i)};
    std::sort(entries.begin(), entries.end(), [this](const Entry& a, const Entry& b) {
        if (a.head != b.head) return a.head < b.head;
        const int c = at(a.position).compare(at(b.position));
        return c != 0 ? c < 0 : a.position < b.position;
    });
    order_.resize(n);
    for (size_t i = 0; i < n; ++i) order_[i] = entries[i].position;
}

void MemberIndex::Values::buildTree()
{
    // A segment tree of minima over order_: leaves at [n, 2n), each node the least of its two.
    const size_t n = order_.size();
    tree_.assign(2 * n, 0);
    std::copy(order_.cbegin(), order_.cend(), tree_.begin() + std::ptrdiff_t(n));
    for (size_t i = n; i-- > 1;) tree_[i] = std::min(tree_[2 * i], tree_[2 * i + 1]);
}

int MemberIndex::Values::minPosition(size_t from, size_t to) const
{
    const size_t n = order_.size();
    int best = std::numeric_limits<int>::max();
    for (size_t l = from + n, r = to + n; l < r; l /= 2, r /= 2) {
        if (l & 1) best = std::min(best, tree_[l++]);
        if (r & 1) best = std::min(best, tree_[--r]);
    }
    return best;
}

}  // namespace retorno

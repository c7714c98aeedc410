// The members as the return import searches them: for a text, the first member in account
// order (the order of the index ID_ASSOCIADOS_CONTA) whose enrolment number, account or name
// begins with it, exactly and case-sensitively. Built once per import; each search is two
// binary searches and a range-minimum lookup, never a pass over the members.
#pragma once

#include <QString>
#include <QVector>

namespace db { class Connection; }

namespace retorno {

class MemberIndex {
public:
    enum Field { Matricula, Conta, Nome };

    // Reads ASSOCIADOS (attached on `c`).
    explicit MemberIndex(db::Connection& c);

    // The ASS_ID of the first member in account order whose field begins with `prefix`;
    // -1 when none does (or the prefix is empty).
    qint64 find(Field field, const QString& prefix) const;

private:
    struct Sorted {
        QVector<QString> keys;   // the field's values, in code-unit order
        QVector<int> ranks;      // each value's member, as its position in account order
        QVector<QVector<int>> sparse;  // range minimum of ranks: sparse[k][i] = min over 2^k
        void build();
        int minRank(int from, int to) const;  // over [from, to)
    };
    Sorted fields_[3];
    QVector<qint64> ids_;  // ASS_ID by account-order position
};

}  // namespace retorno

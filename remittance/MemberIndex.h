// The members as the return import searches them: for a text, the first member in account
// order (the order of the index ID_ASSOCIADOS_CONTA) whose enrolment number, account or name
// equals it, else the first whose field begins with it, case-sensitively. The enrolment number
// is compared as the remittance file carries it (see numeroEnviado). Built once per import;
// each search is a few binary searches and range-minimum lookups, never a pass over the members.
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

    // The ASS_ID of the first member in account order whose field equals `text`, else of the
    // first whose field begins with it; -1 when none does (or the text is empty).
    qint64 find(Field field, const QString& text) const;

    // An enrolment number as the remittance sends it and the return file gives it back: without
    // surrounding blanks and control characters, without ".", "/" and "-", and without leading
    // zeros ("12.345-6" and "0123456" both give "123456"; "000" gives "0").
    static QString numeroEnviado(const QString& matricula);

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

// The members as the return import searches them: for a text, the first member in account
// order (the order of the index ID_ASSOCIADOS_CONTA) whose enrolment number, account or name
// equals it, else the first whose field begins with it, case-sensitively. Texts are compared as
// their UTF-8 bytes, and the enrolment number as the remittance file carries it (see
// numeroEnviado). Built once per import: an equal text is found by one hash probe; the order
// that a prefix search needs is built for a field on its first prefix search, and each such
// search is then a few binary searches and a range-minimum lookup, never a pass over the members.
#pragma once

#include <QtGlobal>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace db { class Connection; }

namespace retorno {

class MemberIndex {
public:
    enum Field { Matricula, Conta, Nome };

    // Reads ASSOCIADOS (attached on `c`).
    explicit MemberIndex(db::Connection& c);

    // The ASS_ID of the first member in account order whose field equals `text` (UTF-8), else
    // of the first whose field begins with it; -1 when none does (or the text is empty).
    qint64 find(Field field, std::string_view text);

    // An enrolment number as the remittance sends it and the return file gives it back: without
    // surrounding blanks and control characters, without ".", "/" and "-", and without leading
    // zeros ("12.345-6" and "0123456" both give "123456"; "000" gives "0").
    static std::string numeroEnviado(std::string_view matricula);

private:
    // One field's values by account-order position.
    class Values {
    public:
        void add(std::string_view v);
        void buildEqual();                       // the hash of equal values
        int firstEqual(std::string_view text) const;   // position, or -1
        int firstPrefixed(std::string_view text);      // position, or -1

    private:
        std::string_view at(int i) const
        {
            return std::string_view(bytes_).substr(start_[size_t(i)],
                                                   start_[size_t(i) + 1] - start_[size_t(i)]);
        }
        void buildOrder();   // on the first prefix search
        void buildTree();  // on the first prefix search that finds a value
        int minPosition(size_t from, size_t to) const;  // over order_[from, to)

        std::string bytes_;                  // the values one after another
        std::vector<uint32_t> start_{0};     // value i is bytes_[start_[i], start_[i + 1])
        struct Slot {
            int32_t position = -1;           // the first member with the value; -1: empty
            uint32_t hash = 0;
        };
        std::vector<Slot> slots_;            // open addressing, a power of two in size
        std::vector<int> order_;             // positions in value order (equal values by position)
        std::vector<int> tree_;            // a segment tree of minima over order_
    };
    Values fields_[3];
    std::vector<qint64> ids_;  // ASS_ID by account-order position
};

}  // namespace retorno

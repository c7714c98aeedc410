// The members as the return import searches them: for a text, the first member in account
// order (the order of the index ID_ASSOCIADOS_CONTA) whose enrolment number, account or name
// equals it, else the first whose field begins with it, case-sensitively. Texts are compared as
// their UTF-8 bytes, and the enrolment number as the remittance file carries it (see
// numeroEnviado). Nothing of the members is held in memory. Under the collation of the account
// and name indexes of ASSOCIADOS two texts are equal only when their bytes are, so an equal
// account or name is one seek there, and so is an account that begins with a text of digits.
// The other searches go to a copy of the field in a temporary table of the connection (made on
// the field's first such search, in account order, indexed by its bytes): an equal enrolment
// number is one seek; a prefix search reads the values that begin with the text, and one that
// read many is remembered (in a temporary table too), so that a text the file repeats is not
// read again.
#pragma once

#include <QtGlobal>

#include <memory>
#include <string>
#include <string_view>

namespace db { class Connection; class Statement; }

namespace retorno {

class MemberIndex {
public:
    enum Field { Matricula, Conta, Nome };

    // Reads ASSOCIADOS (attached on `c`). Inside a transaction the temporary tables belong to
    // it: a rollback takes them away with the rest.
    explicit MemberIndex(db::Connection& c);
    ~MemberIndex();
    MemberIndex(const MemberIndex&) = delete;
    MemberIndex& operator=(const MemberIndex&) = delete;

    // The ASS_ID of the first member in account order whose field equals `text` (UTF-8), else
    // of the first whose field begins with it; -1 when none does (or the text is empty).
    qint64 find(Field field, std::string_view text);

    // An enrolment number as the remittance sends it and the return file gives it back: without
    // surrounding blanks and control characters, without ".", "/" and "-", and without leading
    // zeros ("12.345-6" and "0123456" both give "123456"; "000" gives "0").
    static std::string numeroEnviado(std::string_view matricula);

private:
    void copy(Field field);  // the field's copy, made on its first search that needs it
    qint64 findPrefixed(Field field, std::string_view text);

    db::Connection& c_;
    struct Searches;
    std::unique_ptr<Searches> s_;
    bool copied_[3] = {false, false, false};
    bool remembered_ = false;  // some prefix search is remembered
};

}  // namespace retorno

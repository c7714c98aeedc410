// The member search: a second cursor on ASSOCIADOS searched while the operator types, by name,
// by current account or by identifier (one index per tab), and the hand-back of the chosen
// member to the window that opened the search: the members register or the debit entry.
#pragma once

#include <QString>
#include <QVariant>

namespace db { class Table; }

namespace registers {

// The tabs of the search, in their order.
enum class SearchTab { Nome = 0, ContaCorrente = 1, Identificador = 2 };

// The index a tab searches on, and the field its edit's text is compared with.
QString indexOfTab(SearchTab tab);
QString fieldOfTab(SearchTab tab);

class MemberSearch {
public:
    // `search` is the search table of the opening window's data module (not owned).
    explicit MemberSearch(db::Table& search) : search_(search) {}

    // Opens the search table unless it is open (it keeps its position between searches) and
    // orders it by the current tab's index (the name at first).
    void open();
    // Orders the search table by the tab's index, keeping the current member current.
    void setTab(SearchTab tab);
    SearchTab tab() const { return tab_; }
    // Moves to the first member whose key is not below `text` (compared case- and
    // accent-insensitively), or to the last member when none is. On the identifier tab the
    // text is a number: empty searches a blank key (the first row); a text that is not a
    // number throws the engine's conversion error and the position stays.
    void search(const QString& text);
    // ASS_ID of the current member; invalid when the search table is empty.
    QVariant currentMember() const;

private:
    db::Table& search_;
    SearchTab tab_ = SearchTab::Nome;
};

// OK of the members register: the register's member table, after finishing its pending change
// (posted if changed, dropped if not; an error is thrown before anything moves), shows the
// member `member` and is back in name order.
void handBackToRegister(const QVariant& member, db::Table& associados);

// OK of the debit entry: a debit being inserted gets `member` as DEB_ASS_ID and stays pending;
// otherwise the first debit of the member becomes current (a pending edit finished first), and
// without one the debit table stays where it was.
void handBackToDebit(const QVariant& member, db::Table& debito);

// Cancel of the debit entry: a debit being inserted is dropped, an edit undone.
void dropPendingDebit(db::Table& debito);

}  // namespace registers

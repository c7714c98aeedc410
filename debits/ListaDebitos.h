// The debit list: the statement of the list query for an order and a group, and the rebuild
// that reopens the query and finds again the debit that was selected (or its neighbour).
#pragma once

#include <QStringList>

#include <optional>

namespace db { class Query; }

namespace debitos {

// The orders of the list, as the items of the radio group "Orden".
enum class Ordem { Alfabetica = 0, ContaCorrente = 1, Grupo = 2, Identificador = 3, Matricula = 4 };
constexpr int kOrdens = 5;

// The captions of the orders, item 0 to 4 ("&Alfabética", ...).
QStringList ordemCaptions();

// The statement lines of the list: the debits joined with their member and the member's group,
// only group `grupo` when given, in order `ordem`.
QStringList statementLines(Ordem ordem, std::optional<qint64> grupo);

// Radio_OrdenClick: remembers the current debit (member and value) and a neighbour, rebuilds
// and reopens `list` with the statement above, then goes back to the remembered debit, or to
// the neighbour when the debit is gone. A failure of that last step is ignored; a failure to
// open the query throws EngineError. Data-aware controls are suspended meanwhile.
void rebuildList(db::Query& list, Ordem ordem, std::optional<qint64> grupo);

}  // namespace debitos

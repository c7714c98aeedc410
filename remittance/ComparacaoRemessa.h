// Before a remittance, for information: how it differs from the previous one (the rows of
// RET_DEBITO carrying the stored remittance number) — members debited then and not now,
// members new this time, amounts that changed — and the totals of both.
#pragma once

#include <QDate>
#include <QStringList>

namespace db { class Connection; }

namespace remessa {

// One line per difference after a first line with both totals; empty when no remittance was
// recorded before. Reads PARAMETROS, ASSOCIADOS, DEBITO and RET_DEBITO of `c` (attached before
// the read transaction begins: attaching inside it is refused) as
// the remittance for `debitDate` would send the debits (after the date step); call inside a
// read transaction. Throws db::EngineError when a table cannot be read.
QStringList compararComAnterior(db::Connection& c, const QDate& debitDate);

}  // namespace remessa

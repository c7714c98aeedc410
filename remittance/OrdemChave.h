// The orders the table definitions give, for the statements of the remittance and the return
// import: an index's columns as stored (the primary key's fields after its own), then the rowid
// where the key is not the rowid itself, so that rows come exactly as the table's own order
// would give them.
#pragma once

#include <QString>

namespace remessa {

// "DEB_DATA, DEB_ASS_ID, DEB_VALOR, rowid" for ordemDaChave("DEBITO.DB"); with `index` the
// secondary index of that name, with `alias` each column prefixed ("d." gives "d.DEB_DATA").
QString ordemDaChave(const char* fileName, const char* index = "", const QString& alias = {});

}  // namespace remessa

// Undoing the last remittance on the server store, as remessa::desfazerUltimaRemessa does on a
// data folder, from the record the server's generation keeps.
#pragma once

#include "core/pgstore/PgConnection.h"
#include "remittance/DesfazerRemessa.h"

namespace remessa {

// Under the generation's lock (TravaDaRemessa) and in one transaction that locks DEBITO and
// RET_DEBITO against other writers and the company's row: refused when there is none, when its
// number is no longer the stored one, when a return came for it, or when a row it left was
// changed since. After the commit the file is renamed when it lies on this computer.
ResultadoDesfazer desfazerNoServidor(pg::Connection& c);

}  // namespace remessa

// The remittance file on its way, recorded on the server store, and the lock that lets one
// generation or undo run at a time among all the computers of a server.
#pragma once

#include "core/pgstore/PgConnection.h"
#include "remittance/ArquivoPendente.h"

#include <memory>

namespace servidor {

// The record in the server's tolmare_arquivo_pendente. It lists only the files that lie on
// this computer: another computer's file is finished by that computer's next generation.
std::unique_ptr<remessa::RegistroPendente> registroNoServidor(pg::Connection& c);

// Held from before a generation or an undo reads anything to after its file is in place. A
// session lock of the server: a program that stops loses it with its connection. Waits the
// connection's lock_timeout, then throws a PgError of kind Busy.
class TravaDaRemessa {
public:
    explicit TravaDaRemessa(pg::Connection& c);
    ~TravaDaRemessa();
    TravaDaRemessa(const TravaDaRemessa&) = delete;
    TravaDaRemessa& operator=(const TravaDaRemessa&) = delete;
    // Throws a PgError of kind ConnectionLost when the connection was opened again since the
    // lock was taken (the lock went with the old one).
    void confirmar() const;

private:
    pg::Connection& c_;
    int backend_ = 0;
};

}  // namespace servidor

// Process-wide state shared by the windows: the current user number.
#pragma once

#include <cstdint>

// The current user number: 0 at start, 1 from the creation of the first window onward
// (there is no log-in). Copied into every *_USR_ID field the program writes.
extern std::int32_t UsuarioAtual;

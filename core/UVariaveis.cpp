#include "core/UVariaveis.h"

std::int32_t UsuarioAtual = 0;

// Routines of the main window that other modules call: right alignment of a text, and the
// removal of repeated RET_DEBITO rows (one per debit date and member remains).
#pragma once

#include <QString>

// The text right-aligned in `length` positions, filled on the left with `fill` repeated, or
// its first `length` characters when it is that long or longer.
QString Complementa_Texto_Direita(const QString& text, const QString& fill, int length);

// Leaves one RET_DEBITO row per (DEB_DATA, DEB_ASS_ID): the first in the order of the index
// Si_Data_Associado. Throws db::EngineError when a table cannot be read or changed; rows
// already removed stay removed.
void Apagar_Duplicacoes_Retorno();

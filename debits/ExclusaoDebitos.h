// Deleting debits from the debit list: the selected debit, or every debit of the table, and
// finding the debit to alter. Each works on the data module's debit table and list query.
#pragma once

#include <QString>

class TDMDebito;

namespace debitos {

// The questions the list window asks before deleting.
extern const char* const kPerguntaExcluir;        // "Excluir o Registro Atual ?"
extern const char* const kPerguntaApagarTodos1;   // "Esta opção irá excluir TODOS ..."
extern const char* const kPerguntaApagarTodos2;   // "Tem certeza que deseja apagar ..."

// The second question before deleting every debit: it says how many debits the table holds
// and, when the list shows fewer, that the hidden ones go too.
QString perguntaApagarTodos(int naTabela, int naLista);

// Deletes from TDebito the debit of the list's current row (found by its whole key: date,
// member, value). False, with nothing deleted, when the list is empty or no debit matches.
// Throws EngineError when the table refuses.
bool excluirDebitoAtual(TDMDebito& dm);

// Deletes every row of DEBITO, also those the list does not show (other groups, members or
// groups missing), in one transaction: all of them or, on failure, none. Returns how many.
int apagarTodosDebitos(TDMDebito& dm);

// Moves TDebito to the first debit, in key order, with the member and value of the list's
// current row (the date not compared). False, TDebito unmoved, when none matches.
bool localizarDebitoParaAlterar(TDMDebito& dm);

}  // namespace debitos

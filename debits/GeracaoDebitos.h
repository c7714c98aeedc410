// Bulk entry by group: one debit of the same value, dated today, for every member of a group,
// in name order. Each member's debit is posted or fails on its own; a failure (a debit of that
// member, date and value exists already) skips that member and the walk goes on.
#pragma once

#include <QDate>
#include <QString>
#include <QVariant>

#include <optional>

class TDMDebito;

namespace debitos {

// A value typed by the operator, read as every Money field reads it (db::readNumber):
// "15,5", "15.5" and "1.234,50" are read; nullopt for what cannot be read without guessing.
std::optional<double> lerValor(const QString& text);

struct Geracao {
    bool ok = false;       // false: nothing was written; `mensagem` says what to correct
    QString mensagem;
    int gravados = 0;      // debits written
    int ignorados = 0;     // members skipped (their debit of today with this value exists)
};

// Generates the debits of group `grupo` (its GRP_ID; anything that is not a whole number is
// refused) with the value `valor` and the date `hoje`, through the data module's TAssociados
// (walked in name order under the filter "ASS_GRP_ID = n", switched off again) and TDebito's
// table, written in one transaction (TDebito is left on the last debit written). TDebito and
// TAssociados must be open. A failure other than a repeated key writes nothing and throws
// EngineError.
Geracao gerarDebitosGrupo(TDMDebito& dm, const QVariant& grupo, const QString& valor,
                          const QDate& hoje);

}  // namespace debitos

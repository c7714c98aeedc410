// The remittance generation: for a debit date, writes PREVI's remittance file, brings every
// pending debit to that date, records each debit sent in RET_DEBITO as "Aguardando Retorno"
// and advances the remittance number. It shows nothing: the caller shows the outcome.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace remessa {

struct Outcome {
    enum class Kind {
        Done,          // `summary` holds the five summary lines
        NameTooLong,   // error box
        NoDebits,      // information box
        CannotCreate,  // plain message box
        Failed         // error box: no path, parameters or a debit unfit to send, a table
                       // busy or failing, the file not written to the end; nothing changed
    };
    Kind kind = Kind::Done;
    QString message;      // the text to show (the summary lines joined by "\r" when Done)
    QStringList summary;
};

// Called once per detail record written, with the records so far and the number of debits.
using Progress = std::function<void(int position, int maximum)>;

// The refusal of a path before anything is touched: no name, or a name part longer than 20
// characters (NameTooLong). Empty when the path can be tried.
std::optional<Outcome> recusaDoCaminho(const QString& path);

// Generates the remittance of `debitDate` into `path` on the database "Tolmare": one
// transaction reads the remittance number and changes DEBITO, RET_DEBITO and PARAMETROS, and
// the file, complete from header to trailer, replaces any file at `path` only once that has
// committed. Any failure changes no table and leaves no file. First finishes what a stopped
// generation left (concluirPendentes).
Outcome GerarArquivo(const QString& path, const QDate& debitDate, const QDate& today,
                     const Progress& progress = {});

// The date step alone (every debit brought to `debitDate`), in one pass over the debits.
// Used by GerarArquivo; callers provide the transaction.
void levarDebitosParaData(const QDate& debitDate);

}  // namespace remessa

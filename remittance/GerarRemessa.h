// The remittance generation: for a debit date, writes PREVI's remittance file, brings every
// pending debit to that date, records each debit sent in RET_DEBITO as "Aguardando Retorno"
// and advances the remittance number. It shows nothing: the caller shows the outcome.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <functional>

namespace remessa {

struct Outcome {
    enum class Kind {
        Done,          // `summary` holds the five summary lines
        NameTooLong,   // error box
        NoDebits,      // information box
        CannotCreate,  // plain message box
        Failed         // error box: parameters or a debit unfit to send (nothing changed),
                       // or a table or the file failed once the generation began
    };
    Kind kind = Kind::Done;
    QString message;      // the text to show (the summary lines joined by "\r" when Done)
    QStringList summary;
};

// Called once per detail record written, with the records so far and the number of debits.
using Progress = std::function<void(int position, int maximum)>;

// Generates the remittance of `debitDate` into `path` on the database "Tolmare". The file
// appears at `path` only complete, header to trailer.
Outcome GerarArquivo(const QString& path, const QDate& debitDate, const QDate& today,
                     const Progress& progress = {});

// The date step alone (every debit brought to `debitDate`), in one pass over the debits.
// Used by GerarArquivo; callers provide the transaction.
void levarDebitosParaData(const QDate& debitDate);

}  // namespace remessa

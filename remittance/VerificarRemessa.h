// The check before a remittance: every problem of the debits that would be sent for a debit
// date, found at once, so that the operator corrects them before the file goes to PREVI.
// It reads the tables and changes nothing.
#pragma once

#include "core/TextHelpers.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

namespace remessa {

struct Problema {
    enum class Tipo {
        Impede,    // the remittance should not go as it is: value, collision, parameters
        Ignorado,  // the debit would be passed over: no member, no enrolment number
        Apagado,   // the date step deletes the debit: the member has another one, kept
        Aviso      // sent, but worth knowing
    };
    Tipo tipo = Tipo::Impede;
    QString associado;  // "ASS_ID - name"; empty for the parameters
    QString matricula;  // as stored
    QString texto;
};

struct Verificacao {
    QList<Problema> problemas;
    qint64 debitos = 0;  // debits that would be sent
    Currency total = 0;  // their sum
    // For information: how it differs from the previous remittance (compararComAnterior).
    QStringList comparacao;
    // True when nothing would stop the remittance ("Gerar mesmo assim" may be offered).
    bool podeGerar() const;
    // One line per problem, those that stop the remittance first.
    QStringList linhas() const;
};

// Checks the debits of the alias "Tolmare" as the remittance for `debitDate` would send them
// (after the date step): every debit the date step deletes (with the one kept), debits passed
// over (member missing, no enrolment number), values
// that stop it (none, zero or negative, fractions of a cent, too large for the record), members
// whose numbers would be the same in the file once "./-" are removed and the number padded,
// debits of members whose group no longer exists, and the company parameters. Reads in one
// read transaction. Throws db::EngineError when a table cannot be read.
Verificacao verificarRemessa(const QDate& debitDate);

}  // namespace remessa

// The records of PREVI's remittance file: 49 characters each, written in Windows-1252 and
// ended by CR LF.
#pragma once

#include "core/TextHelpers.h"

#include <QDate>
#include <QString>

namespace remessa {

// What follows the last "\" or "/" of a path (the whole path when there is none).
QString namePart(const QString& path);
// The file name proposed for a remittance: "ARQ_PREVI_" + the number in six digits + ".txt".
QString proposedFileName(qint64 remittanceNumber);

// The enrolment number as the generation reads it: without the spaces and control characters
// around it. A member whose number is then empty is not sent.
QString matriculaAparada(const QString& matricula);

// True when an amount can be written in `positions` positions of a record (13 for a debit,
// 15 for the trailer's total).
bool valorCabe(double value, int positions);

QString headerRecord(const QString& namePart, const QDate& today);
QString detailRecord(const QString& codInt, const QString& matricula, const QDate& debitDate,
                     const QString& codVerba, Currency value);
QString trailerRecord(qint64 count, Currency total);

}  // namespace remessa

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

// The detail record of detailRecord() as the bytes written to the file (Windows-1252, without
// the line end), appended to `out`; the parts that stay the same across a generation are given
// already encoded: `lead` is "1" and the interface code, `middle` the month, year and payroll
// code, `tail` the year, month and "0+". False, with nothing appended, when the enrolment
// number is not plain ASCII (the caller then goes through detailRecord()).
bool appendDetailBytes(QByteArray& out, const QByteArray& lead, const char* matricula,
                       qsizetype matriculaSize, const QByteArray& middle, Currency value,
                       const QByteArray& tail);

}  // namespace remessa

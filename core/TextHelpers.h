// The text helpers that build fixed-width file records and bank codes. Pure functions: no
// table, no window, no global state.
#pragma once

#include <QDate>
#include <QString>

// The table engine's money type: a fixed-point amount in ten-thousandths.
using Currency = qint64;

// A floating-point amount as money: rounded to the nearest ten-thousandth, ties to even.
Currency toCurrency(double value);

// The text padded on the left with "0" to `length`, or its last `length` characters.
QString Padlzero(const QString& text, int length);
// The text without any of the characters of `remove`.
QString RetirarMascara(const QString& text, const QString& remove);
// The amount in hundredths, truncated toward zero, as plain decimal digits ("-" when negative).
QString FormataValor(Currency value);
// The date as yyyymmdd.
QString FormataData(const QDate& date);
// The code's base digits, "-" and its modulus-11 check character.
QString CalculaDigitoVerificador(const QString& code);

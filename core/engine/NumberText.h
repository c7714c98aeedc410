// How the program reads a number typed or handed over as text into a Number or Money field,
// and what a digit is for the edit masks: one rule for every edit, the bulk entry and the
// table engine, so a value stored is the value meant or nothing at all.
#pragma once

#include <QString>

#include <optional>

namespace db {

// The digits a number or a mask's digit position takes: 0 to 9 only.
bool isDigit(QChar c);

// The text as a number, or nullopt when it cannot be read without guessing. Accepted: an
// optional "-", digits, and a decimal comma ("1234,5"); with a comma, dots may group the
// thousands ("1.234,5"); without one, dots that group thousands ("1.234.567") or a lone dot
// as the decimal separator ("15.5"). Refused: any other character, dots that do not group
// thousands ("1.2.3", "12.34,5"), a lone dot followed by exactly three digits ("1.234", which
// is a thousand or a fraction), and more than four decimals in a Money field. Surrounding
// spaces are ignored; an empty text answers nullopt too (check for it first).
std::optional<double> readNumber(const QString& text, bool money);

}  // namespace db

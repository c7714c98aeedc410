// The return report's filter: the month typed as mm/yyyy in "Mês / Ano Inicial", the range of
// that month set on the returns' table (and lifted after the report), and which rows print.
#pragma once

#include <QDate>
#include <QString>

#include <optional>

namespace db { class Table; }

namespace retorno {

// The items of CBMotivo, in their order.
enum class Motivo { Todos = 0, Com = 1, Sem = 2 };

// Whether a row with this return date prints under `m`: the test is on the return date, not
// on the reason, so a row that came back with a blank reason counts as returned.
bool imprime(Motivo m, const QDate& dataRetorno);

// The month field after a change: "/" appended to a text of exactly two characters, a text
// of seven or more cut to seven.
QString ajustarMes(const QString& texto);

// The first day of the month typed: "01/" + `texto` read as day/month/year; a text with only
// a month means that month of `hoje`'s year, a year of one or two digits one of `hoje`'s
// century. nullopt when it is no date ("13/2004", "05/"), with `erro` saying what to correct.
std::optional<QDate> primeiroDia(const QString& texto, const QDate& hoje, QString* erro = nullptr);

// Step P1: with an empty `texto` the table is left as it is (all rows, or the month a
// preceding import left in force); otherwise any range is lifted and the month's range of
// DEB_DATA (first to last day) is set. Returns the error message when `texto` is no month;
// the range has been lifted by then.
QString definirMes(db::Table& TRet_Debito, const QString& texto, const QDate& hoje);

}  // namespace retorno

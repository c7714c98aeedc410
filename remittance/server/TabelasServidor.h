// What the server store's return import and remittance both do with the tables.
#pragma once

#include "core/pgstore/PgConnection.h"
#include "core/pgstore/ServerSchema.h"

#include <QDate>

#include <string>

namespace servidor {

// The tables, as the server's SQL names them.
inline const std::string kDebito = pg::qualified("DEBITO");
inline const std::string kRet = pg::qualified("RET_DEBITO");
inline const std::string kAssociados = pg::qualified("ASSOCIADOS");
inline const std::string kParametros = pg::qualified("PARAMETROS");
inline const std::string kDesfazer = pg::qualified("REMESSA_DESFAZER");
inline const std::string kLinhas = pg::qualified("REMESSA_DESFAZER_LINHAS");
inline const std::string kImportados = pg::qualified("RETORNOS_IMPORTADOS");

// The ORDER BY clause of an index of a table ("" for the key), in the file store's order.
std::string orderOf(const char* fileName, const char* index);
// The same without "ORDER BY", to follow other sort columns.
std::string orderColumns(const char* fileName, const char* index);

// A whole number as the server wrote it; 0 for an empty value.
qint64 whole(const std::string& text);

std::string isoDate(const QDate& d);

// One RET_DEBITO row per date and member: the first in the order of Si_Data_Associado stays.
// Inside the caller's transaction, with RET_DEBITO locked against other writers.
void removeRepeated(pg::Connection& c);

// Sends `rows` (COPY's text format, a line each) by the COPY ... FROM STDIN `copy` and empties
// them; nothing for no rows.
void copyRows(pg::Connection& c, const std::string& copy, std::string& rows);

// Takes a table against other writers for the caller's transaction (readers go on).
void lockAgainstWriters(pg::Connection& c, const char* table);

}  // namespace servidor

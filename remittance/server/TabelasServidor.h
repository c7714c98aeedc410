// What the server store's return import and remittance both do with the tables.
#pragma once

#include "core/pgstore/PgConnection.h"

#include <QDate>

#include <string>

namespace servidor {

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

// Takes a table against other writers for the caller's transaction (readers go on).
void lockAgainstWriters(pg::Connection& c, const char* table);

}  // namespace servidor

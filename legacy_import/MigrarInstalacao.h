// Taking the tables of an existing installation's folder into the data folder: the five table
// files and their companions (same base name) are copied, never moved, and the old folder is
// only read. The schema check then converts them like any table of the older format.
#pragma once

#include <QString>
#include <QStringList>

namespace migracao {

// The operator's message when `pastaAntiga` cannot be taken from (missing, not a folder, the
// data folder itself, holding none of the five tables, a link in the data folder where a file
// would be copied); empty when it can.
QString recusaDaPasta(const QString& pastaAntiga, const QString& pastaDados);

// The tables of the data folder that hold rows, "GRUPO.DB (3 registros)", read through the
// engine (the tables already checked). A table that cannot be read (held by another program
// beyond the wait, damaged) throws db::EngineError: it is never taken for an empty one.
QStringList tabelasComRegistros(const QString& pastaDados);

// Moves the five table files of the data folder (with any journal beside them) into a new
// subfolder "Anterior-AAAAMMDD-HHMMSS", whose name goes to `subpasta`. Every connection must
// be closed. Empty, or the operator's message.
QString guardarTabelasAtuais(const QString& pastaDados, QString& subpasta);

// Puts back what guardarTabelasAtuais kept in `subpasta` (a copy that failed). Empty, or the
// operator's message.
QString devolverTabelas(const QString& pastaDados, const QString& subpasta);

// Removes the five table files of the data folder (checked to hold no rows).
QString removerTabelasVazias(const QString& pastaDados);

// Copies the tables of `pastaAntiga` with their companions into the data folder, each file
// written beside its name, synced and then renamed; follows no link. `copiados` gets the file
// names. Empty, or the operator's message.
QString copiarTabelas(const QString& pastaAntiga, const QString& pastaDados, QStringList& copiados);

}  // namespace migracao

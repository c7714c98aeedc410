// The return file import: each line of PREVI's return file names a member and, when the debit
// failed, a reason; the member's RET_DEBITO row of the month gets the outcome and the return
// date. Works on the return module's datasets and leaves the month's range on TRet_Debito.
#pragma once

#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <QStringList>

#include "remittance/RetornosImportados.h"

#include <functional>

class TDMRet_Debito;

namespace retorno {

// One line of the return file, as read: only its first 90 positions count. The texts are
// parts of the line's bytes (Windows-1252), valid as long as the line is.
struct Linha {
    qint64 numero = 0;      // positions 1-15
    QByteArrayView nome;    // 16-60, trailing blanks kept
    QByteArrayView motivo;  // 61-90, trailing blanks kept
};

// Reads a line (bytes in Windows-1252); false when its first 15 positions are not a number
// (the line is passed over).
bool lerLinha(QByteArrayView line, Linha& out);

// Bytes of the file's lines read so far, and the file's size.
using Progress = std::function<void(qint64 position, qint64 size)>;

struct Resultado {
    QStringList resumo;   // the summary lines
    QString novoNome;     // the file's new path; empty when the renaming failed
};

// Reads the month and year typed as MM/AAAA: a month of 1 to 12 in at most two digits, a year
// of four. Returns an empty text, or the message that tells what to correct.
QString validarMesAno(const QString& monthText, const QString& yearText, int& month, int& year);

// Imports `path` for month/year on `dm` (opening its datasets if needed). Throws
// db::EngineError, with nothing changed and the file keeping its name, when the month is not
// 1 to 12 or the year not of four digits, when the file cannot be opened or read, or when
// RET_DEBITO fails (read-only, locked, full disk). A line whose change would repeat a key of
// RET_DEBITO is passed over. Lines may end with CR, LF or CR LF.
//
// Members are searched in account order, an exact match before a prefix match: by enrolment
// number as the remittance writes it (trimmed, without ".", "/" and "-", leading zeros
// ignored), then by account, then by name. The name search compares the line's name field,
// upper-cased and without its trailing blanks: a stored name then matches a line that carries
// it followed by blanks, and a blank name field matches nobody.
//
// Unless `reimportar`, a file whose content is recorded as imported already is refused inside
// the import's own write transaction, so that two imports of one file started together never
// both count: JaImportado is thrown, with nothing changed and the file keeping its name.
Resultado importar(TDMRet_Debito& dm, const QString& path, int month, int year,
                   const QDate& today, const Progress& progress = {}, bool reimportar = false);

// The file turned out to be imported already (see importar).
struct JaImportado {
    ImportacaoAnterior anterior;
};

}  // namespace retorno

// The return file import: each line of PREVI's return file names a member and, when the debit
// failed, a reason; the member's RET_DEBITO row of the month gets the outcome and the return
// date. Works on the return module's datasets and leaves the month's range on TRet_Debito.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

#include <functional>

class TDMRet_Debito;

namespace retorno {

// One line of the return file, as read: only its first 90 positions count.
struct Linha {
    qint64 numero = 0;  // positions 1-15
    QString nome;       // 16-60, trailing blanks kept
    QString motivo;     // 61-90, trailing blanks kept
};

// Reads a line; false when its first 15 positions are not a number (the line is passed over).
bool lerLinha(const QString& line, Linha& out);

// Bytes of the file's lines read so far, and the file's size.
using Progress = std::function<void(qint64 position, qint64 size)>;

struct Resultado {
    QStringList resumo;   // the summary lines
    QString novoNome;     // the file's new path; empty when the renaming failed
};

// Imports `path` for month/year on `dm` (opening its datasets if needed). Throws
// db::EngineError when the file cannot be opened or read. Lines that fail are passed over.
//
// The name search compares the line's name field, upper-cased and without its trailing blanks,
// as a prefix of ASS_NOME: a stored name then matches a line that carries it followed by blanks,
// and a blank name field matches nobody.
Resultado importar(TDMRet_Debito& dm, const QString& path, int month, int year,
                   const QDate& today, const Progress& progress = {});

}  // namespace retorno

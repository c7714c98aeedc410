// What a return import makes of the file's lines, whichever store it runs on: the texts a line
// is searched and recorded by, the summary the operator reads, the messages of a file that is
// no return file, the log line and the file's new name.
#pragma once

#include "remittance/ImportarRetorno.h"
#include "remittance/LeitorLinhas.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

namespace retorno {

// The lines of a return file whose first 15 positions are a number, as they are read: every
// line counted, the progress told, each byte given to the fingerprint's hash.
class LinhasDoRetorno {
public:
    LinhasDoRetorno(QIODevice& file, QCryptographicHash& hash, const Progress& progress);
    // The next such line, valid until the next call; false at the end or on a read error.
    bool next(Linha& l);
    bool error() const { return reader_.error(); }
    qint64 lidas() const { return lidas_; }      // every line read
    qint64 membros() const { return membros_; }  // member lines (see linhaDeAssociado)

private:
    LeitorLinhas reader_;
    const Progress& progress_;
    const qint64 size_;
    QByteArray raw_;
    qint64 done_ = 0, lidas_ = 0, membros_ = 0;
};

// The name field of a line as members are searched by it: upper-cased, without its trailing
// blanks, in UTF-8 (empty for a blank field, which matches nobody).
QByteArray nomeDeBusca(const Linha& l);

// A member line of a return file: its name field is not of digits alone (a file of nothing but
// digits makes no member line).
bool linhaDeAssociado(const Linha& l);

// The reason of a line as RET_DEBITO keeps it: without trailing blanks, in UTF-8; empty when
// the debit was paid. The lines of a file repeat a few reasons, so the last few are kept.
class Motivo {
public:
    const QByteArray& utf8(QByteArrayView motivo);

private:
    struct Kept {
        QByteArray read, utf8;
    };
    Kept kept_[4];
    size_t next_ = 0;
};

// The summary keeps the lines of this many member lines of the file; the rest are imported all
// the same and counted in one last line, so that the summary's memory does not grow with the
// file.
constexpr qint64 kLinhasNoResumo = 20000;

// The summary of an import into `out`: its heading, then a member line after another.
class Resumo {
public:
    Resumo(QStringList& out, int month, int year);
    // A member line, found or not (shown while under kLinhasNoResumo lines).
    void linha(const Linha& l, bool encontrado);
    // Member lines counted without being shown (beyond kLinhasNoResumo).
    void naoMostradas(qint64 importadas, qint64 naoEncontradas);
    // The closing line for the lines not shown, if any.
    void fim();
    qint64 importadas() const { return importadas_; }
    qint64 naoEncontradas() const { return naoEncontradas_; }

private:
    QStringList& out_;
    qint64 importadas_ = 0, naoEncontradas_ = 0;
};

// The file could not be read to its end: what the operator is told.
QString erroDeLeitura(const QString& fileName, const QString& why);
// The file holds no member line.
QString semLinhaDeAssociado(const QString& fileName);

// The log line's detail of an import of `lidas` lines of `fileName` for the month of `first`.
QString detalheImportacao(const QString& fileName, const QDate& first, qint64 lidas,
                          qint64 importadas, qint64 naoEncontradas);

// Renames an imported file to Retorno_<first letter>_<month>-<year>.imp beside it; the new
// path, or empty when a file has that name already or the renaming failed.
QString renomearImportado(const QString& path, int month, int year);

}  // namespace retorno

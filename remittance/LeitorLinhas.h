// Reads the lines of a return file: a line ends at CR, LF or CR LF, whichever the file uses.
// Only the beginning of each line is kept (the import uses its first 90 positions), so a file
// without line ends never fills the memory. Every byte read can also be given to a hash, so
// that the fingerprint of a file is that of the very bytes whose lines were read.
#pragma once

#include <QByteArray>
#include <QIODevice>

class QCryptographicHash;

namespace retorno {

class LeitorLinhas {
public:
    // Keeps at most `keep` bytes of each line.
    explicit LeitorLinhas(QIODevice& in, qsizetype keep = 128, QCryptographicHash* hash = nullptr)
        : in_(in), keep_(keep), hash_(hash)
    {
    }

    // The next line without its end, cut to `keep` bytes; `length` gets its whole length.
    // False at the end of the input. Throws nothing: a read error ends the input and error()
    // tells it apart from the end.
    bool next(QByteArray& line, qint64& length);
    bool error() const { return error_; }

private:
    bool fill();
    QIODevice& in_;
    qsizetype keep_;
    QCryptographicHash* hash_;
    QByteArray buffer_;
    qsizetype pos_ = 0;
    bool afterCR_ = false;  // the last line ended with CR: a LF right after it belongs to it
    bool error_ = false;
};

}  // namespace retorno

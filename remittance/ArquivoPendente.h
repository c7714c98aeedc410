// The remittance file on its way to its path. It is written under a temporary name beside the
// path; a record in the connection's main database tells what to do with it if the program
// stops half-way: a file whose record was committed with the tables ("concluído") is put in
// place, any other is removed. So the file at the path and the tables always agree.
#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

namespace db { class Connection; }

namespace remessa {

class ArquivoPendente {
public:
    // Records the temporary file (committed on its own) and creates it empty. Throws
    // db::EngineError when the record cannot be written; open() tells whether the file exists.
    ArquivoPendente(db::Connection& c, const QString& target);
    // Removes the file and its record unless install() was called (after the commit).
    ~ArquivoPendente();
    ArquivoPendente(const ArquivoPendente&) = delete;
    ArquivoPendente& operator=(const ArquivoPendente&) = delete;

    bool isOpen() const { return file_.isOpen(); }
    // Appends bytes; false when not all of them were written.
    bool write(const QByteArray& bytes);
    // Flushes, forces the bytes to the disk and closes; false when any of these fails.
    bool finish();
    QString errorString() const { return error_; }
    // Marks the record done, inside the caller's transaction: once that commits, the file
    // belongs at its path whatever happens next.
    void markDone();
    // After the commit: renames the file onto its path and forgets the record. Returns an
    // empty text, or what went wrong (the record stays, so the next generation retries).
    QString install();

private:
    db::Connection& c_;
    QString target_;
    QFile file_;
    qint64 id_ = -1;
    bool committed_ = false;
    QString error_;
};

// Finishes what an interrupted generation left: files marked done are put in place, the
// others removed, their records forgotten. Returns a line per file that could not be put in
// place (it stays recorded). Runs before every generation, under the generation's lock: a
// file of a generation still under way must not be touched.
QStringList concluirPendentes(db::Connection& c);

}  // namespace remessa

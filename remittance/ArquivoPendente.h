// The remittance file on its way to its path. It is written under a temporary name beside the
// path; a record in the connection's main database tells what to do with it if the program
// stops half-way: a file whose record was committed with the tables ("concluído") is put in
// place, any other is removed. So the file at the path and the tables always agree.
#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace db { class Connection; }

namespace remessa {

// Where the record of the files on their way is kept: the connection's main database on a data
// folder, the server's table on a server store.
class RegistroPendente {
public:
    struct Pendente {
        qint64 id;
        QString temporario, destino;
        bool concluido;
    };
    virtual ~RegistroPendente() = default;
    // Records a file, committed on its own; returns its id. Throws on failure.
    virtual qint64 inserir(const QString& temporario, const QString& destino) = 0;
    // Inside the caller's transaction. Throws on failure.
    virtual void concluir(qint64 id) = 0;
    // Forgets a record; false when that failed (the next generation tries again). Never throws.
    virtual bool apagar(qint64 id) = 0;
    // The records a generation may finish. Throws on failure.
    virtual std::vector<Pendente> listar() = 0;
};

// The record in the main database of `c`.
std::unique_ptr<RegistroPendente> registroDaPasta(db::Connection& c);

class ArquivoPendente {
public:
    // Records the temporary file (committed on its own) and creates it empty. Throws what the
    // record throws when it cannot be written; open() tells whether the file exists.
    ArquivoPendente(db::Connection& c, const QString& target);
    ArquivoPendente(std::unique_ptr<RegistroPendente> registro, const QString& target);
    // Removes the file and its record unless install() was called (after the commit).
    ~ArquivoPendente();
    ArquivoPendente(const ArquivoPendente&) = delete;
    ArquivoPendente& operator=(const ArquivoPendente&) = delete;

    bool isOpen() const { return file_.isOpen(); }
    // Appends bytes; false when not all of them were written.
    bool write(const QByteArray& bytes);
    // Empties the file to write it again from the start (a transaction run once more), opening
    // it again when it was finished.
    bool recomecar();
    // Flushes, forces the bytes to the disk and closes; false when any of these fails.
    bool finish();
    QString errorString() const { return error_; }
    // Where the file is written until it is put in place.
    QString temporaryPath() const { return file_.fileName(); }
    // Marks the record done, inside the caller's transaction: once that commits, the file
    // belongs at its path whatever happens next.
    void markDone();
    // When it is not known whether the transaction committed (a connection lost on the way):
    // the file and its record stay, and the next generation puts the file in place or removes
    // it as the record then says.
    void manter() { committed_ = true; }
    // After the commit: renames the file onto its path and forgets the record. Returns an
    // empty text, or what went wrong (the record stays, so the next generation retries).
    QString install();

private:
    std::unique_ptr<RegistroPendente> registro_;
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
QStringList concluirPendentes(RegistroPendente& registro);

}  // namespace remessa

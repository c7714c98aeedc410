// The operation log: one line per operation that changed the data folder or its files
// (remittance, return import, backup, restore, schema changes at start-up), with the date and
// time and the user number. It lives in the connection's main database, the hidden file beside
// the tables: not a table of the system, so no backup takes it and no restore rolls it back,
// and a line written inside an operation's transaction commits with that operation or not at
// all. Lines are only ever added: triggers refuse any change or removal.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>

namespace db {
class Connection;
class Statement;
}

namespace historico {

struct Linha {
    QDateTime quando;
    int usuario = 0;
    QString operacao;  // "Remessa", "Retorno", "Backup", "Restauração", "Tabelas"
    QString detalhe;
};

// Adds a line with the current user number and the current date and time. Inside an open
// transaction of `c` the line belongs to it; otherwise it is committed on its own. Throws
// db::EngineError when it cannot be written.
void registrar(db::Connection& c, const QString& operacao, const QString& detalhe);
// The same on the connection of the alias "Tolmare".
void registrar(const QString& operacao, const QString& detalhe);

// The lines from `desde` on (every line when it is not valid), oldest first.
QList<Linha> ler(db::Connection& c, const QDate& desde = {});

// "dd/MM/yyyy hh:mm:ss  usuário N  operação: detalhe".
QString formatar(const Linha& linha);

// Many lines of one operation (a debit deleted by a remittance's date step, one line each),
// inside the caller's open transaction on `c`, dated once, written many to a statement.
// gravar() writes what is left; lines not written by then are dropped. Throws
// db::EngineError when the log cannot be written.
class Lote {
public:
    Lote(db::Connection& c, const QString& operacao);
    ~Lote();
    Lote(const Lote&) = delete;
    Lote& operator=(const Lote&) = delete;
    void registrar(const QString& detalhe);
    void registrarUtf8(const QByteArray& detalhe);
    void gravar();

private:
    db::Connection& c_;
    QByteArray quando_, operacao_;
    QList<QByteArray> detalhes_;
    std::unique_ptr<db::Statement> cheio_;  // for a full batch
};

}  // namespace historico

// Undoing the last remittance while nothing came back for it. The generation keeps, inside its
// own transaction and in the connection's main database, the rows of DEBITO and RET_DEBITO it
// changes and the remittance number it advances, as they were; the undo puts them back
// exactly, in one transaction, and gives the file the name ending ".desfeita" (never deleted:
// it may have been sent already).
#pragma once

#include <QDate>
#include <QString>

#include <optional>

namespace db { class Connection; }

namespace remessa {

// Keeps what a generation will change. Made inside the generation's transaction before its
// first change, with the number the remittance gets; its record replaces that of the
// remittance before (only the last one can be undone): the RET_DEBITO rows of the debit date
// and the remittance number, and, through guardarDebitos(), the debits the date step deletes
// or re-dates, each row exactly as stored.
class GravacaoDesfazer {
public:
    // The date step's plan: a temporary table of the debits it changes (RID the rowid, OP "D"
    // deleted or "U" re-dated).
    static constexpr const char* kPasso = "temp.REMESSA_PASSO";

    GravacaoDesfazer(db::Connection& c, qint64 remessa, const QString& arquivo,
                     const QDate& debitDate);
    GravacaoDesfazer(const GravacaoDesfazer&) = delete;
    GravacaoDesfazer& operator=(const GravacaoDesfazer&) = delete;
    // Keeps the debits of kPasso, before the date step changes them.
    void guardarDebitos();

private:
    db::Connection& c_;
    QString data_;
};

// The remittance that can be undone, as the confirmation names it.
struct UltimaRemessa {
    qint64 numero = 0;
    QString arquivo;     // the file as generated
    QDate dataDebito;
    QString recusa;      // why it cannot be undone; empty when it can
};

// The last remittance generated on the alias "Tolmare", if its record is kept. Throws
// db::EngineError when the tables cannot be read.
std::optional<UltimaRemessa> ultimaRemessa();

struct ResultadoDesfazer {
    enum class Kind { Done, Refused, Failed };
    Kind kind = Kind::Failed;
    QString message;  // the summary when Done, else what stopped it (nothing changed)
};

// Undoes the last remittance on the alias "Tolmare", under the generation's lock and in one
// write transaction: refused when there is none, when its number is no longer the stored one,
// when a return was imported for its month since or a row of it has a return date, or when a
// row it left was changed since. After the commit the file is renamed; a rename a stop left
// undone is finished by the next generation or undo (concluirDesfazimento).
ResultadoDesfazer desfazerUltimaRemessa();

// Finishes the rename of an undone remittance's file that a stop left; empty, or what went
// wrong. Call under the generation's lock.
QString concluirDesfazimento(db::Connection& c);

// What both stores' undo say and do alike.
namespace desfazer {
// The record of the last remittance, as kept.
struct Cabecalho {
    qint64 remessa = 0;
    QString arquivo;
    QDate dataDebito;
    qint64 importacoes = 0;  // imports recorded for its month when it was generated
    bool desfeita = false;
    QString destino;  // the file's name once undone
};
extern const QString kNadaAlterado;
extern const QString kSemRemessa;  // no remittance recorded to be undone
// "A remessa N não pode ser desfeita: ", which a refusal goes on from with one of these.
QString naoPode(qint64 remessa);
extern const QString kNumeroMudou, kDebitoAlterado, kDebitoDeNovo;
// Why the remittance cannot be undone now; empty when it can. `voltou`: a row of it has a
// return date or a return was imported for its month since.
QString recusa(qint64 remessa, bool desfeita, bool numeroMudou, bool voltou,
               const QDate& dataDebito);
// The name the undone file gets: ".desfeita" appended, or, when an earlier undo took that
// name, ".desfeita.2", ".desfeita.3"...
QString destinoLivre(const QString& arquivo);
QString linhaDoHistorico(qint64 remessa, const QDate& dataDebito, const QString& arquivo,
                         const QString& destino);
// The summary of an undo done, the file's rename told when it took place.
QString feito(qint64 remessa, const QDate& dataDebito, const QString& arquivo,
              const QString& destino);
// The rename of the undone file, if the file is there and the name free: empty, or what went
// wrong.
QString renomear(qint64 remessa, const QString& arquivo, const QString& destino);
}  // namespace desfazer

}  // namespace remessa

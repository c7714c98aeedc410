// The outcome of a debit sent, as its RET_DEBITO row tells it: awaiting (no return date),
// received (a return date and a blank reason) or returned (a return date and a reason); and
// the rows of RET_DEBITO walked once, as the collection lists read them.
#pragma once

#include <QByteArrayView>
#include <QDate>
#include <QString>

#include <functional>
#include <optional>

namespace db { class Connection; }

namespace cobranca {

enum class Situacao { Aguardando, Recebido, Devolvido };

// "Aguardando", "Recebido", "Devolvido".
QString nomeSituacao(Situacao s);

// A reason is blank when it holds nothing but spaces and control characters.
bool motivoEmBranco(QByteArrayView motivo);

// A month as one number (year * 12 + month - 1), read from the start of an ISO date text
// ("2026-07-10"); -1 when the text is no such date.
int mesDe(QByteArrayView isoDate);
int mesDe(const QDate& d);
QDate primeiroDia(int mes);

// One RET_DEBITO row as the lists need it. The texts point into the statement's row and are
// valid during the call only.
struct LinhaRetorno {
    qint64 rowid = 0;
    double associado = 0;
    bool temAssociado = false;
    int mes = -1;                 // of DEB_DATA
    QByteArrayView data;          // DEB_DATA as stored
    QByteArrayView dataRetorno;   // empty: awaiting
    double remessa = 0;           // 0 or empty: created by a return import
    double valor = 0;
    bool temValor = false;
    QByteArrayView motivo;        // DEB_OCORRENCIA (UTF-8)
    Situacao situacao = Situacao::Aguardando;
};

// Calls `each` for every RET_DEBITO row whose DEB_DATA lies in [desde, ate) (both optional)
// and, when `associado` is given, of that member only; rows in table order. Runs inside the
// caller's read transaction. Throws db::EngineError when the table cannot be read.
struct FiltroRetornos {
    QDate desde, ate;              // invalid: no bound
    std::optional<double> associado;
};
void percorrerRetornos(db::Connection& c, const FiltroRetornos& filtro,
                       const std::function<void(const LinhaRetorno&)>& each);

// Reads in one read transaction: another program's commit in the middle cannot mix two states
// of the tables.
class Leitura {
public:
    explicit Leitura(db::Connection& c);
    ~Leitura();
    Leitura(const Leitura&) = delete;
    Leitura& operator=(const Leitura&) = delete;

private:
    db::Connection& c_;
    bool began_ = false;
};

// The connection of the alias "Tolmare" with RET_DEBITO, ASSOCIADOS and GRUPO attached.
db::Connection& conexao();

}  // namespace cobranca

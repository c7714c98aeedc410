// The return files already imported, known by a fingerprint of their content, so that the
// same file is not imported twice by mistake (for instance once under its own name and again
// after it was copied back). Kept in the connection's main database beside the tables and
// recorded inside the import's own transaction: a file counts as imported exactly when its
// outcomes were committed.
#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>

namespace db { class Connection; }

namespace retorno {

// The fingerprint of a content: "blake2b:" and its BLAKE2b-256 in hexadecimal. Imports recorded
// before carry the SHA-256 in hexadecimal alone, and are still recognised.
constexpr QCryptographicHash::Algorithm kAlgoritmoImpressao = QCryptographicHash::Blake2b_256;
QByteArray textoImpressao(const QCryptographicHash& hash);  // of a hash of kAlgoritmoImpressao

// The fingerprint of the file at `path`, read in bounded pieces. Empty when the file cannot be
// read.
QByteArray impressaoDigital(const QString& path);
// The fingerprint imports were recorded under before (the SHA-256 in hexadecimal); empty when
// the file cannot be read.
QByteArray impressaoAntiga(const QString& path);

struct ImportacaoAnterior {
    QDate data;     // the day it was imported
    int mes = 0;    // the month it was imported for
    int ano = 0;
    QString arquivo;
    qint64 linhas = 0;
};

// The earlier import of a file with this fingerprint (the latest one), if any.
std::optional<ImportacaoAnterior> importacaoAnterior(db::Connection& c, const QByteArray& impressao);

// The earlier import of the file at `path` whose fingerprint is `impressao`, under it or under
// the SHA-256 of before, if any. Throws EngineError when the table or the file cannot be read.
std::optional<ImportacaoAnterior> importacaoAnterior(db::Connection& c, const QByteArray& impressao,
                                                     const QString& path);

// The earlier import of the file at `path` on the alias "Tolmare", if any.
std::optional<ImportacaoAnterior> importacaoAnterior(const QString& path);

// Records an import; call it inside the import's transaction.
void registrarImportacao(db::Connection& c, const QByteArray& impressao, const QString& arquivo,
                         int mes, int ano, const QDate& data, qint64 linhas);

// A restore put back RET_DEBITO.DB from a copy whose file date is `copia` (local time, to the
// two seconds of an archive's dates): the imports recorded after it are not in the restored
// table and no longer count as imported. Call it on the data folder's connection (inside the
// transaction that logs the restore); returns how many imports stopped counting. Imports
// recorded before the time of day was kept count unless made on a later day.
int desfazerPosteriores(db::Connection& c, const QDateTime& copia, const QString& motivo);

// RET_DEBITO.DB of a data folder as a restore finds it, taken before the restore writes.
struct RetDebitoAntes {
    QString path;
    quint64 inode = 0;  // 0 when there was none
};
RetDebitoAntes antesDaRestauracao(const QString& folder);

// Logs a restore ("Restauração", `detalhe`) on `c`, the data folder's connection; when the
// restore put a copy of RET_DEBITO.DB in place of `antes` (a new file there), the imports
// recorded after that copy stop counting in the same transaction, and the line says how many.
// Throws db::EngineError when it cannot be written.
void registrarRestauracao(db::Connection& c, const QString& detalhe, const RetDebitoAntes& antes);

// "Este arquivo já foi importado em dd/mm/aaaa para mm/aaaa. Importar novamente?"
QString perguntaReimportar(const ImportacaoAnterior& anterior);

}  // namespace retorno

// What both stores' remittance generations say and write alike: the messages, the summary, the
// log line, and the detail records gathered into blocks of the file.
#pragma once

#include "core/TextHelpers.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <QStringList>

namespace remessa {

// Ends every refusal: nothing was changed.
extern const QString kNadaAlterado;
// Another generation, import or undo holds the tables.
extern const QString kOcupado;

// The error of a file that could not be written to the end.
QString falhaDeGravacao(const QString& path, const QString& why);
// Hundredths as the program shows money ("1234,50").
QString dinheiro(qint64 cents);
// Why a debit cannot go into the file: no number for a value (`temValor` false), or one too
// large for the 13 positions of the detail record.
QString problemaDoValor(bool temValor, double valor, double membro, const QDate& debitDate);
// The trailer's 15 positions cannot hold the total (empty when they can).
QString totalNaoCabe(qint64 cents);
// The summary shown after a generation.
QStringList resumoDaRemessa(qint64 registros, qint64 cents, const QDate& today, qint64 numero,
                            const QString& path);
// The operation log's line of a generation.
QString linhaDoHistorico(qint64 numero, const QDate& debitDate, const QString& path,
                         qint64 registros, qint64 cents);
// A committed remittance whose file could not be put at its path.
QString arquivoNaoPosto(qint64 numero, const QString& path, const QString& why);

// The detail records of one generation, appended to a block of the file.
class Detalhes {
public:
    Detalhes(const QString& codInt, const QString& codVerba, const QDate& debitDate);
    // An enrolment number as stored (UTF-8 bytes) without the spaces and control characters
    // around it, as it is sent: a member whose number is then empty is not sent.
    static QByteArrayView aparada(QByteArrayView matricula);
    // Appends the record of a debit, `matricula` trimmed, and its line end.
    void adicionar(QByteArray& block, QByteArrayView matricula, Currency amount) const;

private:
    QString codInt_, codVerba_;
    QDate date_;
    QByteArray lead_, middle_, tail_;  // the parts that stay the same, encoded once
};

}  // namespace remessa

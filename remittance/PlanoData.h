// The date step of a remittance, planned: which debits are deleted and which one of a member is
// re-dated so that every debit left lies on the debit date. Pure: the generation carries the
// plan out, the check before a remittance uses it to know which debits would be sent.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <QVariant>
#include <QVector>

#include <limits>
#include <optional>

namespace remessa {

// The member of a debit without one: such debits count as one member of their own.
inline constexpr double kSemMembro = -std::numeric_limits<double>::infinity();

struct DebitoNaOrdem {
    qint64 rowid = 0;
    double membro = kSemMembro;  // DEB_ASS_ID
    bool naData = false;         // already on the debit date
};

// A debit as read from DEBITO: DEB_DATA as stored (ISO text) and DEB_ASS_ID (none: no member).
DebitoNaOrdem debitoNaOrdem(qint64 rowid, const QVariant& data, const QVariant& membro,
                            const QDate& debitDate);

struct PlanoData {
    QVector<qint64> apagar;   // rowids deleted
    QVector<qint64> mantido;  // for each of `apagar`, the rowid of the member's debit kept
    QVector<qint64> redatar;  // rowids moved to the debit date
};

// `debitos` in DEBITO's key order (date, member, value). For each member, rows are taken from
// the first while one of them lies on another date and more than one is left; the last one is
// then re-dated if it still lies on another date. These are the rows the row-by-row procedure
// that restarts from the first debit leaves.
PlanoData planejarData(const QVector<DebitoNaOrdem>& debitos);

// A debit the date step deletes, and the member's debit kept in its place, for the check and
// the operation log: "o débito de 05/11/2026, valor 15,00, será apagado; fica o de 10/12/2026,
// valor 20,00" (and "levado para" the debit date when the kept one is re-dated). Dates as
// stored (ISO text), values as stored.
struct DebitoApagado {
    QVariant data, valor;
    QVariant dataMantido, valorMantido;
    bool mantidoRedatado = false;
};
QString textoApagado(const DebitoApagado& d, const QDate& debitDate, bool futuro);

// The same text appended to `out` as UTF-8, from a debit's parts as SQLite gives them (the
// generation logs one per deleted debit): the date's stored text, the value when it is a number.
struct DataValor {
    QByteArrayView data;
    std::optional<double> valor;
};
void textoApagado(QByteArray& out, const DataValor& apagado, const DataValor& mantido,
                  bool mantidoRedatado, const QDate& debitDate, bool futuro);

// The log line of a debit the generation deletes: "associado 12: " (or "associado (sem
// associado): ") and the text above, into `out`.
void linhaApagado(QByteArray& out, double membro, const DataValor& apagado,
                  const DataValor& mantido, bool mantidoRedatado, const QDate& debitDate);

}  // namespace remessa

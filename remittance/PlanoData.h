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

#include <functional>
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

// The date step planned member by member as the debits come, by member and then in key order
// (both stores' generations read them so): memory holds one member's debits. Each debit
// deleted is handed to `apagado` with its log line ("associado 12: o débito de ..."), each
// re-dated to `redatado`.
class PassoPorMembro {
public:
    PassoPorMembro(const QDate& debitDate,
                   std::function<void(qint64 rowid, const QByteArray& linha)> apagado,
                   std::function<void(qint64 rowid)> redatado);
    // A debit: DEB_DATA's stored text (an ISO date, or something that is none), DEB_ASS_ID
    // (kSemMembro for none), DEB_VALOR when it is a number. The member before is planned when
    // the member changes.
    void add(qint64 rowid, QByteArrayView data, double membro, std::optional<double> valor);
    // Plans the last member.
    void finish();
    qint64 apagados() const { return apagados_; }
    qint64 redatados() const { return redatados_; }

private:
    struct Debito {
        qint64 rowid;
        char data[10];
        bool temData;
        std::optional<double> valor;
        DataValor dataValor() const;
    };
    void planejar();
    QDate date_;
    QByteArray iso_, linha_;
    std::function<void(qint64, const QByteArray&)> apagado_;
    std::function<void(qint64)> redatado_;
    QVector<Debito> grupo_;
    QVector<DebitoNaOrdem> ordem_;
    qint64 apagados_ = 0, redatados_ = 0;
};

}  // namespace remessa

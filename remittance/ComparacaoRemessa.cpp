#include "remittance/ComparacaoRemessa.h"

#include "core/TextHelpers.h"
#include "core/engine/Connection.h"
#include "core/engine/Statement.h"
#include "remittance/OrdemChave.h"
#include "remittance/PlanoData.h"
#include "remittance/RemessaRecords.h"

#include <QMap>
#include <QSet>
#include <QVariant>

#include <cmath>

namespace remessa {

namespace {

QString dinheiro(double v) { return QString::number(v, 'f', 2).replace('.', ','); }

struct Lado {
    QMap<double, double> membros;  // the amount of each member
    double total = 0;
    void soma(double membro, double valor)
    {
        membros[membro] += valor;
        total += valor;
    }
};

// The debits the remittance for `debitDate` would send, by member.
Lado estaRemessa(db::Connection& c, const QDate& debitDate)
{
    struct Debito {
        qint64 rowid;
        double membro, valor;
        bool enviado;
    };
    QVector<Debito> debitos;
    QVector<DebitoNaOrdem> ordem;
    db::Statement st(c, "SELECT d.rowid, d.DEB_DATA, d.DEB_ASS_ID, d.DEB_VALOR, a.ASS_ID, "
                        "a.ASS_MATRICULA FROM DEBITO.DEBITO d LEFT JOIN ASSOCIADOS.ASSOCIADOS a "
                        "ON a.ASS_ID = d.DEB_ASS_ID ORDER BY "
                            + ordemDaChave("DEBITO.DB", "", "d."), "DEBITO.DB");
    while (st.next()) {
        const qint64 rowid = st.int64(0);
        ordem.append(debitoNaOrdem(rowid, st.value(1), st.value(2), debitDate));
        debitos.append({rowid, st.real(2), st.real(3),
                        !st.isNull(4) && !matriculaAparada(st.value(5).toString()).isEmpty()});
    }
    const PlanoData plano = planejarData(ordem);
    const QSet<qint64> apagados(plano.apagar.cbegin(), plano.apagar.cend());
    Lado out;
    for (const Debito& d : debitos)
        if (d.enviado && !apagados.contains(d.rowid)) out.soma(d.membro, d.valor);
    return out;
}

}  // namespace

QStringList compararComAnterior(db::Connection& c, const QDate& debitDate)
{
    double numero = -1;
    {
        db::Statement st(c, "SELECT EMP_NR_REM_PREVI FROM PARAMETROS.PARAMETROS ORDER BY "
                                + ordemDaChave("PARAMETROS.DB") + " LIMIT 1", "PARAMETROS.DB");
        if (st.next()) numero = st.real(0);
    }
    if (numero <= 0) return {};
    Lado antes;
    QDate quando;
    {
        db::Statement st(c, "SELECT DEB_ASS_ID, DEB_VALOR, DEB_DATA FROM RET_DEBITO.RET_DEBITO "
                            "WHERE DEB_REMESSA = ?", "RET_DEBITO.DB");
        st.bind({numero});
        while (st.next()) {
            antes.soma(st.real(0), st.real(1));
            quando = QDate::fromString(st.value(2).toString(), Qt::ISODate);
        }
    }
    if (antes.membros.isEmpty()) return {};
    const Lado agora = estaRemessa(c, debitDate);

    QHash<double, QString> nomes;
    {
        db::Statement st(c, "SELECT ASS_ID, ASS_NOME FROM ASSOCIADOS.ASSOCIADOS",
                         "ASSOCIADOS.DB");
        while (st.next()) nomes.insert(st.real(0), st.value(1).toString().trimmed());
    }
    const QString anterior = "remessa " + QString::number(numero, 'f', 0)
                             + (quando.isValid() ? " (" + quando.toString("dd/MM/yyyy") + ")" : "");
    auto quem = [&](double m) {
        const QString nome = nomes.value(m);
        return QString::number(m, 'f', 0) + (nome.isEmpty() ? QString() : " - " + nome);
    };
    QStringList out;
    // By member: the remittance records one RET_DEBITO row per member and date, summing the
    // member's debits of that date.
    out << "Comparação: na " + anterior + " " + QString::number(antes.membros.size())
               + " associado(s), total " + dinheiro(antes.total) + "; nesta "
               + QString::number(agora.membros.size()) + " associado(s), total "
               + dinheiro(agora.total) + ".";
    for (auto it = antes.membros.cbegin(); it != antes.membros.cend(); ++it)
        if (!agora.membros.contains(it.key()))
            out << "Comparação: associado " + quem(it.key()) + ": debitado na " + anterior
                       + " (" + dinheiro(it.value()) + ") e não nesta.";
    for (auto it = agora.membros.cbegin(); it != agora.membros.cend(); ++it) {
        const auto then = antes.membros.constFind(it.key());
        if (then == antes.membros.cend())
            out << "Comparação: associado " + quem(it.key()) + ": novo nesta remessa ("
                       + dinheiro(it.value()) + ").";
        else if (toCurrency(then.value()) != toCurrency(it.value()))
            out << "Comparação: associado " + quem(it.key()) + ": valor mudou de "
                       + dinheiro(then.value()) + " para " + dinheiro(it.value()) + ".";
    }
    return out;
}

}  // namespace remessa

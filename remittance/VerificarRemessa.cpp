#include "remittance/VerificarRemessa.h"

#include "core/engine/Connection.h"
#include "core/engine/Database.h"
#include "core/engine/Statement.h"
#include "remittance/ComparacaoRemessa.h"
#include "remittance/OrdemChave.h"
#include "remittance/PlanoData.h"
#include "remittance/RemessaRecords.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace remessa {

namespace {

using Tipo = Problema::Tipo;

QString numero(const QVariant& v)
{
    return v.isValid() ? QString::number(v.toDouble(), 'f', 0) : QString("(sem número)");
}

QString dinheiro(double v)
{
    return QString::number(v, 'f', 2).replace('.', ',');
}

struct Debito {
    qint64 rowid;
    QVariant data, membro, valor;
    bool existe;  // the member exists
    QString nome, matricula;
    bool grupoExiste;
};

QString quemDe(const Debito& d)
{
    return numero(d.membro) + (d.existe ? " - " + d.nome.trimmed() : QString());
}

void verificarParametros(db::Connection& c, QList<Problema>& out)
{
    db::Statement st(c, "SELECT EMP_COD_INT_PREVI, EMP_COD_VERBA_PREVI, EMP_NR_REM_PREVI FROM "
                        "PARAMETROS.PARAMETROS ORDER BY " + ordemDaChave("PARAMETROS.DB")
                            + " LIMIT 1", "PARAMETROS.DB");
    if (!st.next()) {
        out.append({Tipo::Impede, {}, {}, "Não há parâmetros da empresa em PARAMETROS.DB: "
                                          "cadastre-os antes de gerar a remessa."});
        return;
    }
    const struct { int col; const char* nome; int largura; } codigos[] = {
        {0, "código de interface PREVI", 2}, {1, "código de verba PREVI", 4}};
    for (const auto& k : codigos) {
        const QVariant v = st.value(k.col);
        const QString texto = v.typeId() == QMetaType::Double ? numero(v) : v.toString().trimmed();
        if (texto.isEmpty()) {
            out.append({Tipo::Impede, {}, {}, QString("O %1 está vazio nos parâmetros da empresa.")
                                                  .arg(k.nome)});
        } else if (texto.size() > k.largura
                   || !std::all_of(texto.cbegin(), texto.cend(), [](QChar ch) { return ch.isDigit(); })) {
            out.append({Tipo::Impede, {}, {},
                        QString("O %1 (\"%2\") não é um número de até %3 dígitos: o arquivo "
                                "levaria outro código.").arg(k.nome, texto).arg(k.largura)});
        }
    }
    const QVariant nr = st.value(2);
    if (!nr.isValid() || nr.toDouble() < 0)
        out.append({Tipo::Impede, {}, {}, "O número da remessa está vazio ou negativo nos "
                                          "parâmetros da empresa."});
}

}  // namespace

bool Verificacao::podeGerar() const
{
    return std::none_of(problemas.cbegin(), problemas.cend(),
                        [](const Problema& p) { return p.tipo == Tipo::Impede; });
}

QStringList Verificacao::linhas() const
{
    QStringList out;
    for (const Tipo tipo : {Tipo::Impede, Tipo::Ignorado, Tipo::Apagado, Tipo::Aviso}) {
        const QString rotulo = tipo == Tipo::Impede     ? "Impede"
                               : tipo == Tipo::Ignorado ? "Não enviado"
                               : tipo == Tipo::Apagado  ? "Será apagado"
                                                        : "Aviso";
        for (const Problema& p : problemas) {
            if (p.tipo != tipo) continue;
            QString line = rotulo + ": ";
            if (!p.associado.isEmpty()) {
                line += "associado " + p.associado;
                if (!p.matricula.isEmpty()) line += " (matrícula " + p.matricula + ")";
                line += ": ";
            }
            out << line + p.texto;
        }
    }
    return out;
}

Verificacao verificarRemessa(const QDate& debitDate)
{
    db::Connection& c = db::Session::instance().connectionFor("Tolmare");
    for (const char* f : {"PARAMETROS.DB", "GRUPO.DB", "ASSOCIADOS.DB", "DEBITO.DB",
                          "RET_DEBITO.DB"})
        c.attach(QString::fromLatin1(f));
    Verificacao v;
    // One read transaction around the whole check, so that another program's commit in the
    // middle cannot mix two states of the tables.
    db::ReadTransaction leitura(c);
    verificarParametros(c, v.problemas);

    QVector<Debito> debitos;
    QVector<DebitoNaOrdem> ordem;
    {
        db::Statement st(c, "SELECT d.rowid, d.DEB_DATA, d.DEB_ASS_ID, d.DEB_VALOR, a.ASS_ID, "
                            "a.ASS_NOME, a.ASS_MATRICULA, g.GRP_ID FROM DEBITO.DEBITO d "
                            "LEFT JOIN ASSOCIADOS.ASSOCIADOS a ON a.ASS_ID = d.DEB_ASS_ID "
                            "LEFT JOIN GRUPO.GRUPO g ON g.GRP_ID = a.ASS_GRP_ID ORDER BY "
                                + ordemDaChave("DEBITO.DB", "", "d."), "DEBITO.DB");
        while (st.next()) {
            Debito d{st.int64(0), st.value(1), st.value(2), st.value(3), !st.isNull(4),
                     st.value(5).toString(), st.value(6).toString(), !st.isNull(7)};
            ordem.append(debitoNaOrdem(d.rowid, d.data, d.membro, debitDate));
            debitos.append(d);
        }
    }
    const PlanoData plano = planejarData(ordem);
    const QSet<qint64> apagados(plano.apagar.cbegin(), plano.apagar.cend());
    {
        QHash<qint64, const Debito*> porRowid;
        for (const Debito& d : debitos) porRowid.insert(d.rowid, &d);
        const QSet<qint64> redatados(plano.redatar.cbegin(), plano.redatar.cend());
        for (int i = 0; i < plano.apagar.size(); ++i) {
            const Debito& d = *porRowid.value(plano.apagar[i]);
            const Debito& fica = *porRowid.value(plano.mantido[i]);
            v.problemas.append({Tipo::Apagado, quemDe(d), d.matricula,
                                textoApagado({d.data, d.valor, fica.data, fica.valor,
                                              redatados.contains(fica.rowid)},
                                             debitDate, true)});
        }
    }

    QHash<QString, QString> donoDoNumero;  // number as written in the file -> first member
    QSet<QString> colisoes;
    QSet<QString> avisados;
    for (const Debito& d : debitos) {
        if (apagados.contains(d.rowid)) continue;
        const QString quem = quemDe(d);
        if (!d.existe) {
            v.problemas.append({Tipo::Ignorado, quem, {}, "o associado do débito não existe "
                                                          "mais; o débito não será enviado."});
            continue;
        }
        const QString matricula = matriculaAparada(d.matricula);
        if (matricula.isEmpty()) {
            v.problemas.append({Tipo::Ignorado, quem, {}, "sem número de matrícula; o débito "
                                                          "não será enviado."});
            continue;
        }
        const bool numerico = d.valor.typeId() == QMetaType::Double
                              || d.valor.typeId() == QMetaType::LongLong;
        const double valor = d.valor.toDouble();
        if (!numerico) {
            v.problemas.append({Tipo::Impede, quem, d.matricula, "débito sem valor."});
        } else if (valor <= 0) {
            v.problemas.append({Tipo::Impede, quem, d.matricula,
                                "débito de valor zero ou negativo (" + dinheiro(valor) + ")."});
        } else if (!valorCabe(valor, 13)) {
            v.problemas.append({Tipo::Impede, quem, d.matricula, "o valor " + dinheiro(valor)
                                + " não cabe nas 13 posições do valor na remessa."});
        } else if (toCurrency(valor) % 100 != 0) {
            v.problemas.append({Tipo::Impede, quem, d.matricula, "o valor "
                                + QString::number(valor, 'f', 4).replace('.', ',')
                                + " tem frações de centavo."});
        }
        ++v.debitos;
        // The total as the file carries it: the sum of the records' hundredths.
        if (numerico && valorCabe(valor, 13)) v.total += toCurrency(valor) / 100 * 100;

        const QString membro = numero(d.membro);
        const QString noArquivo = Padlzero(RetirarMascara(matricula, "./-"), 15);
        const auto dono = donoDoNumero.constFind(noArquivo);
        if (dono == donoDoNumero.constEnd()) {
            donoDoNumero.insert(noArquivo, quem);
        } else if (dono.value() != quem && !colisoes.contains(noArquivo + '|' + membro)) {
            colisoes.insert(noArquivo + '|' + membro);
            v.problemas.append({Tipo::Impede, quem, d.matricula,
                                "no arquivo levaria o mesmo número " + noArquivo
                                    + " que o associado " + dono.value()
                                    + ": o retorno não saberia de quem é o débito."});
        }
        if (!d.grupoExiste && !avisados.contains(membro)) {
            avisados.insert(membro);
            v.problemas.append({Tipo::Aviso, quem, d.matricula,
                                "o grupo do associado foi excluído: o débito será enviado, mas "
                                "não aparece na lista de débitos."});
        }
    }
    v.comparacao = compararComAnterior(c, debitDate);
    return v;
}

}  // namespace remessa

#include "debits/GeracaoDebitos.h"

#include "core/dm/UDMDebito.h"
#include "core/engine/Connection.h"
#include "core/engine/EngineError.h"

#include <QLocale>

#include <cmath>

namespace debitos {

std::optional<double> lerValor(const QString& text)
{
    QLocale locale(QLocale::Portuguese, QLocale::Brazil);
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double v = locale.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

namespace {

std::optional<qint64> grupoId(const QVariant& grupo)
{
    if (!grupo.isValid() || grupo.isNull()) return std::nullopt;
    bool ok = false;
    const qint64 id = grupo.toString().trimmed().toLongLong(&ok);
    if (!ok) return std::nullopt;
    return id;
}

// Switches the member filter off when the generation leaves, however it leaves.
struct FilterOff {
    db::Table& t;
    ~FilterOff()
    {
        try {
            t.setFilter({});
            t.setFiltered(false);
        } catch (const db::EngineError&) {
        }
    }
};

}  // namespace

Geracao gerarDebitosGrupo(TDMDebito& dm, const QVariant& grupo, const QString& valor,
                          const QDate& hoje)
{
    Geracao g;
    const std::optional<qint64> id = grupoId(grupo);
    if (!id) {
        g.mensagem = grupo.toString().trimmed().isEmpty()
                         ? QString("Escolha o grupo dos débitos.")
                         : QString("Grupo inválido: \"%1\". Informe o número do grupo.")
                               .arg(grupo.toString());
        return g;
    }
    const std::optional<double> value = lerValor(valor);
    if (!value) {
        g.mensagem = valor.trimmed().isEmpty()
                         ? QString("Digite o valor do débito.")
                         : QString("Valor inválido: \"%1\". Digite o valor com vírgula "
                                   "decimal e sem separador de milhar, por exemplo 1234,50.")
                               .arg(valor);
        return g;
    }
    db::Table& members = *dm.TAssociados;
    db::Table& debits = *dm.TDebito;
    debits.cancel();
    members.setFilter(QString("ASS_GRP_ID = %1").arg(*id));
    members.setFiltered(true);
    FilterOff off{members};
    db::Transaction tx(*debits.connection());
    for (members.first(); !members.eof(); members.next()) {
        try {
            debits.insert();
            debits.fieldByName("DEB_DATA").setAsDate(hoje);
            debits.fieldByName("DEB_ASS_ID").setAsInteger(members.fieldByName("ASS_ID").asInteger());
            debits.fieldByName("DEB_VALOR").setAsFloat(*value);
            debits.post();
            ++g.gravados;
        } catch (const db::EngineError&) {
            debits.cancel();
            ++g.ignorados;
        }
    }
    tx.commit();
    g.ok = true;
    return g;
}

}  // namespace debitos

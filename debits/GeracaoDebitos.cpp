#include "debits/GeracaoDebitos.h"

#include "core/dm/UDMDebito.h"
#include "core/engine/Connection.h"
#include "core/UVariaveis.h"
#include "core/engine/EngineError.h"
#include "core/engine/NumberText.h"
#include "core/engine/SqlValue.h"

#include <sqlite3.h>

#include <cmath>

namespace debitos {

std::optional<double> lerValor(const QString& text) { return db::readNumber(text, true); }

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
                                   "decimal, por exemplo 1234,50.")
                               .arg(valor);
        return g;
    }
    db::Table& members = *dm.TAssociados;
    db::Table& debits = *dm.TDebito;
    debits.cancel();
    // The group's members in name order, through the member table's filter.
    QVector<qint64> ids;
    {
        members.setFilter(QString("ASS_GRP_ID = %1").arg(*id));
        members.setFiltered(true);
        FilterOff off{members};
        for (members.first(); !members.eof(); members.next())
            ids << members.fieldByName("ASS_ID").asInteger();
    }
    // One insert per member, all in one transaction. A single INSERT either writes its row or
    // fails alone, so a member whose debit of that date and value exists (the unique primary
    // key refuses it) is skipped exactly as if its debit had been posted by itself. Any other
    // failure rolls everything back and reaches the caller.
    db::Connection& conn = *debits.connection();
    const QString schema = conn.attach(debits.tableName());
    const QString table = QString::fromStdString(conn.spec(schema).tableName());
    const QVariant cadastro = QDate::currentDate();
    const QVariant usuario = double(UsuarioAtual);
    qint64 last = 0;
    {
        db::Transaction tx(conn);
        db::StmtGuard insert(db::prepare(
            conn.handle(),
            "INSERT INTO " + db::sqlName(schema) + "." + db::sqlName(table)
                + " (DEB_DATA, DEB_ASS_ID, DEB_VALOR, DEB_DTA_CAD, DEB_USR_ID)"
                  " VALUES (?, ?, ?, ?, ?)",
            debits.tableName()));
        for (const qint64 member : ids) {
            db::bindAll(insert.get(), {hoje, double(member), *value, cadastro, usuario});
            const int rc = sqlite3_step(insert.get());
            sqlite3_reset(insert.get());
            if (rc == SQLITE_DONE) {
                ++g.gravados;
                last = member;
            } else if ((rc & 0xff) == SQLITE_CONSTRAINT) {
                ++g.ignorados;
            } else {
                db::throwSqlite(conn.handle(), debits.tableName());
            }
        }
        tx.commit();
    }
    conn.bump();
    // TDebito is left on the last debit written.
    if (last) debits.findKey({hoje, double(last), *value});
    g.ok = true;
    return g;
}

}  // namespace debitos

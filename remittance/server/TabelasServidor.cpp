#include "remittance/server/TabelasServidor.h"

#include "core/TableDefs.h"
#include "core/engine/KeyOrder.h"
#include "core/pgstore/ServerSchema.h"

#include <QByteArray>

namespace servidor {

std::string orderOf(const char* fileName, const char* index)
{
    const store::TableSpec& t = *tables::find(fileName);
    return db::KeyOrder::of(t, db::chooseIndex(t, index, {}), db::Dialect::Server)
        .orderBy(true)
        .toStdString();
}

std::string orderColumns(const char* fileName, const char* index)
{
    const std::string order = orderOf(fileName, index);
    const std::string lead = " ORDER BY ";
    return order.rfind(lead, 0) == 0 ? order.substr(lead.size()) : order;
}

qint64 whole(const std::string& text)
{
    return QByteArray::fromStdString(text).toLongLong();
}

std::string isoDate(const QDate& d)
{
    return d.toString(Qt::ISODate).toStdString();
}

void removeRepeated(pg::Connection& c)
{
    const std::string& ret = kRet;
    // Mostly there is no pair to part, and finding that is one pass over the table.
    c.exec(
        "CREATE TEMP TABLE tolmare_repetidos ON COMMIT DROP AS SELECT \"DEB_DATA\" AS data, "
        "\"DEB_ASS_ID\" AS membro FROM "
        + ret + " GROUP BY 1, 2 HAVING count(*) > 1");
    if (c.exec("SELECT 1 FROM tolmare_repetidos LIMIT 1").rows() == 0) return;
    c.exec("DELETE FROM " + ret + " r USING (SELECT rowid AS alvo, row_number() OVER (PARTITION "
           "BY \"DEB_DATA\", \"DEB_ASS_ID\" " + orderOf("RET_DEBITO.DB", "Si_Data_Associado")
           + ") AS n FROM " + ret + " x WHERE EXISTS (SELECT 1 FROM tolmare_repetidos p WHERE "
           "p.data IS NOT DISTINCT FROM x.\"DEB_DATA\" AND p.membro IS NOT DISTINCT FROM "
           "x.\"DEB_ASS_ID\")) d WHERE r.rowid = d.alvo AND d.n > 1");
}

void copyRows(pg::Connection& c, const std::string& copy, std::string& rows)
{
    if (rows.empty()) return;
    bool sent = false;
    c.copyIn(copy, [&](std::string& data) {
        if (sent) return false;
        data.swap(rows);
        return sent = true;
    });
    rows.clear();
}

void lockAgainstWriters(pg::Connection& c, const char* table)
{
    c.exec("LOCK TABLE " + pg::qualified(table) + " IN SHARE ROW EXCLUSIVE MODE");
}

}  // namespace servidor

#include "core/pgstore/ServerLog.h"

#include "core/pgstore/ServerSchema.h"

namespace pg {

void appendLog(Connection& c, const std::string& when, long long user, const std::string& operation,
               const std::string& detail)
{
    c.exec("INSERT INTO " + qualified("HISTORICO")
               + " (\"QUANDO\", \"USUARIO\", \"OPERACAO\", \"DETALHE\") VALUES ($1, $2, $3, $4)",
           {when, std::to_string(user), operation, detail});
}

std::vector<LogLine> readLog(Connection& c, const std::string& since)
{
    std::vector<LogLine> out;
    if (c.exec("SELECT to_regclass($1) IS NULL", {qualified("HISTORICO")}).text(0, 0) == "t")
        return out;
    const Result r = c.exec("SELECT \"QUANDO\", \"USUARIO\", \"OPERACAO\", \"DETALHE\" FROM "
                                + qualified("HISTORICO")
                                + " WHERE \"QUANDO\" >= $1 ORDER BY \"ID\"",
                            {since});
    for (int i = 0; i < r.rows(); ++i)
        out.push_back({r.text(i, 0), std::stoll(r.isNull(i, 1) ? "0" : r.text(i, 1)),
                       r.text(i, 2), r.text(i, 3)});
    return out;
}

long long undoImportsAfter(Connection& c, const std::string& afterUtc, const std::string& afterDate,
                           const std::string& reason)
{
    return c
        .exec("UPDATE " + qualified("RETORNOS_IMPORTADOS")
                  + " SET \"DESFEITO\" = $1 WHERE \"DESFEITO\" IS NULL AND (\"REGISTRADO\" >= $2 "
                    "OR (\"REGISTRADO\" IS NULL AND \"DATA\" > $3))",
              {reason, afterUtc, afterDate})
        .affected();
}

}  // namespace pg

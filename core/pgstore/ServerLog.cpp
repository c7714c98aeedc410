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

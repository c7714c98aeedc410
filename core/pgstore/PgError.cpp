#include "core/pgstore/PgError.h"

#include <libpq-fe.h>

namespace pg {

namespace {

std::string field(const PGresult* r, int code)
{
    const char* v = r ? PQresultErrorField(r, code) : nullptr;
    return v ? v : "";
}

ErrorKind kindOf(const std::string& state)
{
    const std::string cls = state.substr(0, 2);
    if (cls == "08" || state == "57P01" || state == "57P02" || state == "57P03")
        return ErrorKind::ConnectionLost;
    if (state == "55P03") return ErrorKind::Busy;
    if (state == "40001" || state == "40P01") return ErrorKind::Conflict;
    if (cls == "23") return ErrorKind::Constraint;
    if (cls == "22") return ErrorKind::Invalid;
    if (cls == "28" || state == "42501") return ErrorKind::Authentication;
    return ErrorKind::Other;
}

}  // namespace

std::string firstLine(const char* text)
{
    std::string s = text ? text : "";
    const size_t nl = s.find('\n');
    if (nl != std::string::npos) s.resize(nl);
    return s;
}

PgError connectError(PGconn* conn)
{
    const std::string why = firstLine(PQerrorMessage(conn));
    const std::string user = PQuser(conn) ? PQuser(conn) : "";
    const std::string where =
        std::string(PQhost(conn) ? PQhost(conn) : "") + ":" + (PQport(conn) ? PQport(conn) : "");
    if (PQconnectionUsedPassword(conn))
        return PgError(ErrorKind::Authentication,
                       "O servidor de dados recusou a senha do usuário " + user
                           + ": confira o arquivo de senhas do PostgreSQL (PGPASSFILE) ou o "
                             "arquivo de serviços.");
    if (PQconnectionNeedsPassword(conn))
        return PgError(ErrorKind::Authentication,
                       "O servidor de dados pede a senha do usuário " + user
                           + ", e ela não está no arquivo de senhas do PostgreSQL (PGPASSFILE) "
                             "nem no arquivo de serviços.");
    return PgError(ErrorKind::Unreachable, "Não foi possível conectar ao servidor de dados em "
                                               + where + " (" + why + ").");
}

PgError resultError(PGconn* conn, const PGresult* result, int lockTimeoutMs)
{
    const std::string state = field(result, PG_DIAG_SQLSTATE);
    if (state.empty() || PQstatus(conn) == CONNECTION_BAD) {
        const std::string why =
            result ? firstLine(PQresultErrorMessage(result)) : firstLine(PQerrorMessage(conn));
        return PgError(ErrorKind::ConnectionLost,
                       "A conexão com o servidor de dados foi perdida (" + why + ").", state);
    }
    const std::string message = field(result, PG_DIAG_MESSAGE_PRIMARY);
    const std::string table = field(result, PG_DIAG_TABLE_NAME);
    const ErrorKind kind = kindOf(state);
    std::string text;
    switch (kind) {
        case ErrorKind::ConnectionLost:
            text = "A conexão com o servidor de dados foi perdida (" + message + ").";
            break;
        case ErrorKind::Busy:
            text = "Os dados estão em uso em outro computador e não foram liberados em "
                   + std::to_string((lockTimeoutMs + 999) / 1000) + " s; tente novamente.";
            break;
        case ErrorKind::Conflict:
            text = "A operação coincidiu com a de outro computador (" + message + ").";
            break;
        case ErrorKind::Constraint:
            if (state == "23505")
                text = "Já existe um registro com a mesma chave em " + table + " ("
                       + field(result, PG_DIAG_CONSTRAINT_NAME) + ").";
            else if (state == "23502")
                text = "O campo " + field(result, PG_DIAG_COLUMN_NAME) + " de " + table
                       + " é obrigatório.";
            else if (state == "23001")  // the store's own refusals give their own text
                text = message;
            else
                text = "O servidor de dados recusou a alteração de " + table + ": " + message;
            break;
        case ErrorKind::Invalid:
            text = "O servidor de dados recusou um valor: " + message;
            break;
        case ErrorKind::Authentication:
            if (state == "42501")  // a user without the right to a table or a counter
                text = "O usuário " + std::string(PQuser(conn) ? PQuser(conn) : "")
                       + " não tem permissão para isto no servidor de dados (" + message
                       + "): peça a quem administra o servidor acesso às tabelas e sequências "
                         "do esquema tolmare (leitura para consultar e fazer backup; gravação "
                         "para restaurar, alterar e registrar no histórico).";
            else
                text = "O servidor de dados recusou o acesso: " + message;
            break;
        default:
            text = "Erro do servidor de dados (" + state + "): " + message;
    }
    return PgError(kind, text, state);
}

}  // namespace pg

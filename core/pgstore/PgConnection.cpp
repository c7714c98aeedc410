#include "core/pgstore/PgConnection.h"

#include <libpq-fe.h>

#include <cstdlib>

namespace pg {

// ---- Result ----

Result::Result(PGresult* r) : r_(r, PQclear) {}
int Result::rows() const
{
    return PQntuples(r_.get());
}
int Result::columns() const
{
    return PQnfields(r_.get());
}
bool Result::isNull(int row, int column) const
{
    return PQgetisnull(r_.get(), row, column);
}
std::string Result::text(int row, int column) const
{
    return std::string(PQgetvalue(r_.get(), row, column),
                       size_t(PQgetlength(r_.get(), row, column)));
}
long long Result::affected() const
{
    const char* n = PQcmdTuples(r_.get());
    return n && *n ? std::atoll(n) : 0;
}

// ---- Connection ----

namespace {

// Refuses an address libpq cannot read or one that carries a password.
void checkAddress(const std::string& uri)
{
    char* error = nullptr;
    PQconninfoOption* opts = PQconninfoParse(uri.c_str(), &error);
    if (!opts) {
        const std::string why = firstLine(error);
        PQfreemem(error);
        throw PgError(ErrorKind::Invalid, "Endereço do servidor de dados inválido (" + why + ").");
    }
    bool password = false;
    for (PQconninfoOption* o = opts; o->keyword; ++o)
        if (std::string(o->keyword) == "password" && o->val && *o->val) password = true;
    PQconninfoFree(opts);
    if (password)
        throw PgError(ErrorKind::Invalid,
                      "O endereço do servidor de dados não pode conter a senha: guarde-a no "
                      "arquivo de senhas do PostgreSQL (PGPASSFILE) ou no arquivo de serviços.");
}

}  // namespace

PgError Connection::closed(PgError e)
{
    PQfinish(conn_);
    conn_ = nullptr;
    return e;
}

Connection::Connection(const std::string& uri, Options options) : uri_(uri), options_(options)
{
    checkAddress(uri_);
    try {
        open();
    } catch (...) {
        if (conn_) PQfinish(conn_);
        conn_ = nullptr;
        throw;
    }
}

Connection::~Connection()
{
    if (conn_) PQfinish(conn_);
}

void Connection::open()
{
    if (conn_) PQfinish(conn_);
    prepared_.clear();
    const std::string timeout = std::to_string(options_.connectTimeoutS);
    // Keywords after the address override it; the timeout before it is the address's default.
    const char* keys[] = {"connect_timeout", "dbname", "client_encoding", "application_name",
                          nullptr};
    const char* values[] = {timeout.c_str(), uri_.c_str(), "UTF8", "tolmare", nullptr};
    conn_ = PQconnectdbParams(keys, values, 1);
    if (!conn_) throw PgError(ErrorKind::Other, "Sem memória para a conexão ao servidor de dados.");
    if (PQstatus(conn_) != CONNECTION_OK) throw closed(connectError(conn_));
    // The server's notices ("does not exist, skipping") are not the operator's business.
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);
    const char* encoding = PQparameterStatus(conn_, "server_encoding");
    if (!encoding || std::string(encoding) != "UTF8")
        throw closed(PgError(ErrorKind::Invalid, "A base de dados do servidor usa a codificação "
                                                     + std::string(encoding ? encoding : "?")
                                                     + "; o Tolmare precisa de uma base em UTF8."));
    if (PQserverVersion(conn_) < 150000)
        throw closed(PgError(ErrorKind::Invalid,
                             "O servidor de dados é anterior à versão 15 do "
                             "PostgreSQL, de que o Tolmare precisa."));
    exec(
        "SELECT set_config('lock_timeout', $1, false), set_config('DateStyle', 'ISO, YMD', "
        "false), set_config('TimeZone', 'UTC', false)",
        {std::to_string(options_.lockTimeoutMs) + "ms"});
}

void Connection::reopenIfBroken()
{
    if (PQstatus(conn_) == CONNECTION_BAD && transactionDepth_ == 0) open();
}

Result Connection::checked(PGresult* r)
{
    const ExecStatusType s = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
    if (s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK) return Result(r);
    Result owner(r);  // freed after the error is read
    throw resultError(conn_, r, options_.lockTimeoutMs);
}

namespace {

std::vector<const char*> values(const Params& params)
{
    std::vector<const char*> v;
    v.reserve(params.size());
    for (const Param& p : params) v.push_back(p ? p->c_str() : nullptr);
    return v;
}

}  // namespace

Result Connection::exec(const std::string& sql, const Params& params)
{
    reopenIfBroken();
    const std::vector<const char*> v = values(params);
    return checked(
        PQexecParams(conn_, sql.c_str(), int(v.size()), nullptr, v.data(), nullptr, nullptr, 0));
}

Result Connection::execPrepared(const std::string& name, const std::string& sql,
                                const Params& params)
{
    reopenIfBroken();
    if (!prepared_.count(name)) {
        checked(PQprepare(conn_, name.c_str(), sql.c_str(), int(params.size()), nullptr));
        prepared_.insert(name);
    }
    const std::vector<const char*> v = values(params);
    return checked(
        PQexecPrepared(conn_, name.c_str(), int(v.size()), v.data(), nullptr, nullptr, 0));
}

long long Connection::copyIn(const std::string& copy,
                             const std::function<bool(std::string& data)>& next)
{
    reopenIfBroken();
    PGresult* start = PQexec(conn_, copy.c_str());
    if (!start || PQresultStatus(start) != PGRES_COPY_IN) {
        checked(start);
        throw PgError(ErrorKind::Other, "O servidor de dados não começou a cópia pedida.");
    }
    PQclear(start);
    bool sent = true;
    std::string data;
    try {
        while (sent && next(data)) {
            sent = data.empty() || PQputCopyData(conn_, data.data(), int(data.size())) == 1;
            data.clear();
        }
    } catch (...) {
        PQputCopyEnd(conn_, "cópia interrompida");
        while (PGresult* r = PQgetResult(conn_)) PQclear(r);
        throw;
    }
    if (sent) PQputCopyEnd(conn_, nullptr);
    PGresult* end = PQgetResult(conn_);
    Result owner(end);
    while (PGresult* r = PQgetResult(conn_)) PQclear(r);
    if (end && PQresultStatus(end) == PGRES_COMMAND_OK) return owner.affected();
    throw resultError(conn_, end, options_.lockTimeoutMs);
}

void Connection::appendCopyValue(std::string& out, const Param& value)
{
    if (!value) {
        out += "\\N";
        return;
    }
    for (const char ch : *value) {
        switch (ch) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += ch;
        }
    }
}

bool Connection::inTransaction() const
{
    const PGTransactionStatusType s = PQtransactionStatus(conn_);
    return s == PQTRANS_INTRANS || s == PQTRANS_INERROR || s == PQTRANS_ACTIVE;
}

bool Connection::transactionFailed() const
{
    return PQtransactionStatus(conn_) == PQTRANS_INERROR;
}

int Connection::backendPid() const
{
    return PQbackendPID(conn_);
}

}  // namespace pg

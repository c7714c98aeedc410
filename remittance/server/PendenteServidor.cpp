#include "remittance/server/PendenteServidor.h"

#include "core/pgstore/ServerSchema.h"
#include "remittance/server/TabelasServidor.h"

#include <QFileInfo>

namespace servidor {

namespace {

const std::string kTabela = pg::qualified("tolmare_arquivo_pendente");
const char* const kChave = "hashtext('tolmare.remessa')";

class RegistroNoServidor : public remessa::RegistroPendente {
public:
    explicit RegistroNoServidor(pg::Connection& c) : c_(c) {}
    qint64 inserir(const QString& temporario, const QString& destino) override
    {
        return whole(c_.exec("INSERT INTO " + kTabela
                                 + " (temporario, destino) VALUES ($1, $2) "
                                   "RETURNING id",
                             {temporario.toStdString(), destino.toStdString()})
                         .text(0, 0));
    }
    void concluir(qint64 id) override
    {
        c_.exec("UPDATE " + kTabela + " SET concluido = 1 WHERE id = $1", {std::to_string(id)});
    }
    bool apagar(qint64 id) override
    {
        try {
            c_.exec("DELETE FROM " + kTabela + " WHERE id = $1", {std::to_string(id)});
            return true;
        } catch (const pg::PgError&) {
            return false;
        }
    }
    std::vector<Pendente> listar() override
    {
        const pg::Result r =
            c_.exec("SELECT id, temporario, destino, concluido FROM " + kTabela + " ORDER BY id");
        std::vector<Pendente> out;
        for (int i = 0; i < r.rows(); ++i) {
            const QString temporario = QString::fromStdString(r.text(i, 1));
            if (QFileInfo::exists(temporario))
                out.push_back({whole(r.text(i, 0)), temporario,
                               QString::fromStdString(r.text(i, 2)), whole(r.text(i, 3)) != 0});
        }
        return out;
    }

private:
    pg::Connection& c_;
};

}  // namespace

std::unique_ptr<remessa::RegistroPendente> registroNoServidor(pg::Connection& c)
{
    return std::make_unique<RegistroNoServidor>(c);
}

TravaDaRemessa::TravaDaRemessa(pg::Connection& c) : c_(c)
{
    c_.exec(std::string("SELECT pg_advisory_lock(") + kChave + ")");
    backend_ = c_.backendPid();
}

void TravaDaRemessa::confirmar() const
{
    if (c_.backendPid() != backend_)
        throw pg::PgError(pg::ErrorKind::ConnectionLost,
                          "A conexão com o servidor de dados foi perdida e refeita no meio da "
                          "operação. A operação não foi gravada; tente novamente.");
}

TravaDaRemessa::~TravaDaRemessa()
{
    try {
        c_.exec(std::string("SELECT pg_advisory_unlock(") + kChave + ")");
    } catch (const pg::PgError&) {
        // A broken connection has let the lock go with it.
    }
}

}  // namespace servidor

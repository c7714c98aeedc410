#include "core/pgstore/Transaction.h"

#include <chrono>
#include <thread>

namespace pg {

namespace {

const char* beginStatement(Isolation isolation)
{
    switch (isolation) {
        case Isolation::RepeatableRead:
            return "BEGIN ISOLATION LEVEL REPEATABLE READ";
        case Isolation::Snapshot:
            return "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY";
        case Isolation::Serializable:
            return "BEGIN ISOLATION LEVEL SERIALIZABLE";
        case Isolation::ReadCommitted:
            break;
    }
    return "BEGIN ISOLATION LEVEL READ COMMITTED";
}

void rollBack(Connection& c)
{
    try {
        if (c.inTransaction()) c.exec("ROLLBACK");
    } catch (const PgError&) {
        // A broken connection has rolled the transaction back already.
    }
}

PgError withOutcome(const PgError& e, const char* outcome)
{
    return PgError(e.kind(), std::string(e.what()) + " " + outcome, e.sqlState());
}

}  // namespace

void inTransaction(Connection& c, const std::function<void()>& work, Isolation isolation)
{
    if (c.inTransaction()) {
        work();
        return;
    }
    for (int attempt = 1;; ++attempt) {
        try {
            c.exec(beginStatement(isolation));
        } catch (const PgError& e) {
            // A connection that broke while idle (a server restarted meanwhile) is opened again:
            // nothing has been done yet.
            if (e.kind() != ErrorKind::ConnectionLost) throw;
            c.exec(beginStatement(isolation));
        }
        Connection::TransactionMark mark(c);
        bool committing = false;
        try {
            work();
            // A statement that failed inside `work` (its error handled there) leaves the
            // transaction aborted: COMMIT would then roll back without a word.
            if (c.transactionFailed())
                throw PgError(ErrorKind::Other,
                              "Uma etapa da operação falhou no servidor de "
                              "dados; nada foi gravado.");
            committing = true;
            c.exec("COMMIT");
            return;
        } catch (const PgError& e) {
            rollBack(c);
            if (e.kind() == ErrorKind::ConnectionLost)
                throw withOutcome(e, committing ? "Não se sabe se a operação foi gravada: "
                                                  "confira antes de repeti-la."
                                                : "A operação não foi gravada; tente novamente.");
            if (e.kind() != ErrorKind::Conflict) throw;
            if (attempt == kConflictAttempts)
                throw PgError(ErrorKind::Conflict,
                              "A operação coincidiu " + std::to_string(attempt)
                                  + " vezes seguidas com a de outro computador e não foi "
                                    "gravada; tente novamente.",
                              e.sqlState());
            // The other computer's work is under way: give it a moment before the next try.
            std::this_thread::sleep_for(std::chrono::milliseconds(10 << attempt));
        } catch (...) {
            rollBack(c);
            throw;
        }
    }
}

}  // namespace pg

// The error every failing table-engine operation throws. Its message is shown to the operator
// as it stands: in Portuguese, saying what went wrong and what to do ("A tabela DEBITO.DB está
// em uso por outro programa..."). The data layer's own reports keep their first line
// ("Violação de chave.", "Field 'ASS_NOME' must have a value") with the advice on the next.
#pragma once

#include <QString>

#include <stdexcept>

struct sqlite3;

namespace db {

// What kind of failure it was, for callers that treat some of them apart (a busy table is
// waited for and retried, never taken for a damaged one).
enum class EngineFault { Other, Busy, ReadOnly, DiskFull, Io, NotATable, KeyViolation, Required };

class EngineError : public std::runtime_error {
public:
    explicit EngineError(const QString& message, EngineFault fault = EngineFault::Other)
        : std::runtime_error(message.toStdString()), message_(message), fault_(fault) {}
    const QString& message() const { return message_; }
    EngineFault fault() const { return fault_; }

private:
    QString message_;
    EngineFault fault_;
};

// The error for SQLite's failure `code` (primary or extended) with its text `detail`, met on
// `file` (a table file name or a path; may be empty) in the data folder `folder` (may be empty).
EngineError sqliteError(int code, const QString& detail, const QString& file,
                        const QString& folder);
// The same for the last failure of a connection: its code and text, the folder of its files.
EngineError sqliteError(sqlite3* db, const QString& file);

// A repeated key and an empty required field, as the data layer reports them.
EngineError keyViolation(const QString& tableFile);
EngineError requiredField(const QString& field);
// A typed text that does not convert to its field's type.
EngineError notANumber(const QString& text, const QString& field);
EngineError notAnInteger(const QString& text, const QString& field);
EngineError notADate(const QString& text, const QString& field);
EngineError invalidValue(const QString& field);

}  // namespace db

// The error every failing table-engine operation throws: its message can be shown to the
// operator as it stands ("Key violation.", "Field 'ASS_NOME' must have a value", ...).
#pragma once

#include <QString>

#include <stdexcept>

namespace db {

class EngineError : public std::runtime_error {
public:
    explicit EngineError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

}  // namespace db

// The members and groups the collection lists name: read once per list, by number.
#pragma once

#include <QHash>
#include <QSet>
#include <QString>

#include <optional>

namespace db { class Connection; }

namespace cobranca {

struct Membro {
    QString nome, matricula, grupo;  // grupo: the group's description
    std::optional<double> grupoId;
};

// The members of numbers `quais` with their group's description (empty when the group is
// gone); call inside a read transaction. Throws db::EngineError when a table cannot be read.
QHash<double, Membro> lerMembros(db::Connection& c, const QSet<double>& quais);

// One member; nullopt when there is none of that number.
std::optional<Membro> lerMembro(db::Connection& c, double assId);

}  // namespace cobranca

#include "app/cli/Cli.h"

#include "core/MakeDBx.h"
#include "core/engine/Database.h"
#include "core/engine/EngineError.h"

#include <QDate>

namespace cli {

std::optional<QString> Context::option(const QString& name)
{
    const int i = args.indexOf("--" + name);
    if (i < 0 || i + 1 >= args.size()) return std::nullopt;
    QString value = args.at(i + 1);
    args.remove(i, 2);
    return value;
}

bool Context::flag(const QString& name)
{
    return args.removeOne("--" + name);
}

static QList<Command>& registry()
{
    static QList<Command> list;
    return list;
}

void registerCommand(Command c) { registry().append(std::move(c)); }
const QList<Command>& commands() { return registry(); }

bool checkTables(Context& ctx)
{
    try {
        db::Database data;
        data.setAliasName("Tolmare");
        data.setDatabaseName("DB_Tolmade_Ver");
        data.connect();
        makedbx::checkDataFolder(data.directory());
        data.disconnect();
        return true;
    } catch (const db::EngineError& e) {
        ctx.err << e.message() << "\n";
        return false;
    }
}

std::optional<QDate> parseDate(const QString& text)
{
    const QDate d = QDate::fromString(text, "dd/MM/yyyy");
    if (!d.isValid()) return std::nullopt;
    return d;
}

}  // namespace cli

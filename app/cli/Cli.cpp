#include "app/cli/Cli.h"

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

std::optional<QDate> parseDate(const QString& text)
{
    const QDate d = QDate::fromString(text, "dd/MM/yyyy");
    if (!d.isValid()) return std::nullopt;
    return d;
}

}  // namespace cli

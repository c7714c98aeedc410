// The manual pages tolmare(1) and tolmare-cli(1), written from the programs' own usage texts
// and command list, and the bash completion of tolmare-cli, written from the same list.
#pragma once

#include "app/doc/Usage.h"

#include <QList>
#include <QString>

namespace usage {

struct CommandDoc {
    QString name;
    QString usage;  // one line: the command and its arguments
    QString help;   // in the page's language, lines separated by "\n"
};

// The page in roff (man(7)), UTF-8; `commands` is empty for a program without commands.
QString manPage(const Program& p, Lang lang, const QList<CommandDoc>& commands);

// Text as roff prints it literally: "-" as "\-", "\" as "\e", a leading "." or "'" guarded.
QString roffEscape(const QString& text);

// A bash completion script for `p`: its options, the command names, and after a command the
// options ("--x") its usage line names.
QString bashCompletion(const Program& p, const QList<CommandDoc>& commands);

}  // namespace usage

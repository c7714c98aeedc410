// What the two programs say about themselves (their synopsis, description and options), in
// the program's Portuguese and in English: the one source of `tolmare --help`,
// `tolmare-cli --help` and the manual pages tolmare(1) and tolmare-cli(1).
#pragma once

#include <QList>
#include <QString>

namespace usage {

enum class Lang { Pt, En };

struct Text {
    QString pt;
    QString en;
    QString in(Lang l) const { return l == Lang::Pt ? pt : en; }
};

struct Option {
    QString name;  // as typed, with its argument: "--dados PASTA"
    Text text;     // what it does; lines separated by "\n"
};

struct Section {
    Text title;  // "ARQUIVOS" / "FILES"
    Text body;   // paragraphs separated by a blank line
};

struct Program {
    QString name;      // "tolmare-cli"
    QString synopsis;  // after the name: "[--dados PASTA [--criar-pasta]] COMANDO [ARGUMENTOS]"
    Text summary;      // one line, the manual page's NAME
    Text description;  // paragraphs separated by a blank line
    QList<Option> options;
    QList<Section> sections;  // after the options (and the commands)
};

const Program& gui();
const Program& cli();

// The English help of a tolmare-cli command; empty when it has none.
QString commandHelpEn(const QString& command);

// The version of both programs and of the package.
QString version();

// "Uso: NAME SYNOPSIS", a blank line and the options, two columns: the help's head.
QString helpHead(const Program& p);

}  // namespace usage

#include "app/doc/ManPage.h"

#include <QRegularExpression>

namespace usage {

QString roffEscape(const QString& text)
{
    QString out = text;
    out.replace('\\', "\\e").replace('-', "\\-");
    if (out.startsWith('.') || out.startsWith('\'')) out.prepend("\\&");
    return out;
}

namespace {

// Lines kept as they are: each one ends with a break.
QString brokenLines(const QString& text)
{
    QString out;
    const QStringList lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        out += roffEscape(lines[i]) + "\n";
        if (i + 1 < lines.size()) out += ".br\n";
    }
    return out;
}

// Paragraphs separated by blank lines. A paragraph whose lines after the first are indented
// by four spaces is a tagged one: the first line is the tag, the rest its text.
QString paragraphs(const QString& text)
{
    QString out;
    const QStringList paras = text.split("\n\n");
    for (int i = 0; i < paras.size(); ++i) {
        QStringList lines = paras[i].split('\n');
        const bool tagged = lines.size() > 1 && lines[1].startsWith("    ");
        if (tagged) {
            out += ".TP\n\\fB" + roffEscape(lines.takeFirst()) + "\\fR\n";
            for (const QString& l : lines) out += roffEscape(l.trimmed()) + "\n";
        } else {
            if (i > 0) out += ".PP\n";
            for (const QString& l : lines) out += roffEscape(l) + "\n";
        }
    }
    return out;
}

}  // namespace

QString manPage(const Program& p, Lang lang, const QList<CommandDoc>& commands)
{
    const bool pt = lang == Lang::Pt;
    QString out;
    out += ".\\\" " + QString(pt ? "Gerada a partir da ajuda do programa; não edite."
                                 : "Generated from the program's help; do not edit.")
           + "\n";
    out += ".TH " + roffEscape(p.name.toUpper()) + " 1 \"\" \"Tolmare " + version()
           + "\" \"Tolmare\"\n";
    out += QString(".SH ") + (pt ? "NOME" : "NAME") + "\n";
    out += roffEscape(p.name) + " \\- " + roffEscape(p.summary.in(lang)) + "\n";
    out += QString(".SH ") + (pt ? "SINOPSE" : "SYNOPSIS") + "\n";
    out += "\\fB" + roffEscape(p.name) + "\\fR " + roffEscape(p.synopsis) + "\n";
    out += QString(".SH ") + (pt ? "DESCRIÇÃO" : "DESCRIPTION") + "\n";
    out += paragraphs(p.description.in(lang));
    out += QString(".SH ") + (pt ? "OPÇÕES" : "OPTIONS") + "\n";
    for (const Option& o : p.options)
        out += ".TP\n\\fB" + roffEscape(o.name) + "\\fR\n" + brokenLines(o.text.in(lang));
    if (!commands.isEmpty()) {
        out += QString(".SH ") + (pt ? "COMANDOS" : "COMMANDS") + "\n";
        for (const CommandDoc& c : commands)
            out += ".TP\n\\fB" + roffEscape(c.usage) + "\\fR\n" + brokenLines(c.help);
    }
    for (const Section& s : p.sections)
        out += ".SH " + roffEscape(s.title.in(lang)) + "\n" + paragraphs(s.body.in(lang));
    return out;
}

QString bashCompletion(const Program& p, const QList<CommandDoc>& commands)
{
    const QString fn = "_" + QString(p.name).replace('-', '_');
    QStringList top;
    for (const Option& o : p.options) top << o.name.section(' ', 0, 0);
    QString cases;
    static const QRegularExpression optionRe("--[a-z0-9-]+");
    for (const CommandDoc& c : commands) {
        top << c.name;
        QStringList opts;
        for (auto m = optionRe.globalMatch(c.usage + "\n" + c.help); m.hasNext();) {
            const QString o = m.next().captured();
            if (!opts.contains(o)) opts << o;
        }
        opts << "--help";
        opts.removeDuplicates();
        cases += "        " + c.name + ") words=\"" + opts.join(' ') + "\" ;;\n";
    }
    return "# bash completion for " + p.name + ": its options, its commands and their options.\n"
           + fn + "()\n{\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
           "    local cmd= i words\n"
           "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
           "        case ${COMP_WORDS[i]} in\n"
           "            --dados) ((i++)) ;;\n"
           "            -*) ;;\n"
           "            *) cmd=${COMP_WORDS[i]}; break ;;\n"
           "        esac\n"
           "    done\n"
           "    if [[ $prev == --dados ]]; then\n"
           "        COMPREPLY=($(compgen -d -- \"$cur\")); return\n"
           "    fi\n"
           "    case $cmd in\n"
           "        '') words=\"" + top.join(' ') + "\" ;;\n"
           + cases +
           "    esac\n"
           "    if [[ -z $cmd || $cur == -* ]]; then\n"
           "        COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
           "    else\n"
           "        compopt -o filenames\n"
           "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
           "    fi\n"
           "}\n"
           "complete -F " + fn + " " + p.name + "\n";
}

}  // namespace usage

// tolmare-cli: the program's logic for scripts and headless machines. One small dispatcher;
// every command lives in a file of its own and registers itself here.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>
#include <optional>

namespace cli {

// What a command gets: its arguments (after the command name) and the two output streams.
struct Context {
    QStringList args;
    QTextStream& out;
    QTextStream& err;
    bool folderGiven = false;    // --dados named the data folder
    bool createFolder = false;   // --criar-pasta: a new data folder may be started there
    QString server;              // --dados postgresql://...: the server store's address

    // The value after `--name`, taken out of args; nullopt when absent.
    std::optional<QString> option(const QString& name);
    // True when `--name` stands in args (taken out).
    bool flag(const QString& name);
};

struct Command {
    QString name;
    QString usage;  // one line: the command and its arguments
    QString help;   // what it does, a few lines
    std::function<int(Context&)> run;  // the exit code
    // Draws pages (PDF): runs under a QGuiApplication on the offscreen platform unless
    // QT_QPA_PLATFORM says otherwise. Other commands need no display.
    bool needsGui = false;
    // Runs on a server store too (--dados postgresql://...); every other command refuses one.
    bool onServer = false;
    // Only reads the five tables: on a server store it runs on one snapshot of them, exported
    // into a private temporary folder (see runOnServerSnapshot).
    bool fromSnapshot = false;
};

// Registers a command; used by the command files through a static Registrar.
void registerCommand(Command c);
const QList<Command>& commands();

struct Registrar {
    explicit Registrar(Command c) { registerCommand(std::move(c)); }
};

// Runs the schema check quietly on the data folder; false (with the message on `err`) when
// it fails, had to replace a table whose file could not be read, or found a table of the
// older format it could not read. Tables converted from the older format are told on `out`.
bool checkTables(Context& ctx);

// Runs `c` on one snapshot of the five tables of the server store ctx.server, exported (after
// the server's schema check) as table files into a private temporary folder that is removed
// afterwards; the command sees that folder as its data folder. 1 when the snapshot fails.
int runOnServerSnapshot(const Command& c, Context& ctx);

// Adds a line to the operation log of the data folder; a log that cannot be written is said
// on `err` as a warning (the operation itself was done).
void logOperation(Context& ctx, const QString& operacao, const QString& detalhe);

// Reads "dd/MM/yyyy"; nullopt when it is not a date.
std::optional<QDate> parseDate(const QString& text);

}  // namespace cli

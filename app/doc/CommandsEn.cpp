// The English text of tolmare-cli's command help, for the English manual page. The program
// prints the Portuguese text each command registers; a command missing here is shown in the
// English page with that Portuguese text.
#include "app/doc/Usage.h"

#include <QHash>

namespace usage {

QString commandHelpEn(const QString& command)
{
    static const QHash<QString, QString> texts{
        {"verificar",
         "Checks the tables of the data folder, creating the missing ones and adjusting\n"
         "those that differ from the definition. Exit 0 when all was done, 1 when rows were\n"
         "refused or a table replaced, 2 when a table of the older format could not be read.\n"
         "With --dados postgresql://..., creates and adjusts the server store's tables (1: rows\n"
         "lost in the adjustment, or the server failed and nothing changed)."},
        {"remessa",
         "Writes the PREVI remittance file of the debits for the debit date, brings the\n"
         "pending debits to that date, records each debit sent as \"Aguardando Retorno\"\n"
         "and advances the remittance number. Shows the summary; an error goes to standard\n"
         "error (exit 1). --hoje: the date of the header and of the summary (default: today).\n"
         "--verificar: only lists the problems of the debits that would be sent (nothing is\n"
         "changed); exit 0 when nothing stops the remittance. Only this works on the server\n"
         "store (--dados postgresql://...)."},
        {"retorno",
         "Imports the month's PREVI return file: each member found gets the return recorded\n"
         "on the month's debit; the summary goes to standard output and the file is renamed\n"
         "to Retorno_<letter>_<month>-<year>.imp. A file imported before is refused unless\n"
         "--reimportar is given.\n"
         "Also on the server store (--dados postgresql://...)."},
        {"backup",
         "Copies the files of the specifications (wildcards; \" /s\" at the end enters the\n"
         "folders) into the backup archive; without specifications, the five tables of the\n"
         "data folder, or, with --dados postgresql://..., one snapshot of the server's\n"
         "tables (the same table files a data folder holds). --nivel: rapido, nenhuma,\n"
         "padrao or maxima. --volume splits the backup into volumes of at most BYTES\n"
         "(ARQUIVO.002, .003...). --ids records the list of files. Then reads the whole\n"
         "backup back (verificar-backup), unless --sem-verificacao."},
        {"verificar-backup",
         "Reads every block of the backup (and of the further volumes) writing nothing;\n"
         "exits 0 only when all decode and each file has the size recorded in the list."},
        {"restaurar",
         "Restores the files of the backup into PASTA. --modo: todos, sem-sobrescrever,\n"
         "mais-novos, existentes or existentes-mais-novos. Further volumes are read when\n"
         "present; without them, asks on the terminal (or stops, when input is not one).\n"
         "With --dados postgresql://... (restaurar ARQUIVO): the backup's tables replace the\n"
         "server's, all in one transaction."},
        {"conteudo",
         "Shows the title, the totals and the list of files (when recorded) of a backup."},
        {"importar-legado",
         "Imports the groups of retirees and pensioners and their members from the tables\n"
         "Recgrp.dbf and Reccli.dbf of the folder of alias \"Imp\" (or of PASTA); groups and\n"
         "members imported before are not repeated."},
        {"relatorio",
         "Writes a report as PDF, or its rows as a CSV or XLSX spreadsheet (whole or\n"
         "nothing). Reports:\n"
         "  debitos --pdf CAMINHO [--ordem 0-4] [--grupo ID]\n"
         "  retornos --mes MM/AAAA --motivo todos|com|sem --pdf CAMINHO\n"
         "           [--por-motivo]\n"
         "See tolmare-cli relatorio NOME --help."},
        {"demonstracao",
         "Fills a new data folder with a demonstration association (parameters, 3 groups,\n"
         "8 members and the debits of 10/07/2026), to get to know the program and the\n"
         "manual; a folder that holds data already is refused. --retorno writes the return\n"
         "file PREVI would send for that month's remittance."},
        {"migrar",
         "Copies the tables of an old installation into the data folder (the old folder is\n"
         "not changed) and converts those in the older (Paradox) format. Refuses a data\n"
         "folder that already holds rows, unless --substituir, which first keeps the current\n"
         "tables in a subfolder \"Anterior-AAAAMMDD-HHMMSS\". Exits 0 when every row was\n"
         "converted, 1 when rows were refused, 2 when nothing was done."},
        {"migrar-servidor",
         "Loads the five tables of the data folder onto the server at the address (the\n"
         "password stays in PostgreSQL's password file), all in one transaction: either all\n"
         "of them go in, or the server stays as it was. Refuses a server whose tables hold\n"
         "rows already, unless --substituir. Exits 0 when everything was loaded, 2 when\n"
         "nothing changed on the server, 1 when the connection was lost (the message says\n"
         "whether the load was saved)."},
        {"inadimplentes",
         "The members with months returned since their last month received: how many\n"
         "months, the sum of their values and the last reason. --minimo: only those with at\n"
         "least N months (default 1); --grupo: only that group; --ordem: by value (default),\n"
         "by months or by name."},
        {"extrato",
         "A member's history: every month sent or returned, newest first, with remittance,\n"
         "value, outcome (Aguardando, Recebido, Devolvido), reason and return date; then the\n"
         "totals sent, received and returned."},
        {"painel",
         "The collection panel of the last N months (default 12) up to --ate (default: the\n"
         "current month): sent, received, returned and awaiting (count and value), the\n"
         "collection rate (value received over value sent) and the three most frequent\n"
         "reasons. The PDF holds the chart of the values and the rate."},
        {"desfazer-remessa",
         "Undoes the last remittance while no return of it was imported: the debits, the\n"
         "return rows and the remittance number go back to what they were before it, and the\n"
         "remittance file gets \".desfeita\" appended to its name (it is not deleted: it may\n"
         "already have been sent)."},
        {"historico",
         "Shows the operation log of the data folder (or of the server store):\n"
         "remittances, return imports, backups, restores and table changes, one per line,\n"
         "with date, time and user."},
    };
    return texts.value(command);
}

}  // namespace usage

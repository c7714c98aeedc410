#include "app/doc/Usage.h"

namespace usage {

namespace {

const Section kFiles{
    {"ARQUIVOS", "FILES"},
    {"~/.config/Tolmare/engine.ini\n"
     "    O arquivo de configuração: DLLPath=PASTA e, na seção [Aliases], Tolmare=PASTA (a pasta\n"
     "    de dados) e Imp=PASTA (as tabelas do sistema antigo).\n\n"
     "~/.local/share/Tolmare/Dados\n"
     "    A pasta de dados quando o arquivo de configuração não nomeia outra.\n\n"
     "/usr/lib/tolmare/TBLSCN.DLL\n"
     "    O componente de estrutura das tabelas; um DLLPath no arquivo de configuração tem\n"
     "    precedência.\n\n"
     "/usr/share/doc/tolmare/manual/index.html\n"
     "    O manual do tesoureiro.",
     "~/.config/Tolmare/engine.ini\n"
     "    The configuration file: DLLPath=FOLDER and, in section [Aliases], Tolmare=FOLDER (the\n"
     "    data folder) and Imp=FOLDER (the legacy system's tables).\n\n"
     "~/.local/share/Tolmare/Dados\n"
     "    The data folder when the configuration file names no other.\n\n"
     "/usr/lib/tolmare/TBLSCN.DLL\n"
     "    The table-structure component; a DLLPath in the configuration file takes\n"
     "    precedence.\n\n"
     "/usr/share/doc/tolmare/manual/index.html\n"
     "    The treasurer's manual (Portuguese)."}};

const Section kEnvironment{
    {"AMBIENTE", "ENVIRONMENT"},
    {"TOLMARE_ENGINE_CONFIG\n"
     "    O caminho do arquivo de configuração, no lugar de ~/.config/Tolmare/engine.ini.",
     "TOLMARE_ENGINE_CONFIG\n"
     "    The path of the configuration file, instead of ~/.config/Tolmare/engine.ini."}};

}  // namespace

const Program& gui()
{
    static const Program p{
        "tolmare",
        "[ARQUIVO.bck]",
        {"cobrança de mensalidades por débito PREVI",
         "collects monthly dues by debit through PREVI"},
        {"O Tolmare guarda os parâmetros da empresa, os grupos, os associados e os valores de\n"
         "débito; gera o arquivo de remessa PREVI de uma data de débito, importa o arquivo de\n"
         "retorno e mostra quem pagou e por que os outros não pagaram, imprime os relatórios de\n"
         "débitos e de retorno, faz e restaura backups das tabelas e importa os associados do\n"
         "sistema antigo.\n\n"
         "Com um ARQUIVO.bck, abre a janela de backup na aba de restauração com esse backup\n"
         "escolhido e o seu conteúdo listado.\n\n"
         "Em qualquer janela, F1 abre a página do manual sobre ela.",
         "Tolmare keeps the company's parameters, the groups, the members and the debit values;\n"
         "it writes the PREVI remittance file for a debit date, imports the return file and\n"
         "shows who paid and why the others did not, prints the debit and return reports, backs\n"
         "the tables up and restores them, and takes the members over from the legacy system.\n"
         "The program speaks Portuguese.\n\n"
         "Given an ARQUIVO.bck, it opens the backup window on its restore tab with that backup\n"
         "chosen and its content listed.\n\n"
         "In any window, F1 opens the manual's page about it."},
        {{"--help", {"mostra esta ajuda", "shows this help"}},
         {"--version", {"mostra a versão", "shows the version"}}},
        {kFiles, kEnvironment,
         {{"VEJA TAMBÉM", "SEE ALSO"}, {"tolmare-cli(1)", "tolmare-cli(1)"}}}};
    return p;
}

const Program& cli()
{
    static const Program p{
        "tolmare-cli",
        "[--dados PASTA [--criar-pasta]] COMANDO [ARGUMENTOS]",
        {"o Tolmare sem janelas, para scripts e máquinas sem tela",
         "Tolmare without windows, for scripts and headless machines"},
        {"Roda um comando do Tolmare sobre a pasta de dados, com a mesma lógica das janelas.\n"
         "Antes de cada comando as tabelas são verificadas em silêncio. Mensagens e erros vão\n"
         "para a saída de erro; cada comando tem a sua ajuda em tolmare-cli COMANDO --help.",
         "Runs one Tolmare command on the data folder, with the same logic as the windows.\n"
         "Before each command the tables are checked quietly. Messages and errors go to\n"
         "standard error; each command has its own help in tolmare-cli COMANDO --help.\n"
         "The program speaks Portuguese."},
        {{"--dados PASTA",
          {"usa PASTA como pasta de dados (alias \"Tolmare\") nesta execução;\n"
           "ela precisa existir e ter as tabelas",
           "uses FOLDER (PASTA) as the data folder (alias \"Tolmare\") for this run;\n"
           "it must exist and hold the tables"}},
         {"--dados URI",
          {"com URI postgresql://..., usa o servidor de dados desse endereço (a senha no\n"
           "arquivo de senhas do PostgreSQL); por ora só em backup, restaurar,\n"
           "verificar-backup, conteudo, verificar, historico, retorno, remessa,\n"
           "desfazer-remessa e, num retrato único das tabelas, extrato, inadimplentes,\n"
           "painel, relatorio e remessa --verificar",
           "with URI postgresql://..., uses the server store at that address (the password\n"
           "in PostgreSQL's password file); for now only in backup, restaurar,\n"
           "verificar-backup, conteudo, verificar, historico, retorno, remessa,\n"
           "desfazer-remessa and, on one snapshot of the tables, extrato, inadimplentes,\n"
           "painel, relatorio and remessa --verificar"}},
         {"--criar-pasta",
          {"com --dados, começa uma pasta de dados nova em PASTA",
           "with --dados, starts a new data folder in PASTA"}},
         {"--help", {"mostra esta ajuda", "shows this help"}},
         {"--version", {"mostra a versão", "shows the version"}}},
        {{{"CÓDIGO DE SAÍDA", "EXIT STATUS"},
          {"0 quando o que foi pedido foi feito; 1 quando falhou (o motivo está na saída de\n"
           "erro); 2 quando a linha de comando está errada.",
           "0 when what was asked was done; 1 when it failed (the reason is on standard\n"
           "error); 2 when the command line is wrong."}},
         kFiles,
         kEnvironment,
         {{"VEJA TAMBÉM", "SEE ALSO"}, {"tolmare(1)", "tolmare(1)"}}}};
    return p;
}

QString version() { return QStringLiteral(TOLMARE_VERSION); }

QString helpHead(const Program& p)
{
    QString out = "Uso: " + p.name + " " + p.synopsis + "\n\n";
    for (const Option& o : p.options) {
        const QStringList lines = o.text.pt.split('\n');
        for (int i = 0; i < lines.size(); ++i)
            out += "  " + (i == 0 ? o.name : QString()).leftJustified(14) + "  " + lines[i] + "\n";
    }
    return out;
}

}  // namespace usage

// tolmare-cli demonstracao: fills an empty data folder with a demonstration association, to
// get to know the program and its manual (whose pictures show it), and writes the return
// file PREVI would send back for its month.
#include "app/cli/Cli.h"
#include "core/Cp1252.h"
#include "core/engine/Connection.h"
#include "core/engine/Database.h"
#include "core/engine/EngineError.h"
#include "core/engine/Table.h"

#include <QSaveFile>
#include <QVariantMap>

namespace {

const char* const kUsage = "demonstracao [--retorno CAMINHO]";

struct Member {
    const char* name;
    int group;
    const char* agency;
    const char* account;
    const char* matricula;
    double value;
    const char* reason;  // what the return file says; nullptr: not in it
};

const Member kMembers[] = {
    {"ANA MARIA DE SOUZA", 1, "1234-5", "10234-7", "1020304", 45.00, ""},
    {"BENEDITO CARLOS FERREIRA", 1, "1234-5", "22871-0", "1020311", 45.00, ""},
    {"CLARA DOS SANTOS LIMA", 2, "0987-1", "30551-2", "2030405", 30.00, "SEM SALDO"},
    {"DOMINGOS PEREIRA NETO", 1, "1234-5", "41007-9", "1020322", 45.00, ""},
    {"ELISA RODRIGUES COSTA", 2, "0987-1", "51230-4", "2030416", 30.00, ""},
    {"FRANCISCO ALVES MOURA", 3, "4455-0", "60012-3", "3040507", 25.50, "CONTA ENCERRADA"},
    {"GERALDA NUNES BARBOSA", 3, "4455-0", "70444-8", "3040518", 25.50, nullptr},
    {"HELENA MARTINS ROCHA", 1, "1234-5", "80219-6", "1020333", 45.00, ""},
};

const QDate kDebitDate(2026, 7, 10);

void addRow(const QString& table, const QVariantMap& values)
{
    db::Table t;
    t.setTableName(table);
    t.open();
    t.append();
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        t.fieldByName(it.key()).setValue(it.value());
    t.post();
    t.close();
}

bool isEmpty(const QString& table)
{
    db::Table t;
    t.setTableName(table);
    t.open();
    t.first();
    return t.eof();
}

void fill()
{
    const QDate cadastro = kDebitDate.addDays(-5);
    addRow("PARAMETROS.DB", {{"EMP_NOME", "Associação dos Aposentados de Vila Serena"},
                             {"EMP_COD_VERBA_PREVI", "417"}, {"EMP_COD_INT_PREVI", "25"},
                             {"EMP_NR_REM_PREVI", 12.0}, {"EMP_USR_ID", 1},
                             {"EMP_DTA_CAD", cadastro}, {"EMP_ENDERECO", "Rua das Acácias, 120"},
                             {"EMP_SETOR", "Centro"}, {"EMP_CIDADE", "Vila Serena"},
                             {"EMP_CEP", "12345-000"}, {"EMP_FONE_1", "(11) 3333-4444"}});
    for (const char* g : {"APOSENTADOS", "PENSIONISTAS", "SÓCIOS COLABORADORES"})
        addRow("GRUPO.DB", {{"GRP_DESCRICAO", QString::fromUtf8(g)}, {"GRP_USR_ID", 1},
                            {"GRP_DTA_CAD", cadastro}});
    double id = 0;
    for (const Member& m : kMembers) {
        addRow("ASSOCIADOS.DB", {{"ASS_NOME", m.name}, {"ASS_GRP_ID", double(m.group)},
                                 {"ASS_AGENCIA", m.agency}, {"ASS_CONTA_CORRENTE", m.account},
                                 {"ASS_MATRICULA", m.matricula}, {"ASS_USR_ID", 1},
                                 {"ASS_DTA_CAD", cadastro}});
        addRow("DEBITO.DB", {{"DEB_DATA", kDebitDate}, {"DEB_ASS_ID", ++id},
                             {"DEB_VALOR", m.value}, {"DEB_DTA_CAD", cadastro},
                             {"DEB_USR_ID", 1}});
    }
}

// The return file of the demonstration month: a line per member PREVI answers about.
bool writeReturn(const QString& path)
{
    QByteArray bytes;
    for (const Member& m : kMembers)
        if (m.reason)
            bytes += cp1252::encode(QString(m.matricula).rightJustified(15, '0')
                                    + QString(m.name).leftJustified(45)
                                    + QString(m.reason).leftJustified(30))
                     + "\r\n";
    QSaveFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit();
}

int demonstracaoCommand(cli::Context& ctx)
{
    const auto retorno = ctx.option("retorno");
    if (!ctx.args.isEmpty()) {
        ctx.err << "Uso: tolmare-cli " << kUsage << "\n";
        return 2;
    }
    if (!cli::checkTables(ctx)) return 1;
    try {
        for (const char* table : {"PARAMETROS.DB", "GRUPO.DB", "ASSOCIADOS.DB", "DEBITO.DB",
                                  "RET_DEBITO.DB"})
            if (!isEmpty(table)) {
                ctx.err << "A pasta de dados já tem dados (" << table << "); nada foi mudado.\n"
                        << "A demonstração só preenche uma pasta nova: use --dados PASTA "
                           "--criar-pasta com uma pasta vazia.\n";
                return 1;
            }
        db::Transaction tx(db::Session::instance().connectionFor("Tolmare"));
        fill();
        tx.commit();
    } catch (const db::EngineError& e) {
        ctx.err << e.message() << "\nNada foi gravado.\n";
        return 1;
    }
    ctx.out << "Pasta de demonstração preenchida: 3 grupos, 8 associados e os débitos de "
            << kDebitDate.toString("dd/MM/yyyy") << ".\n";
    if (retorno) {
        if (!writeReturn(*retorno)) {
            ctx.err << "Não foi possível gravar o arquivo de retorno " << *retorno
                    << ": confira a pasta e o espaço livre.\n";
            return 1;
        }
        ctx.out << "Arquivo de retorno de 07/2026 gravado em " << *retorno << ".\n";
    }
    return 0;
}

const cli::Registrar reg({"demonstracao", kUsage,
                          "Preenche uma pasta de dados nova com uma associação de demonstração\n"
                          "(parâmetros, 3 grupos, 8 associados e os débitos de 10/07/2026), para\n"
                          "conhecer o programa e o manual; uma pasta que já tem dados é recusada.\n"
                          "--retorno grava o arquivo de retorno que a PREVI mandaria para a\n"
                          "remessa desse mês.",
                          demonstracaoCommand});

}  // namespace

// The main database's tables, which the file store creates from their one description
// (core/store/MainTables): a main database made by an earlier version opens, keeps its rows and
// takes every record, in the same shape as a new one.
#include "core/Historico.h"
#include "core/engine/Connection.h"
#include "core/engine/Database.h"
#include "core/store/MainTables.h"
#include "remittance/ArquivoPendente.h"
#include "remittance/DesfazerRemessa.h"
#include "remittance/RetornosImportados.h"
#include "tests/common/TestData.h"

#include <QDir>
#include <QTest>

#include <sqlite3.h>

namespace {

// The main database as earlier versions made it (the record of imported returns before it
// kept when an import was recorded and undone), with a row in each table.
const char* const kEarlier =
    "CREATE TABLE HISTORICO (ID INTEGER PRIMARY KEY AUTOINCREMENT, QUANDO TEXT NOT NULL,"
    " USUARIO INTEGER NOT NULL, OPERACAO TEXT NOT NULL, DETALHE TEXT NOT NULL);"
    "CREATE TRIGGER HISTORICO_SEM_ALTERACAO BEFORE UPDATE ON HISTORICO"
    " BEGIN SELECT RAISE(ABORT, 'O histórico de operações não pode ser alterado.'); END;"
    "CREATE TRIGGER HISTORICO_SEM_EXCLUSAO BEFORE DELETE ON HISTORICO"
    " BEGIN SELECT RAISE(ABORT, 'O histórico de operações não pode ser apagado.'); END;"
    "CREATE TABLE RETORNOS_IMPORTADOS (IMPRESSAO TEXT NOT NULL, ARQUIVO TEXT NOT NULL,"
    " MES INTEGER NOT NULL, ANO INTEGER NOT NULL, DATA TEXT NOT NULL, LINHAS INTEGER NOT NULL);"
    "CREATE INDEX RETORNOS_IMPORTADOS_IMPRESSAO ON RETORNOS_IMPORTADOS (IMPRESSAO);"
    "CREATE TABLE tolmare_arquivo_pendente (id INTEGER PRIMARY KEY, temporario TEXT NOT NULL,"
    " destino TEXT NOT NULL, concluido INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE REMESSA_DESFAZER (REMESSA INTEGER NOT NULL, ARQUIVO TEXT NOT NULL,"
    " DATA_DEBITO TEXT NOT NULL, GERADA_EM TEXT NOT NULL, IMPORTACOES INTEGER NOT NULL,"
    " DESFEITA INTEGER NOT NULL DEFAULT 0, DESTINO TEXT);"
    "CREATE TABLE REMESSA_DESFAZER_LINHAS (SEQ INTEGER PRIMARY KEY, TABELA TEXT NOT NULL,"
    " OP TEXT NOT NULL, RID INTEGER NOT NULL, O1, N1, O2, N2, O3, N3, O4, N4, O5, N5, O6, N6,"
    " O7, N7, O8, N8);"
    "INSERT INTO HISTORICO VALUES (1, '2025-01-02T10:00:00', 1, 'Antes', 'x');"
    "INSERT INTO RETORNOS_IMPORTADOS VALUES ('antiga', 'r.txt', 1, 2025, '2025-01-03', 4);"
    "INSERT INTO tolmare_arquivo_pendente VALUES (1, 't', 'd', 1);"
    "INSERT INTO REMESSA_DESFAZER VALUES (7, 'r7.txt', '2025-01-05', '2025-01-04', 0, 0, NULL);"
    "INSERT INTO REMESSA_DESFAZER_LINHAS (TABELA, OP, RID, O1) VALUES ('PARAMETROS', 'U', 1, 6)";

QStringList rows(sqlite3* db, const std::string& sql)
{
    QStringList out;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
        return {QString("? ") + sqlite3_errmsg(db)};
    while (sqlite3_step(st) == SQLITE_ROW) {
        QStringList cols;
        for (int i = 0; i < sqlite3_column_count(st); ++i)
            cols << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
        out << cols.join('|');
    }
    sqlite3_finalize(st);
    return out;
}

// Columns (type, NOT NULL, default, key, AUTOINCREMENT), indexes and triggers of the tables.
QStringList shape(sqlite3* db)
{
    QStringList out;
    for (const store::MainTableSpec& t : store::mainTables()) {
        const std::string n = "'" + t.name + "'";
        out << rows(db, "SELECT name, type, \"notnull\", dflt_value, pk FROM pragma_table_info("
                            + n + ", 'main')")
            << rows(db, "SELECT sql LIKE '%AUTOINCREMENT%' FROM main.sqlite_master WHERE name = "
                            + n)
            << rows(db, "SELECT l.name, \"unique\", i.name FROM pragma_index_list(" + n
                            + ", 'main') l, pragma_index_info(l.name, 'main') i WHERE origin = 'c'")
            << rows(db, "SELECT upper(name) FROM main.sqlite_master WHERE type = 'trigger' AND "
                        "tbl_name = " + n + " ORDER BY 1");
    }
    return out;
}

}  // namespace

class TstMainTables : public testdata::DataFolderTest {
    Q_OBJECT
private slots:
    void earlierMainDatabaseOpens_data()
    {
        QTest::addColumn<bool>("earlier");
        QTest::newRow("new folder") << false;
        QTest::newRow("earlier main database") << true;
    }
    void earlierMainDatabaseOpens()
    {
        QFETCH(bool, earlier);
        freshFolder();
        if (earlier) {
            sqlite3* db = nullptr;
            QCOMPARE(sqlite3_open(qPrintable(QDir(folder_).filePath(".tolmare-main")), &db),
                     SQLITE_OK);
            QCOMPARE(sqlite3_exec(db, kEarlier, nullptr, nullptr, nullptr), SQLITE_OK);
            // Earlier versions stored the log's refusal texts as UTF-8 read as Latin-1.
            const QByteArray garbled =
                "DROP TRIGGER HISTORICO_SEM_ALTERACAO; CREATE TRIGGER HISTORICO_SEM_ALTERACAO "
                "BEFORE UPDATE ON HISTORICO BEGIN SELECT RAISE(ABORT, '"
                + QString::fromLatin1("O histórico de operações não pode ser alterado.").toUtf8()
                + "'); END";
            QCOMPARE(sqlite3_exec(db, garbled.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(db);
        }
        db::Connection& c = db::Session::instance().connectionFor("Tolmare");
        if (earlier) QCOMPARE(remessa::ultimaRemessa()->numero, 7);
        historico::registrar(c, "Teste", "linha");
        retorno::registrarImportacao(c, "nova", "a.txt", 1, 2026, QDate(2026, 1, 2), 1);
        {
            remessa::ArquivoPendente pendente(c, QDir(folder_).filePath("remessa.txt"));
        }
        for (const char* t : {"PARAMETROS.DB", "DEBITO.DB", "RET_DEBITO.DB"})
            c.attach(QString::fromLatin1(t));
        c.begin();
        { remessa::GravacaoDesfazer gravacao(c, 8, "r8.txt", QDate(2026, 2, 5)); }
        c.commit();
        QCOMPARE(remessa::ultimaRemessa()->numero, 8);
        QCOMPARE(rows(c.handle(), "SELECT count(*) FROM main.HISTORICO"),
                 QStringList(earlier ? "2" : "1"));
        QCOMPARE(rows(c.handle(), "SELECT group_concat(IMPRESSAO) FROM main.RETORNOS_IMPORTADOS"),
                 QStringList(earlier ? "antiga,nova" : "nova"));

        QCOMPARE(sqlite3_exec(c.handle(), "UPDATE main.HISTORICO SET DETALHE = 'y'", nullptr,
                              nullptr, nullptr), SQLITE_CONSTRAINT_TRIGGER);
        QCOMPARE(QString::fromUtf8(sqlite3_errmsg(c.handle())),
                 QString("O histórico de operações não pode ser alterado."));

        // The same shape as the description makes on its own.
        sqlite3* described = nullptr;
        QCOMPARE(sqlite3_open(":memory:", &described), SQLITE_OK);
        for (const store::MainTableSpec& t : store::mainTables())
            for (const std::string& sql : store::mainTableStatements(t))
                QCOMPARE(sqlite3_exec(described, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        const QStringList expected = shape(described);
        sqlite3_close(described);
        QCOMPARE(shape(c.handle()), expected);
    }
};

QTEST_GUILESS_MAIN(TstMainTables)
#include "tst_maintables.moc"

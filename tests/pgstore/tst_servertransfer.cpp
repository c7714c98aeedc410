// Tables between a data folder and a real PostgreSQL server (the address in TOLMARE_PG_URI,
// else libpq's PG* variables, as pg_virtualenv sets them), through tolmare-cli: migrar-servidor,
// the backup of the server's snapshot, its restore into a folder and onto the server; and a
// load that fails half-way (or finds a table file busy) leaving the server as it was.
#include "core/TableDefs.h"
#include "core/engine/EngineError.h"
#include "core/pgstore/PgConnection.h"
#include "core/pgstore/ServerTransfer.h"
#include "core/store/MainTables.h"
#include "tests/pgstore/ServerCli.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <sqlite3.h>

namespace {

// A table file as its rows (row number, each value's type and text), its counter and its schema.
QStringList fileDump(const QString& folder, const store::TableSpec& t)
{
    QStringList out;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QDir(folder).filePath(QString::fromStdString(t.fileName)).toUtf8(), &db,
                        SQLITE_OPEN_READONLY, nullptr)
        != SQLITE_OK)
        return {"unreadable"};
    QString cols = "rowid";
    for (const store::FieldSpec& f : t.fields)
        cols += QString(", typeof(\"%1\") || ':' || quote(\"%1\")").arg(f.name.c_str());
    for (const QString& q :
         {"SELECT " + cols + " FROM \"" + t.tableName().c_str() + "\" ORDER BY rowid",
          QString("SELECT name || seq FROM sqlite_sequence"),
          QString("SELECT type || name || sql FROM sqlite_master ORDER BY name")}) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, q.toUtf8(), -1, &s, nullptr);
        while (s && sqlite3_step(s) == SQLITE_ROW) {
            QStringList row;
            for (int i = 0; i < sqlite3_column_count(s); ++i)
                row << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, i)));
            out << row.join('|');
        }
        sqlite3_finalize(s);
    }
    sqlite3_close(db);
    return out;
}

}  // namespace

class TstServerTransfer : public QObject {
    Q_OBJECT
    std::unique_ptr<pg::Connection> c_;
    QTemporaryDir dir_;
    int n_ = 0;

    QString newFolder()
    {
        const QString f = dir_.filePath("d" + QString::number(++n_));
        QDir().mkpath(f);
        return f;
    }
    // A data folder with the demonstration's rows and a few values at the edges.
    QString filledFolder()
    {
        const QString f = dir_.filePath("d" + QString::number(++n_));
        if (cli({"--dados", f, "--criar-pasta", "demonstracao"}) != 0) return {};
        sql(f, "DEBITO",
            "INSERT INTO DEBITO VALUES (NULL, 3, 1234.5678, '2026-02-28', 1), "
            "('2026-08-10', 4, -0.01, '2026-01-01', 2)");
        sql(f, "GRUPO",
            "INSERT INTO GRUPO (GRP_DESCRICAO, GRP_DTA_CAD) VALUES "
            "('Conceição ÑANDU ''x''', NULL)");
        // The last member's number is not given again, though no row holds it now.
        sql(f, "ASSOCIADOS", "DELETE FROM ASSOCIADOS WHERE ASS_ID = 8");
        return f;
    }
    // Everything a load may change on the server: the rows, the log and the counters.
    QStringList serverDump()
    {
        QStringList out;
        std::vector<std::string> names{"HISTORICO", "RETORNOS_IMPORTADOS"};
        for (const store::TableSpec& t : tables::all()) names.push_back(t.tableName());
        for (const std::string& n : names) {
            const pg::Result r = c_->exec("SELECT t::text FROM tolmare.\"" + n
                                          + "\" t ORDER BY t::text COLLATE \"C\"");
            for (int i = 0; i < r.rows(); ++i) out << QString::fromStdString(n + r.text(i, 0));
        }
        const pg::Result s = c_->exec(
            "SELECT sequencename || ' ' || coalesce(last_value, 0) FROM "
            "pg_sequences WHERE schemaname = 'tolmare' ORDER BY 1");
        for (int i = 0; i < s.rows(); ++i) out << QString::fromStdString(s.text(i, 0));
        return out;
    }
    std::string one(const std::string& query) { return c_->exec(query).text(0, 0); }

private slots:
    void initTestCase() { connectToServer(c_); }
    void init() { c_->exec("DROP SCHEMA IF EXISTS tolmare CASCADE"); }

    void folderToServerToArchiveToFolder()
    {
        const QString folder = filledFolder();
        QVERIFY(!folder.isEmpty());
        QCOMPARE(cli({"--dados", folder, "migrar-servidor", serverUri()}), 0);
        QCOMPARE(one("SELECT string_agg(\"DEB_VALOR\"::text, ' ' ORDER BY \"rowid\") FROM "
                     "tolmare.\"DEBITO\" WHERE \"DEB_ASS_ID\" IN (3, 4)"),
                 std::string("30.0000 45.0000 1234.5678 -0.0100"));
        QString err;
        QCOMPARE(cli({"--dados", folder, "migrar-servidor", serverUri()}, &err), 2);
        QVERIFY2(err.contains("já tem registros") && err.contains("--substituir"), qPrintable(err));

        const QString archive = dir_.filePath("servidor.bck");
        QCOMPARE(cli({"--dados", serverUri(), "backup", archive}), 0);
        const QString restored = newFolder();
        // Recorded by the tables' names: restored with their paths, they land in the folder.
        QCOMPARE(cli({"--dados", restored, "restaurar", archive, restored, "--caminho-completo"}),
                 0);
        for (const store::TableSpec& t : tables::all())
            QCOMPARE(fileDump(restored, t), fileDump(folder, t));
        QVERIFY(fileDump(folder, *tables::find("ASSOCIADOS.DB")).contains("ASSOCIADOS8"));

        // Back onto the server, in place of what came since: the numbers given meanwhile are
        // not given again.
        c_->exec("INSERT INTO tolmare.\"GRUPO\" (\"GRP_DESCRICAO\") VALUES ('depois')");
        c_->exec("DELETE FROM tolmare.\"DEBITO\"");
        // A return imported after the copy no longer counts as imported; one before still does.
        c_->exec("INSERT INTO tolmare.\"RETORNOS_IMPORTADOS\" VALUES ('a', 'A.TXT', 7, 2026, "
                 "'2026-07-20', 8, '2000-01-01T00:00:00.000Z', NULL, DEFAULT), ('b', 'B.TXT', "
                 "7, 2026, '2026-07-20', 8, '2099-01-01T00:00:00.000Z', NULL, DEFAULT)");
        QCOMPARE(cli({"--dados", serverUri(), "restaurar", archive}), 0);
        QCOMPARE(one("SELECT count(*) FROM tolmare.\"DEBITO\""), std::string("10"));
        QCOMPARE(one("SELECT string_agg(\"IMPRESSAO\", ' ') FROM tolmare.\"RETORNOS_IMPORTADOS\" "
                     "WHERE \"DESFEITO\" LIKE 'restauração de arquivo %'"),
                 std::string("b"));
        QCOMPARE(one("SELECT string_agg(\"GRP_DESCRICAO\", '|' ORDER BY \"GRP_ID\") FROM "
                     "tolmare.\"GRUPO\" WHERE \"GRP_ID\" > 3"),
                 std::string("Conceição ÑANDU 'x'"));
        QCOMPARE(one("INSERT INTO tolmare.\"GRUPO\" (\"GRP_DESCRICAO\") VALUES ('nova') "
                     "RETURNING \"GRP_ID\""),
                 std::string("6"));
        QCOMPARE(one("INSERT INTO tolmare.\"ASSOCIADOS\" (\"ASS_NOME\") VALUES ('Nova') "
                     "RETURNING \"ASS_ID\""),
                 std::string("9"));
        QCOMPARE(one("SELECT string_agg(\"OPERACAO\", ' ' ORDER BY \"ID\") FROM "
                     "tolmare.\"HISTORICO\""),
                 std::string("Migração Backup Restauração"));

        // Commands that do not work on a server yet say so, and never take it for a folder.
        QCOMPARE(cli({"--dados", serverUri(), "demonstracao"}, &err), 2);
        QVERIFY2(err.contains("ainda não funciona com os dados num servidor"), qPrintable(err));
    }

    // The schema check on the server creates the tables once, restructures one that differs with
    // its rows, and logs each change with it; historico reads that log.
    void checkAndLogOnServer()
    {
        QString out, err;
        QCOMPARE(cli({"--dados", serverUri(), "verificar"}, &err, &out), 0);
        QVERIFY2(out.contains("Tabela GRUPO criada.\n"), qPrintable(out));
        c_->exec("INSERT INTO tolmare.\"GRUPO\" (\"GRP_DESCRICAO\") VALUES ('Sócios')");
        c_->exec("ALTER TABLE tolmare.\"GRUPO\" DROP COLUMN \"GRP_DTA_CAD\"");
        QCOMPARE(cli({"--dados", serverUri(), "verificar"}, &err, &out), 0);
        QCOMPARE(out, QString("Tabela GRUPO reestruturada: 1 registro(s) mantido(s).\n"
                              "Tabelas do servidor verificadas.\n"));
        QCOMPARE(cli({"--dados", serverUri(), "verificar"}, &err, &out), 0);
        QCOMPARE(out, QString("Tabelas do servidor verificadas.\n"));
        QCOMPARE(cli({"--dados", serverUri(), "historico"}, &err, &out), 0);
        const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), int(tables::all().size() + store::mainTables().size()) + 1);
        QVERIFY2(lines.last().endsWith("usuário 1  Tabelas: GRUPO reestruturada: 1 registro(s) "
                                       "mantido(s) (servidor de dados)"),
                 qPrintable(out));
        QCOMPARE(one("SELECT \"GRP_DESCRICAO\" FROM tolmare.\"GRUPO\""), std::string("Sócios"));
    }

    // The commands that only read give on the server what they give on the folder it came from.
    void readingCommandsOnServer()
    {
        const QString f = filledFolder();
        QVERIFY(!f.isEmpty());
        sql(f, "RET_DEBITO",
            "INSERT INTO RET_DEBITO (DEB_DATA, DEB_DATA_RETORNO, DEB_ASS_ID, DEB_REMESSA, DEB_VALOR, "
            "DEB_OCORRENCIA, DEB_DTA_CAD, DEB_USR_ID) VALUES "
            "('2026-05-10', '2026-06-02', 1, 3, 30.1, 'SALDO INSUFICIENTE', '2026-05-01', 1), "
            "('2026-06-10', '2026-07-02', 1, 4, 30.1, 'CONTA ENCERRADA', '2026-06-01', 1), "
            "('2026-06-10', '2026-07-02', 2, 4, 45, NULL, '2026-06-01', 1), "
            "('2026-07-10', NULL, 2, 5, 45, 'Aguardando Retorno', '2026-07-01', 1)");
        QCOMPARE(cli({"--dados", f, "migrar-servidor", serverUri()}), 0);
        const QList<QStringList> commands{{"inadimplentes"},
                                          {"painel", "--ate", "07/2026"},
                                          {"extrato", "1"},
                                          {"relatorio", "debitos"}};
        for (const QStringList& command : commands) {
            QByteArray written[2];
            for (int onServer = 0; onServer < 2; ++onServer) {
                const QString csv = dir_.filePath("saida.csv");
                QFile::remove(csv);
                QString err;
                QCOMPARE(cli(QStringList{"--dados", onServer ? serverUri() : f} + command
                                 + QStringList{"--csv", csv}, &err),
                         0);
                QFile file(csv);
                QVERIFY(file.open(QIODevice::ReadOnly));
                written[onServer] = file.readAll();
            }
            QVERIFY2(written[0].count('\n') > 1, qPrintable(command.join(' ')));
            QCOMPARE(written[1], written[0]);
        }
        // The remittance's check says the same of both (the folder's edge values stop it).
        QString said[2], problems[2];
        int code[2];
        for (int onServer = 0; onServer < 2; ++onServer)
            code[onServer] = cli({"--dados", onServer ? serverUri() : f, "remessa", "--data",
                                  "10/08/2026", "--verificar"},
                                 &problems[onServer], &said[onServer]);
        QVERIFY2(said[0].contains("débito(s) seriam enviados"), qPrintable(said[0]));
        QCOMPARE(said[1], said[0]);
        QCOMPARE(code[1], code[0]);
        QCOMPARE(problems[1], problems[0]);
        QString err;
        QCOMPARE(cli({"--dados", "postgresql://localhost:1/x", "painel", "--csv", "x.csv"}, &err), 1);
        QVERIFY2(err.contains("Nada foi lido do servidor de dados."), qPrintable(err));
    }

    // The client killed at any instant of a restore onto the server: the server holds all that
    // was there before or all of the archive (with its log line), the next try works, and the
    // copies of the tables a killed run left in the temporary folder are gone after it.
    void killedRestoreLeavesAllOrNothing()
    {
        const QString temp = newFolder(), previousTemp = qEnvironmentVariable("TMPDIR");
        qputenv("TMPDIR", temp.toLocal8Bit());
        const auto restoreTemp = qScopeGuard([&] { qputenv("TMPDIR", previousTemp.toLocal8Bit()); });
        const QString before = filledFolder(), other = filledFolder();
        QVERIFY(!before.isEmpty() && !other.isEmpty());
        sql(other, "GRUPO", "INSERT INTO GRUPO (GRP_DESCRICAO) VALUES ('só no backup')");
        const QString archive = dir_.filePath("outro.bck");
        QCOMPARE(cli({"--dados", other, "backup", archive}), 0);
        auto state = [&] {
            QStringList rows = serverDump();
            const qsizetype logLines =
                std::count_if(rows.cbegin(), rows.cend(),
                              [](const QString& r) { return r.startsWith("HISTORICO"); });
            rows.erase(std::remove_if(rows.begin(), rows.end(),
                                      [](const QString& r) { return r.startsWith("HISTORICO"); }),
                       rows.end());
            return std::pair{rows, logLines};
        };
        const QStringList restore{"--dados", serverUri(), "restaurar", archive};
        QCOMPARE(cli({"--dados", before, "migrar-servidor", serverUri()}), 0);
        QElapsedTimer t;
        t.start();
        QCOMPARE(cli(restore), 0);
        const int took = int(t.elapsed());
        const QStringList after = state().first;
        int kept = 0, done = 0;
        for (int round = 0; round < 8; ++round) {
            QCOMPARE(cli({"--dados", before, "migrar-servidor", serverUri(), "--substituir"}), 0);
            const auto [rows, logLines] = state();
            QProcess p;
            p.start(QCoreApplication::applicationDirPath() + "/tolmare-cli", restore);
            QVERIFY(p.waitForStarted());
            QThread::msleep(QRandomGenerator::global()->bounded(took + 50));
            p.kill();
            p.waitForFinished();
            const auto [now, nowLines] = state();
            if (now == rows && nowLines == logLines) ++kept;
            else if (now == after && nowLines == logLines + 1) ++done;
            else QFAIL(qPrintable(QString("round %1: neither before nor after").arg(round)));
            QCOMPARE(cli(restore), 0);
            QCOMPARE(state().first, after);
        }
        qInfo("%d kill(s) before the commit, %d after", kept, done);
        // An empty folder (killed while being made or at its last step) holds no copy.
        QStringList left;
        for (QDirIterator it(temp, QDir::Files | QDir::Hidden | QDir::System,
                             QDirIterator::Subdirectories);
             it.hasNext();)
            left << it.next();
        QCOMPARE(left, QStringList());
    }

    void failedLoadLeavesTheServerAsItWas_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("change");  // empty: the connection is cut, or `table` held
        QTest::addColumn<QString>("said");
        QTest::newRow("required field empty")
            << "DEBITO"
            << "INSERT INTO DEBITO VALUES ('2026-09-10', 1, 5, NULL, 1)"
            << "DEB_DTA_CAD do registro de número 11 de DEBITO.DB está vazio";
        QTest::newRow("key twice (empty dates are equal)")
            << "DEBITO"
            << "INSERT INTO DEBITO VALUES (NULL, 3, 1234.5678, '2026-03-01', 1)"
            << "Já existe um registro com a mesma chave em DEBITO";
        QTest::newRow("money past a ten-thousandth")
            << "RET_DEBITO"
            << "INSERT INTO RET_DEBITO (DEB_VALOR, DEB_DTA_CAD, DEB_USR_ID) VALUES (0.12345, "
               "'2026-01-01', 1)"
            << "não é um valor em dinheiro de até 4 casas decimais";
        QTest::newRow("connection cut before the commit") << ""
                                                          << ""
                                                          << "conexão";
        QTest::newRow("table file held by another program")
            << "RET_DEBITO" << "" << "A tabela RET_DEBITO.DB está em uso por outro programa";
    }
    void failedLoadLeavesTheServerAsItWas()
    {
        QFETCH(QString, table);
        QFETCH(QString, change);
        QFETCH(QString, said);
        const QString folder = filledFolder();
        QVERIFY(!folder.isEmpty());
        QCOMPARE(cli({"--dados", folder, "migrar-servidor", serverUri()}), 0);
        const QStringList before = serverDump();
        sql(folder, "GRUPO", "UPDATE GRUPO SET GRP_DESCRICAO = 'mudou'");
        QString err;
        if (!change.isEmpty()) {
            sql(folder, table, change);
            QCOMPARE(cli({"--dados", folder, "migrar-servidor", serverUri(), "--substituir"}, &err),
                     2);
        } else {
            pg::Connection loader(serverUri().toStdString());
            pg::LoadSteps steps;
            // Written by another program past the wait for it.
            sqlite3* holder = nullptr;
            if (table.isEmpty()) {
                steps.alsoCommit = [&](const std::vector<pg::TableRows>&) {
                    c_->exec("SELECT pg_terminate_backend($1::int, 5000)",
                             {std::to_string(loader.backendPid())});
                };
            } else {
                QCOMPARE(sqlite3_open(QDir(folder).filePath(table + ".DB").toUtf8(), &holder),
                         SQLITE_OK);
                QCOMPARE(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr),
                         SQLITE_OK);
            }
            try {
                pg::loadTables(loader, folder.toStdString(), tables::all(), tables::all(),
                               store::mainTables(), steps);
            } catch (const pg::PgError& e) {
                QCOMPARE(int(e.kind()), int(pg::ErrorKind::ConnectionLost));
                err = e.what();
            } catch (const db::EngineError& e) {
                QCOMPARE(int(e.fault()), int(db::EngineFault::Busy));
                err = e.message();
            }
            sqlite3_close(holder);
        }
        QVERIFY2(err.contains(said), qPrintable(err));
        QCOMPARE(serverDump(), before);
    }
};

QTEST_GUILESS_MAIN(TstServerTransfer)
#include "tst_servertransfer.moc"

// Undoing the last remittance: DEBITO, RET_DEBITO and the remittance number back byte for byte
// after a remittance that re-dated, deleted and edited rows; refused once a return was imported
// or a row it left was changed; killed at random instants, all before or all after.
#include "core/Historico.h"
#include "core/UVariaveis.h"
#include "core/engine/Connection.h"
#include "core/engine/Database.h"
#include "core/engine/EngineConfig.h"
#include "core/engine/Query.h"
#include "remittance/ArquivoPendente.h"
#include "remittance/DesfazerRemessa.h"
#include "remittance/GerarRemessa.h"
#include "tests/common/TestData.h"
#include "tests/remittance/RemessaFixtures.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sqlite3.h>

#include <cstring>

namespace {

const QDate kDebitDate(2026, 7, 10), kToday(2026, 7, 5);

// Every row of a table file with its rowid, each value with its storage class and its exact
// bytes (a REAL by the bits of its double). Opened for writing, so that a journal a stop left
// is rolled back first, as any program opening the table does.
QStringList dump(const QString& folder, const QString& file)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(QDir(folder).filePath(file).toUtf8().constData(), &db, SQLITE_OPEN_READWRITE,
                    nullptr);
    const QString table = file.section('.', 0, 0);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, ("SELECT rowid, * FROM " + table).toUtf8().constData(), -1, &st, nullptr);
    QStringList out;
    while (sqlite3_step(st) == SQLITE_ROW) {
        QStringList cells;
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
            const int type = sqlite3_column_type(st, i);
            QByteArray bytes;
            if (type == SQLITE_FLOAT) {
                const double d = sqlite3_column_double(st, i);
                bytes = QByteArray(reinterpret_cast<const char*>(&d), sizeof d);
            } else if (type == SQLITE_INTEGER) {
                bytes = QByteArray::number(sqlite3_column_int64(st, i));
            } else if (type != SQLITE_NULL) {
                bytes = QByteArray(static_cast<const char*>(sqlite3_column_blob(st, i)),
                                   sqlite3_column_bytes(st, i));
            }
            cells << QString::number(type) + ":" + QString::fromLatin1(bytes.toHex());
        }
        out << cells.join('|');
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

struct State {
    QStringList debito, retDebito, parametros, files;
    bool operator==(const State&) const = default;
};

State stateOf(const QString& folder)
{
    return {dump(folder, "DEBITO.DB"), dump(folder, "RET_DEBITO.DB"),
            dump(folder, "PARAMETROS.DB"), remittanceFiles(folder)};
}

void ret(const QDate& d, double who, double remessa, const QVariant& retorno, const QString& oc)
{
    testdata::addRow("RET_DEBITO.DB", {{"DEB_DATA", d}, {"DEB_ASS_ID", who},
                                       {"DEB_REMESSA", remessa}, {"DEB_VALOR", 7.25},
                                       {"DEB_DATA_RETORNO", retorno}, {"DEB_OCORRENCIA", oc},
                                       {"DEB_DTA_CAD", d}, {"DEB_USR_ID", 1}});
}

// Member 1 has two debits of other dates (the first is deleted, the second re-dated), member 2
// one on the date with a RET_DEBITO row of the date already (edited), member 3 one re-dated,
// member 4 (no enrolment number) one re-dated but not sent.
void fill()
{
    parametros(40);
    member("Ana", "10.1-0");
    member("Bruno", "10.2-0");
    member("Carla", "10.3-0");
    member("Davi", QVariant());
    debit(QDate(2026, 6, 10), 1, 10.0);
    debit(QDate(2026, 6, 20), 1, 11.0);
    debit(kDebitDate, 2, 20.0);
    debit(QDate(2026, 5, 10), 3, 30.0);
    debit(QDate(2026, 6, 10), 4, 5.0);
    ret(kDebitDate, 2, 39, QVariant(), "Aguardando Retorno");
    ret(QDate(2026, 6, 10), 1, 39, QDate(2026, 7, 1), "");
}

QString fileIn(const QString& folder) { return QDir(folder).filePath("ARQ_PREVI_000040.txt"); }

// Points the alias at `folder` and finishes what a stopped generation or undo left.
void startOn(const QString& folder)
{
    db::EngineConfig::overrideAlias("Tolmare", folder);
    db::Session::instance().reset();
    db::Connection& c = db::Session::instance().connectionFor("Tolmare");
    QCOMPARE(remessa::concluirPendentes(c), QStringList());
    QCOMPARE(remessa::concluirDesfazimento(c), QString());
    db::Session::instance().reset();
}

}  // namespace

class TestDesfazerRemessa : public testdata::DataFolderTest {
    Q_OBJECT

private slots:
    void init()
    {
        freshFolder();
        UsuarioAtual = 1;
    }

    void undoRestoresByteForByte()
    {
        fill();
        const State before = stateOf(folder_);
        const remessa::Outcome o = remessa::GerarArquivo(fileIn(folder_), kDebitDate, kToday);
        QCOMPARE(int(o.kind), int(remessa::Outcome::Kind::Done));
        const QByteArray sent = readAll(fileIn(folder_));
        const State generated = stateOf(folder_);
        QVERIFY(generated.debito != before.debito);
        QVERIFY(generated.retDebito != before.retDebito);
        QCOMPARE(generated.debito.size(), before.debito.size() - 1);

        const std::optional<remessa::UltimaRemessa> last = remessa::ultimaRemessa();
        QVERIFY(last);
        QCOMPARE(last->numero, 41);
        QCOMPARE(last->arquivo, fileIn(folder_));
        QVERIFY(last->recusa.isEmpty());

        const remessa::ResultadoDesfazer r = remessa::desfazerUltimaRemessa();
        QCOMPARE(int(r.kind), int(remessa::ResultadoDesfazer::Kind::Done));
        QVERIFY2(r.message.contains(fileIn(folder_) + ".desfeita"), qPrintable(r.message));
        State after = stateOf(folder_);
        QCOMPARE(after.files, QStringList{"ARQ_PREVI_000040.txt.desfeita"});
        after.files = before.files;
        QCOMPARE(after, before);
        QCOMPARE(readAll(fileIn(folder_) + ".desfeita"), sent);
        db::Connection& c = db::Session::instance().connectionFor("Tolmare");
        QVERIFY(historico::ler(c).last().detalhe.contains("remessa 41 de 10/07/2026 desfeita"));

        QCOMPARE(int(remessa::desfazerUltimaRemessa().kind),
                 int(remessa::ResultadoDesfazer::Kind::Refused));
        // Generated again under the same name and undone again: the earlier undone file stays.
        QCOMPARE(int(remessa::GerarArquivo(fileIn(folder_), kDebitDate, kToday).kind),
                 int(remessa::Outcome::Kind::Done));
        QCOMPARE(int(remessa::desfazerUltimaRemessa().kind),
                 int(remessa::ResultadoDesfazer::Kind::Done));
        QCOMPARE(remittanceFiles(folder_), (QStringList{"ARQ_PREVI_000040.txt.desfeita",
                                                        "ARQ_PREVI_000040.txt.desfeita.2"}));
    }

    void refused_data()
    {
        QTest::addColumn<QString>("since");
        QTest::addColumn<QString>("why");
        QTest::newRow("return imported") << "import" << "já foi importado um retorno";
        QTest::newRow("debit changed") << "UPDATE DEBITO SET DEB_VALOR = 99 WHERE DEB_ASS_ID = 3"
                                       << "foi alterado ou excluído depois";
        QTest::newRow("number changed") << "UPDATE PARAMETROS SET EMP_NR_REM_PREVI = 50"
                                        << "número da remessa";
    }
    void refused()
    {
        QFETCH(QString, since);
        QFETCH(QString, why);
        fill();
        QCOMPARE(int(remessa::GerarArquivo(fileIn(folder_), kDebitDate, kToday).kind),
                 int(remessa::Outcome::Kind::Done));
        db::Session::instance().reset();
        if (since == "import") {
            QFile f(QDir(folder_).filePath("RET.TXT"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QString("%1%2%3\r\n").arg("000000000001010").arg("Ana", -45)
                        .arg("SALDO INSUFICIENTE", -30).toLatin1());
            f.close();
            QCOMPARE(runCli(folder_, {"retorno", "--arquivo", f.fileName(), "--mes", "07/2026",
                                      "--hoje", "03/08/2026"}), 0);
        } else {
            db::Query::execute("Tolmare", since);
        }
        db::Session::instance().reset();
        const State now = stateOf(folder_);
        QString out, err;
        QCOMPARE(runCli(folder_, {"desfazer-remessa"}, &out, &err), 1);
        QVERIFY2(err.contains(why), qPrintable(err));
        QVERIFY(err.contains("Nada foi alterado"));
        QCOMPARE(stateOf(folder_), now);
    }

    // Killed at random instants, the undo leaves (once the next start has finished what it
    // left) either the remittance as generated or everything as before it.
    void killsLeaveAllBeforeOrAllAfter()
    {
        parametros(40);
        db::Query::execute("Tolmare", "INSERT INTO ASSOCIADOS (ASS_NOME, ASS_GRP_ID, "
                                      "ASS_MATRICULA) SELECT 'Associado ' || n, 1, '12.' || n "
                                      "FROM (WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT "
                                      "n + 1 FROM c WHERE n < 4000) SELECT n FROM c)");
        db::Query::execute("Tolmare", "INSERT INTO DEBITO (DEB_DATA, DEB_ASS_ID, DEB_VALOR, "
                                      "DEB_DTA_CAD, DEB_USR_ID) SELECT CASE WHEN n % 3 = 0 THEN "
                                      "'2026-06-10' ELSE '2026-07-10' END, 1 + n % 4000, "
                                      "10 + n / 100.0, '2026-07-01', 1 FROM (WITH RECURSIVE "
                                      "c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE "
                                      "n < 6000) SELECT n FROM c)");
        db::Session::instance().reset();
        const State before = stateOf(folder_);
        QCOMPARE(runCli(folder_, {"remessa", "--data", "10/07/2026", "--arquivo",
                                  fileIn(folder_), "--hoje", "05/07/2026"}), 0);
        const QString model = folder_;
        auto copy = [&](const QString& to) {
            QDir(to).removeRecursively();
            QDir().mkpath(to);
            for (const QString& f : QDir(model).entryList({"*.DB", ".tolmare-main", "ARQ_*"},
                                                          QDir::Files | QDir::Hidden))
                QFile::copy(QDir(model).filePath(f), QDir(to).filePath(f));
            // The record names the file where it was generated: here, the copy's.
            sqlite3* db = nullptr;
            sqlite3_open(QDir(to).filePath(".tolmare-main").toUtf8().constData(), &db);
            const QByteArray sql = "UPDATE REMESSA_DESFAZER SET ARQUIVO = '"
                                   + fileIn(to).toUtf8() + "'";
            QCOMPARE(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(db);
        };
        const State generated = stateOf(model);
        const QString reference = dir_.filePath("reference");
        copy(reference);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(runCli(reference, {"desfazer-remessa"}), 0);
        const qint64 whole = std::max<qint64>(clock.elapsed(), 20);
        State undone = stateOf(reference);
        QCOMPARE(undone.files, QStringList{"ARQ_PREVI_000040.txt.desfeita"});
        undone.files = before.files;
        QCOMPARE(undone, before);
        undone.files = {"ARQ_PREVI_000040.txt.desfeita"};

        QRandomGenerator rng(20260705);
        int sawBefore = 0, sawAfter = 0;
        clock.restart();
        for (int i = 0; i < 30 && clock.elapsed() < 12000; ++i) {
            const QString folder = dir_.filePath(QString("kill%1").arg(i));
            copy(folder);
            QProcess cli;
            cli.start(QCoreApplication::applicationDirPath() + "/tolmare-cli",
                      {"--dados", folder, "desfazer-remessa"});
            QVERIFY(cli.waitForStarted());
            QThread::msleep(whole / 5 + rng.bounded(int(whole * 13 / 10)));
            cli.kill();
            QVERIFY(cli.waitForFinished(10000));
            startOn(folder);
            const State seen = stateOf(folder);
            if (seen == generated) ++sawBefore;
            else if (seen == undone) ++sawAfter;
            else
                QFAIL(qPrintable(QString("kill %1: partly undone (%2 %3 %4 %5)").arg(i)
                                     .arg(seen.debito == generated.debito)
                                     .arg(seen.retDebito == generated.retDebito)
                                     .arg(seen.parametros == generated.parametros)
                                     .arg(seen.files.join(","))));
            QDir(folder).removeRecursively();
        }
        qInfo("kills leaving the remittance: %d, undone: %d", sawBefore, sawAfter);
        QVERIFY(sawBefore > 0);
        QVERIFY(sawAfter > 0);
    }
};

QTEST_GUILESS_MAIN(TestDesfazerRemessa)
#include "tst_desfazer_remessa.moc"

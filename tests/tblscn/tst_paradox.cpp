// Tables of an existing installation in the older (Paradox) format, written by pxlib, taken
// over by the schema check: converted row by row, the old files kept, hostile files refused
// without harm, and a kill at any instant leaving all before or all after.
#include "backup/backup.h"
#include "core/Historico.h"
#include "core/MakeDBx.h"
#include "core/UVariaveis.h"
#include "core/engine/Database.h"
#include "core/engine/EngineConfig.h"
#include "core/engine/Table.h"
#include "core/store/StoreSchema.h"
#include "remittance/GerarRemessa.h"
#include "tests/tblscn/ParadoxWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <csignal>

using pxtest::Row;

namespace {

QByteArray cp(const char* utf8) { return QString::fromUtf8(utf8).toLatin1(); }

// The rows of a converted table in primary key order, cells joined by "|".
QStringList rowsOf(const QString& path, const QString& sql)
{
    sqlite3* h = nullptr;
    QStringList out;
    if (sqlite3_open_v2(path.toUtf8().constData(), &h, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return {"<cannot open>"};
    store::registerCollation(h);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(h, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
        out << QString("<%1>").arg(sqlite3_errmsg(h));
    while (st && sqlite3_step(st) == SQLITE_ROW) {
        QStringList cells;
        for (int i = 0; i < sqlite3_column_count(st); ++i)
            cells << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
        out << cells.join("|");
    }
    sqlite3_finalize(st);
    sqlite3_close(h);
    return out;
}

bool isSqlite(const QString& path) { return pxtest::readFile(path).startsWith("SQLite format 3"); }

int runCli(const QStringList& args, QString* out = nullptr, QString* err = nullptr)
{
    QProcess cli;
    cli.start(QCoreApplication::applicationDirPath() + "/tolmare-cli", args);
    if (!cli.waitForFinished(120000)) return -1;
    if (out) *out = QString::fromUtf8(cli.readAllStandardOutput());
    if (err) *err = QString::fromUtf8(cli.readAllStandardError());
    return cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
}

QStringList subfolders(const QString& folder)
{
    return QDir(folder).entryList({"Paradox-*"}, QDir::Dirs);
}

// A DEBITO of `n` rows: member i % 997 + 1, a date per 97 rows, amounts in cents.
pxtest::Table bigDebito(int n)
{
    QList<Row> rows;
    rows.reserve(n);
    for (int i = 0; i < n; ++i)
        rows << Row{QDate(2020, 1, 1).addDays(i / 97), double(i % 997 + 1), (i % 50000) / 100.0 + 1,
                    QDate(2019, 12, 31), 1.0};
    return pxtest::debito(rows);
}

}  // namespace

class TestParadox : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString folder_;
    int n_ = 0;

    QString path(const QString& file) const { return QDir(folder_).filePath(file); }

    void writeTable(const QString& file, const pxtest::Table& t)
    {
        QString error;
        QVERIFY2(pxtest::write(path(file), t, &error), qPrintable(error));
    }

    // The installation every test starts from: groups, members, debits and returns.
    void writeInstallation()
    {
        writeTable("PARAMETROS.DB",
                   pxtest::parametros({{cp("Associação dos Aposentados"), cp("123"), cp("7"), 40.0,
                                        1, QDate(2001, 3, 4), cp("Rua São João, 12"), QVariant(),
                                        cp("Brasília"), cp("00.000.000/0001-91"), cp("70000-000"),
                                        cp("(61) 3333-4444"), QVariant()}}));
        pxtest::Table g = pxtest::grupo({{1, cp("Aposentados"), 1.0, QDate(2001, 3, 4)},
                                         {2, cp("Pensionistas ç"), 1.0, QDate(2001, 3, 4)},
                                         {7, cp("Extinto"), 1.0, QDate(2002, 1, 2)}});
        g.autoInc = 40;  // groups 8 to 40 were deleted long ago
        writeTable("GRUPO.DB", g);
        pxtest::Table a = pxtest::associados({});
        a.columns[1].size = 60;  // the old name field was wider
        a.rows = {{1, cp("Ana Conceição"), 1.0, cp("1234-5"), cp("12345-6"), 777, QDate(2001, 3, 5),
                   1.0, cp("12.345-6"), true},
                  {2, cp("Bia Günther"), 2.0, cp("0987-X"), cp("98-7"), QVariant(),
                   QDate(2001, 3, 6), 1.0, cp("987"), false},
                  {3, QVariant(), 1.0, QVariant(), QVariant(), QVariant(), QDate(2001, 3, 7),
                   1.0, QVariant(), QVariant()},
                  {4, cp("Carla"), 1.0, cp("1-1"), cp("1"), 1, QDate(2001, 3, 8), 1.0, cp("44"), true},
                  {9, QByteArray(55, 'Z'), 1.0, QVariant(), QVariant(), QVariant(),
                   QDate(2001, 3, 9), 1.0, QVariant(), QVariant()}};
        a.deleted = {3};
        writeTable("ASSOCIADOS.DB", a);
        writeTable("DEBITO.DB",
                   pxtest::debito({{QDate(2026, 7, 10), 1.0, 12.34, QDate(2026, 7, 1), 1.0},
                                   {QDate(2026, 7, 10), 2.0, 100.0, QDate(2026, 7, 1), 1.0}}));
        writeTable("RET_DEBITO.DB",
                   pxtest::retDebito({{QDate(2026, 6, 10), QDate(2026, 6, 20), 1.0, 39.0, 12.34,
                                       cp("Saldo insuficiente"), QDate(2026, 6, 5), 1.0},
                                      {QDate(2026, 6, 10), QVariant(), 2.0, 39.0, 100.0,
                                       cp("Aguardando Retorno"), QDate(2026, 6, 5), 1.0}}));
    }

    QStringList check()
    {
        db::Session::instance().reset();
        db::EngineConfig::overrideAlias("Tolmare", folder_);
        return makedbx::checkDataFolder(folder_);
    }

private slots:
    void init()
    {
        folder_ = dir_.filePath(QString("d%1").arg(++n_));
        QDir().mkpath(folder_);
        qputenv("TOLMARE_ENGINE_CONFIG", dir_.filePath("none.ini").toUtf8());
    }

    // Every field type, accents in code page 1252, a deleted slot, a column the definition
    // lacks and refused rows; then the next remittance is the one the old tables call for.
    void convertsTheInstallation()
    {
        writeInstallation();
        const QByteArray oldMembers = pxtest::readFile(path("ASSOCIADOS.DB"));
        const QStringList messages = check();
        QCOMPARE(messages.size(), 5);
        QVERIFY(messages.join("\n").contains("A tabela ASSOCIADOS.DB estava no formato antigo "
                                             "(Paradox) e foi convertida: 2 registro(s) "
                                             "convertido(s), 2 recusado(s)"));
        QCOMPARE(makedbx::lastOutcome().converted, 5);
        QVERIFY(makedbx::lastOutcome().refused);
        for (const char* t : {"PARAMETROS", "GRUPO", "ASSOCIADOS", "DEBITO", "RET_DEBITO"})
            QVERIFY2(isSqlite(path(QString(t) + ".DB")), t);
        QCOMPARE(subfolders(folder_).size(), 1);
        const QString sub = path(subfolders(folder_).first());
        QCOMPARE(pxtest::readFile(sub + "/ASSOCIADOS.DB"), oldMembers);

        QCOMPARE(rowsOf(path("PARAMETROS.DB"), "SELECT * FROM PARAMETROS"),
                 QStringList({"Associação dos Aposentados|123|7|40.0|1.0|2001-03-04|Rua São João, 12|"
                              "|Brasília|00.000.000/0001-91|70000-000|(61) 3333-4444|"}));
        QCOMPARE(rowsOf(path("GRUPO.DB"), "SELECT * FROM GRUPO ORDER BY GRP_ID"),
                 QStringList({"1|Aposentados|1.0|2001-03-04", "2|Pensionistas ç|1.0|2001-03-04",
                              "7|Extinto|1.0|2002-01-02"}));
        QCOMPARE(rowsOf(path("ASSOCIADOS.DB"), "SELECT * FROM ASSOCIADOS ORDER BY ASS_ID"),
                 QStringList({"1|Ana Conceição|1.0|1234-5|12345-6|777.0|2001-03-05|1.0|12.345-6",
                              "2|Bia Günther|2.0|0987-X|98-7||2001-03-06|1.0|987"}));
        QCOMPARE(rowsOf(path("RET_DEBITO.DB"), "SELECT * FROM RET_DEBITO ORDER BY DEB_ASS_ID"),
                 QStringList({"2026-06-10|2026-06-20|1.0|39.0|12.34|Saldo insuficiente|2026-06-05|1.0",
                              "2026-06-10||2.0|39.0|100.0|Aguardando Retorno|2026-06-05|1.0"}));
        // The refused rows with their values, the dropped column named.
        const QString report = QString::fromUtf8(pxtest::readFile(sub + "/CONVERSAO-ASSOCIADOS.txt"));
        QVERIFY2(report.contains("ASS_ATIVO"), qPrintable(report));
        QVERIFY2(report.contains("recusado (ASS_NOME: campo obrigatório vazio): ASS_ID=3;"), qPrintable(report));
        QVERIFY2(report.contains("ASS_NOME: texto de 55 caracteres, maior que a largura 50"), qPrintable(report));
        QVERIFY(report.contains("ASS_ID=9; ASS_NOME=" + QString(55, 'Z') + ";"));
        QVERIFY(!report.contains("Carla"));
        // Each conversion is in the operation log.
        int logged = 0;
        for (const historico::Linha& l : historico::ler(db::Session::instance().connectionForFolder(folder_)))
            logged += l.operacao == QString("Conversão");
        QCOMPARE(logged, 5);

        // New numbers continue after the old ones and the old counter.
        db::Table g;
        g.setTableName("GRUPO.DB");
        g.open();
        g.append();
        g.fieldByName("GRP_DESCRICAO").setValue("Novo");
        g.post();
        QCOMPARE(g.fieldByName("GRP_ID").asInteger(), 41);
        g.close();

        UsuarioAtual = 1;
        const QString out = path("ARQ_PREVI_000040.txt");
        const remessa::Outcome o = remessa::GerarArquivo(out, QDate(2026, 7, 10), QDate(2026, 7, 5));
        QCOMPARE(int(o.kind), int(remessa::Outcome::Kind::Done));
        QCOMPARE(pxtest::readFile(out),
                 QByteArray("0ARQ_PREVI_000040.txt05072026" + QByteArray(20, ' ') + "\r\n"
                            "107000000000123456072026012300000000012342026070+\r\n"
                            "107000000000000987072026012300000000100002026070+\r\n"
                            "90000000002000000000011234" + QByteArray(23, ' ') + "\r\n"));
        // A second check finds every table in order and changes nothing.
        QVERIFY(check().isEmpty());
        QCOMPARE(subfolders(folder_).size(), 1);
    }

    // The old files go into the subfolder untouched, companions included; an empty table, a
    // table without key and one lacking fields convert too; a 100,000-row DEBITO with deleted
    // slots arrives whole.
    void companionsEmptyAndLarge()
    {
        pxtest::Table empty = pxtest::grupo({});
        writeTable("GRUPO.DB", empty);
        pxtest::Table big = bigDebito(100000);
        big.deleted = {5, 50000, 99999};
        writeTable("DEBITO.DB", big);
        pxtest::Table unkeyed = pxtest::retDebito({});
        unkeyed.keyFields = 0;
        writeTable("RET_DEBITO.DB", unkeyed);
        const QStringList companions = {"GRUPO.PX", "GRUPO.X02", "grupo.y02", "GRUPO.VAL", "GRUPO.MB"};
        for (const QString& c : companions) pxtest::writeFile(path(c), c.toLatin1() + " bytes");
        pxtest::writeFile(path("GRUPOS.TXT"), "not a companion");
        // A table lacking fields of the definition: they come out empty.
        pxtest::Table few = pxtest::parametros({{cp("Associação"), 41.0}});
        few.columns = {{"EMP_NOME", 0x01, 60}, {"EMP_NR_REM_PREVI", 0x06, 8}};
        writeTable("PARAMETROS.DB", few);
        check();
        QCOMPARE(makedbx::lastOutcome().converted, 4);
        QCOMPARE(rowsOf(path("PARAMETROS.DB"), "SELECT * FROM PARAMETROS"),
                 QStringList{"Associação|||41.0|||||||||"});
        QVERIFY(!makedbx::lastOutcome().refused);
        const QString sub = path(subfolders(folder_).value(0));
        for (const QString& c : companions) {
            QVERIFY2(!QFile::exists(path(c)), qPrintable(c));
            QCOMPARE(pxtest::readFile(sub + "/" + c), c.toLatin1() + " bytes");
        }
        QVERIFY(QFile::exists(path("GRUPOS.TXT")));
        QCOMPARE(rowsOf(path("GRUPO.DB"), "SELECT count(*) FROM GRUPO"), QStringList{"0"});
        const QStringList rows = rowsOf(path("DEBITO.DB"),
                                        "SELECT DEB_DATA, DEB_ASS_ID, DEB_VALOR FROM DEBITO ORDER BY rowid");
        QCOMPARE(rows.size(), 100000 - 3);
        // Row by row, in the old table's order, the deleted ones missing.
        int at = 0;
        for (int i = 0; i < 100000; ++i) {
            if (i == 5 || i == 50000 || i == 99999) continue;
            const Row& r = big.rows[i];
            const QString want = r[0].toDate().toString("yyyy-MM-dd") + "|" + QString::number(r[1].toDouble(), 'f', 1)
                                 + "|" + QString::number(r[2].toDouble(), 'g', 15);
            if (rows[at] != want && !(rows[at] == want + ".0")) QCOMPARE(rows[at], want);
            ++at;
        }
        QVERIFY(QDir(folder_).entryList({".*DB.*"}, QDir::Files | QDir::Hidden).isEmpty());
    }

    // A hostile file: a clear message names it, it stays where it is byte for byte, the other
    // tables go on.
    void hostileFiles_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("said");
        QTest::newRow("cut short") << "cut" << "está incompleto";
        QTest::newRow("more records") << "records+" << "mais do que";
        QTest::newRow("fewer records") << "records-" << "mais registros que";
        QTest::newRow("record size") << "recordsize" << "não é a soma";
        QTest::newRow("block size") << "blocksize" << "está incompleto";
        QTest::newRow("no fields") << "fields0" << "declara 0 campos";
        QTest::newRow("many fields") << "fields200" << "inválido";
        QTest::newRow("field type") << "type" << "tipo ou tamanho inválido";
        QTest::newRow("block loop") << "loop" << "ciclo";
        QTest::newRow("block outside") << "outside" << "fora do arquivo";
        QTest::newRow("password") << "crypt" << "senha";
        QTest::newRow("index file") << "index" << "índice";
    }

    void hostileFiles()
    {
        QFETCH(QString, change);
        QFETCH(QString, said);
        writeTable("GRUPO.DB", pxtest::grupo({{1, cp("Aposentados"), 1.0, QDate(2001, 3, 4)}}));
        writeTable("DEBITO.DB", bigDebito(300));
        QByteArray b = pxtest::readFile(path("DEBITO.DB"));
        const int header = uchar(b[2]) | uchar(b[3]) << 8;
        if (change == "cut") b.truncate(header + 1000);
        else if (change == "records+") pxtest::put32(b, 6, 100000);
        else if (change == "records-") pxtest::put32(b, 6, 10);
        else if (change == "recordsize") pxtest::put16(b, 0, 40);
        else if (change == "blocksize") b[5] = 32;
        else if (change == "fields0") pxtest::put16(b, 0x21, 0);
        else if (change == "fields200") pxtest::put16(b, 0x21, 200);
        else if (change == "type") b[0x78] = char(0x7F);
        else if (change == "loop") pxtest::put16(b, header, 1);
        else if (change == "outside") pxtest::put16(b, header, 60000);
        else if (change == "crypt") pxtest::put32(b, 0x25, 0x12345678);
        else if (change == "index") b[4] = 1;
        pxtest::writeFile(path("DEBITO.DB"), b);
        pxtest::writeFile(path("DEBITO.PX"), "index");
        const QStringList messages = check();
        QCOMPARE(makedbx::lastOutcome().unreadable, 1);
        QCOMPARE(makedbx::lastOutcome().converted, 1);
        const QString text = messages.join("\n");
        QVERIFY2(text.contains("DEBITO.DB") && text.contains(said), qPrintable(text));
        QCOMPARE(pxtest::readFile(path("DEBITO.DB")), b);
        QVERIFY(QFile::exists(path("DEBITO.PX")));
        QVERIFY(isSqlite(path("GRUPO.DB")));
        QVERIFY(isSqlite(path("ASSOCIADOS.DB")));
        QVERIFY(QDir(folder_).entryList({".DEBITO*"}, QDir::Files | QDir::Hidden).isEmpty());
    }

    // What a stop leaves, met by the next check: a conversion past its point of no return is
    // finished into its own subfolder; one before it is started over.
    void resumes_data()
    {
        QTest::addColumn<bool>("committed");
        QTest::newRow("committed") << true;
        QTest::newRow("not committed") << false;
    }

    void resumes()
    {
        QFETCH(bool, committed);
        const QString stamp = "Paradox-20260101-000000";
        writeTable("GRUPO.DB", pxtest::grupo({{5, cp("Aposentados"), 1.0, QDate(2001, 3, 4)}}));
        const QByteArray old = pxtest::readFile(path("GRUPO.DB"));
        // The new file as the conversion wrote it, made in a folder of its own.
        QString other = dir_.filePath(QString("resume%1").arg(committed));
        QDir().mkpath(other);
        pxtest::writeFile(other + "/GRUPO.DB", old);
        std::swap(folder_, other);
        check();
        std::swap(folder_, other);
        const QString sub = other + "/" + subfolders(other).value(0);
        pxtest::writeFile(path("GRUPO.PX"), "index");
        pxtest::writeFile(path("GRUPO.X02"), "secondary");
        if (committed) {
            QVERIFY(QFile::copy(other + "/GRUPO.DB", path(".GRUPO.DB." + stamp)));
            QVERIFY(QFile::copy(sub + "/CONVERSAO-GRUPO.txt", path(".GRUPO.DB." + stamp + ".txt")));
            QDir().mkpath(path(stamp));
            QVERIFY(QFile::rename(path("GRUPO.X02"), path(stamp + "/GRUPO.X02")));  // moved already
        } else {
            pxtest::writeFile(path(".GRUPO.DB.conversao"), "half a table");
            pxtest::writeFile(path(".GRUPO.DB.conversao.txt"), "half a report");
            pxtest::writeFile(path(".GRUPO.DB." + stamp + ".txt"), "a report without its table");
        }
        const QStringList messages = check();
        QVERIFY2(messages.join("\n").contains("1 registro(s) convertido(s), 0 recusado(s)"),
                 qPrintable(messages.join("\n")));
        QCOMPARE(rowsOf(path("GRUPO.DB"), "SELECT GRP_ID, GRP_DESCRICAO FROM GRUPO"),
                 QStringList{"5|Aposentados"});
        const QStringList subs = subfolders(folder_);
        QCOMPARE(subs.size(), 1);
        QCOMPARE(subs[0] == stamp, committed);
        for (const char* f : {"GRUPO.DB", "GRUPO.PX", "GRUPO.X02", "CONVERSAO-GRUPO.txt"})
            QVERIFY2(QFile::exists(path(subs[0] + "/" + f)), f);
        QCOMPARE(pxtest::readFile(path(subs[0] + "/GRUPO.DB")), old);
        QVERIFY(QDir(folder_).entryList({".GRUPO*"}, QDir::Files | QDir::Hidden).isEmpty());
    }

    // Something else named .DB is no old table: it takes the path of an unreadable table file
    // (kept beside as it was, a new table in its place) while the old tables convert.
    void somethingElseNamedDB()
    {
        writeTable("GRUPO.DB", pxtest::grupo({{1, cp("Aposentados"), 1.0, QDate(2001, 3, 4)}}));
        const QByteArray pdf = "%PDF-1.4\n" + QByteArray(3000, '\0');
        pxtest::writeFile(path("DEBITO.DB"), pdf);
        check();
        QCOMPARE(makedbx::lastOutcome().converted, 1);
        QCOMPARE(makedbx::lastOutcome().replaced, 1);
        QCOMPARE(pxtest::readFile(path("DEBITO.DB.damaged")), pdf);
        QVERIFY(isSqlite(path("DEBITO.DB")));
    }

    // verificar says what was converted: 0 when every row was taken, 1 when some were refused,
    // 2 when a table could not be read.
    void verificarExitCodes_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("all taken") << 0 << 0;
        QTest::newRow("refused") << 1 << 1;
        QTest::newRow("unreadable") << 2 << 2;
    }

    void verificarExitCodes()
    {
        QFETCH(int, kind);
        QFETCH(int, exitCode);
        pxtest::Table g = pxtest::grupo({{1, cp("Aposentados"), 1.0, QDate(2001, 3, 4)},
                                         {2, kind == 1 ? QByteArray(60, 'x') : cp("B"), 1.0,
                                          QDate(2001, 3, 4)}});
        g.columns[1].size = 60;
        writeTable("GRUPO.DB", g);
        if (kind == 2) {
            QByteArray b = pxtest::readFile(path("GRUPO.DB"));
            b.truncate(b.size() - 10);
            pxtest::writeFile(path("GRUPO.DB"), b);
        }
        QString out, err;
        QCOMPARE(runCli({"--dados", folder_, "--criar-pasta", "verificar"}, &out, &err), exitCode);
        if (kind < 2) QVERIFY2(out.contains("GRUPO.DB estava no formato antigo"), qPrintable(out));
        else QVERIFY2(err.contains("GRUPO.DB") && err.contains("incompleto"), qPrintable(err));
    }

    // A kill at any instant of a conversion leaves each table either the old file in place or
    // the new one complete with the old one in the subfolder; the next check finishes.
    void killedAtAnyInstant()
    {
        QString source = dir_.filePath("kill-source");
        QDir().mkpath(source);
        std::swap(folder_, source);
        writeTable("DEBITO.DB", bigDebito(20000));
        writeTable("GRUPO.DB", pxtest::grupo({{1, cp("Aposentados"), 1.0, QDate(2001, 3, 4)}}));
        pxtest::writeFile(path("DEBITO.X02"), "secondary");
        std::swap(folder_, source);
        const QByteArray oldDebito = pxtest::readFile(source + "/DEBITO.DB");
        auto fresh = [&](const QString& f) {
            QDir(f).removeRecursively();
            QDir().mkpath(f);
            for (const QString& n : QDir(source).entryList(QDir::Files))
                QFile::copy(source + "/" + n, f + "/" + n);
        };
        // How long a whole run takes, to spread the kills over it.
        const QString f = dir_.filePath("kill");
        fresh(f);
        QElapsedTimer t;
        t.start();
        QCOMPARE(runCli({"--dados", f, "--criar-pasta", "verificar"}), 0);
        const int whole = int(t.elapsed());
        int before = 0, after = 0, pending = 0;
        // TOLMARE_KILL_ROUNDS runs a longer loop by hand.
        const int rounds = qEnvironmentVariableIntValue("TOLMARE_KILL_ROUNDS") ?: 20;
        for (int round = 0; round < rounds; ++round) {
            fresh(f);
            QProcess cli;
            cli.start(QCoreApplication::applicationDirPath() + "/tolmare-cli",
                      {"--dados", f, "--criar-pasta", "verificar"});
            QVERIFY(cli.waitForStarted());
            QTest::qSleep(int(QRandomGenerator::global()->bounded(whole + 1)));
            ::kill(pid_t(cli.processId()), SIGKILL);
            cli.waitForFinished();
            const QString db = f + "/DEBITO.DB";
            // Past the point of no return, the new file not yet in place: the next check finishes.
            pending += !QDir(f).entryList({".DEBITO.DB.Paradox-*"}, QDir::Files | QDir::Hidden).isEmpty();
            if (pxtest::readFile(db) == oldDebito) {
                ++before;
            } else {
                ++after;
                QVERIFY2(isSqlite(db), qPrintable(QString("round %1").arg(round)));
                QCOMPARE(rowsOf(db, "SELECT count(*) FROM DEBITO"), QStringList{"20000"});
                QCOMPARE(pxtest::readFile(f + "/" + subfolders(f).value(0) + "/DEBITO.DB"), oldDebito);
            }
            QCOMPARE(runCli({"--dados", f, "verificar"}), 0);
            QCOMPARE(rowsOf(db, "SELECT count(*) FROM DEBITO"), QStringList{"20000"});
            QStringList holding;
            for (const QString& s : subfolders(f))
                if (QFile::exists(f + "/" + s + "/DEBITO.DB")) holding << s;
            QCOMPARE(holding.size(), 1);
            QCOMPARE(pxtest::readFile(f + "/" + holding[0] + "/DEBITO.DB"), oldDebito);
            QCOMPARE(pxtest::readFile(f + "/" + holding[0] + "/DEBITO.X02"), QByteArray("secondary"));
            QVERIFY(QDir(f).entryList({".DEBITO*", ".GRUPO*"}, QDir::Files | QDir::Hidden).isEmpty());
        }
        qInfo("kills: %d left the old table (%d of them a conversion to finish), %d the new one "
              "(a run takes %d ms)", before, pending, after, whole);
    }

    // An archive of the old installation's files, restored into the data folder: the next
    // check converts what it brought back.
    void restoredOldArchive()
    {
        QString old = dir_.filePath("old-archive");
        QDir().mkpath(old);
        std::swap(folder_, old);
        writeTable("GRUPO.DB", pxtest::grupo({{5, cp("Aposentados"), 1.0, QDate(2001, 3, 4)}}));
        pxtest::writeFile(path("GRUPO.PX"), "index");
        std::swap(folder_, old);
        qputenv("TOLMARE_ARCHIVE_STATE", dir_.filePath("archive-state.txt").toUtf8());
        TBackupFile b;
        const QString arc = dir_.filePath("old.bck");
        QVERIFY(b.Backup({old + "/GRUPO.DB", old + "/GRUPO.PX"}, arc));
        QVERIFY(b.Restore(arc, folder_));
        QVERIFY(!isSqlite(path("GRUPO.DB")));
        check();
        QCOMPARE(makedbx::lastOutcome().converted, 1);
        QCOMPARE(rowsOf(path("GRUPO.DB"), "SELECT GRP_ID, GRP_DESCRICAO FROM GRUPO"),
                 QStringList{"5|Aposentados"});
        QCOMPARE(pxtest::readFile(path(subfolders(folder_).value(0) + "/GRUPO.PX")), QByteArray("index"));
    }

    // migrar copies an old installation's tables in (the old folder is never written) and
    // refuses a data folder that holds rows unless told to replace them.
    void migrar()
    {
        QString old = dir_.filePath("old-installation");
        QDir().mkpath(old);
        std::swap(folder_, old);
        writeInstallation();
        pxtest::writeFile(path("ASSOCIADOS.PX"), "index");
        std::swap(folder_, old);
        QMap<QString, QByteArray> before;
        for (const QString& n : QDir(old).entryList(QDir::Files)) before[n] = pxtest::readFile(old + "/" + n);
        QString out, err;
        QCOMPARE(runCli({"--dados", folder_, "--criar-pasta", "migrar", old}, &out, &err), 1);
        QVERIFY2(out.contains("ASSOCIADOS.DB estava no formato antigo"), qPrintable(out + err));
        QCOMPARE(rowsOf(path("GRUPO.DB"), "SELECT count(*) FROM GRUPO"), QStringList{"3"});
        // Again: the data folder now holds rows.
        QCOMPARE(runCli({"--dados", folder_, "migrar", old}, &out, &err), 2);
        QVERIFY2(err.contains("--substituir"), qPrintable(err));
        QCOMPARE(runCli({"--dados", folder_, "migrar", old, "--substituir"}, &out, &err), 1);
        QVERIFY2(out.contains("Anterior-"), qPrintable(out));
        const QStringList kept = QDir(folder_).entryList({"Anterior-*"}, QDir::Dirs);
        QCOMPARE(kept.size(), 1);
        QVERIFY(isSqlite(folder_ + "/" + kept[0] + "/GRUPO.DB"));
        QCOMPARE(rowsOf(path("GRUPO.DB"), "SELECT count(*) FROM GRUPO"), QStringList{"3"});
        QMap<QString, QByteArray> after;
        for (const QString& n : QDir(old).entryList(QDir::Files)) after[n] = pxtest::readFile(old + "/" + n);
        QCOMPARE(after, before);
        // A link where a file would be copied: refused before anything changes.
        pxtest::writeFile(dir_.filePath("outside.txt"), "outside");
        QVERIFY(QFile::link(dir_.filePath("outside.txt"), path("ASSOCIADOS.PX")));
        QCOMPARE(runCli({"--dados", folder_, "migrar", old, "--substituir"}, &out, &err), 2);
        QVERIFY2(err.contains("link simbólico"), qPrintable(err));
        QCOMPARE(pxtest::readFile(dir_.filePath("outside.txt")), QByteArray("outside"));
        QCOMPARE(QDir(folder_).entryList({"Anterior-*"}, QDir::Dirs).size(), 1);
        QCOMPARE(runCli({"--dados", folder_, "migrar", dir_.filePath("missing")}, &out, &err), 2);
        QVERIFY2(err.contains("missing"), qPrintable(err));
    }
};

QTEST_GUILESS_MAIN(TestParadox)
#include "tst_paradox.moc"

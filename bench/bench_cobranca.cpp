// The collection lists over 100,000 members with 24 months each (2.4 million RET_DEBITO
// rows): the arrears, one member's history and the 12-month panel, each against one plain SQL
// statement computing the same figures on the same files, in the same run. Target: each under
// 2 s, memory flat (the peak does not grow from one run to the next).
// Usage: bench_cobranca [MEMBERS] [MONTHS]
#include "bench/BenchSupport.h"
#include "collection/Extrato.h"
#include "collection/Inadimplentes.h"
#include "collection/Painel.h"
#include "collection/Situacao.h"
#include "core/engine/Database.h"
#include "tests/common/TestData.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>

namespace {

using bench::Timer;

const char* const kMotivos[] = {"SALDO INSUFICIENTE", "CONTA ENCERRADA", "CONTA BLOQUEADA",
                                "AGENCIA INVALIDA", "DEBITO NAO AUTORIZADO"};

// The outcome of member m's month k: mostly received, some returned, the last month partly
// awaiting. 0 received, 1 returned, 2 awaiting.
int outcome(int m, int k, int months)
{
    const unsigned h = unsigned(m) * 2654435761u ^ unsigned(k) * 40503u;
    if (k == months - 1 && h % 10 < 3) return 2;
    return h % 100 < 15 ? 1 : 0;
}

QString isoMonth(int k, int months)
{
    return QDate(2026, 7, 10).addMonths(k - months + 1).toString(Qt::ISODate);
}

void fillFolder(const QString& folder, int members, int months)
{
    bench::fill(folder, "GRUPO.DB", "INSERT INTO GRUPO (GRP_DESCRICAO) VALUES (?)", 10,
                [](sqlite3_stmt* st, int i) {
                    const QByteArray d = "Grupo " + QByteArray::number(i + 1);
                    sqlite3_bind_text(st, 1, d.constData(), -1, SQLITE_TRANSIENT);
                });
    bench::fill(folder, "ASSOCIADOS.DB",
                "INSERT INTO ASSOCIADOS (ASS_NOME, ASS_GRP_ID, ASS_MATRICULA) VALUES (?, ?, ?)",
                members, [](sqlite3_stmt* st, int i) {
                    const QByteArray n = "Associado " + QByteArray::number(i * 7919 % 1000003);
                    const QByteArray m = QByteArray::number(100000 + i);
                    sqlite3_bind_text(st, 1, n.constData(), -1, SQLITE_TRANSIENT);
                    sqlite3_bind_double(st, 2, 1 + i % 10);
                    sqlite3_bind_text(st, 3, m.constData(), -1, SQLITE_TRANSIENT);
                });
    QVector<QByteArray> dates;
    for (int k = 0; k < months; ++k) dates << isoMonth(k, months).toLatin1();
    bench::fill(folder, "RET_DEBITO.DB",
                "INSERT INTO RET_DEBITO (DEB_DATA, DEB_DATA_RETORNO, DEB_ASS_ID, DEB_REMESSA, "
                "DEB_VALOR, DEB_OCORRENCIA, DEB_DTA_CAD, DEB_USR_ID) "
                "VALUES (?, ?, ?, ?, ?, ?, ?, 1)",
                members * months, [&](sqlite3_stmt* st, int i) {
                    const int k = i / members, m = i % members;
                    const int o = outcome(m, k, months);
                    const QByteArray& d = dates[k];
                    sqlite3_bind_text(st, 1, d.constData(), -1, SQLITE_STATIC);
                    if (o == 2) sqlite3_bind_null(st, 2);
                    else sqlite3_bind_text(st, 2, (d.left(8) + "28").constData(), -1,
                                           SQLITE_TRANSIENT);
                    sqlite3_bind_double(st, 3, m + 1);
                    sqlite3_bind_double(st, 4, 100 + k);
                    sqlite3_bind_double(st, 5, 30 + m % 50);
                    const char* oc = o == 2 ? "Aguardando Retorno" : o == 0 ? "" : kMotivos[m % 5];
                    sqlite3_bind_text(st, 6, oc, -1, SQLITE_STATIC);
                    sqlite3_bind_text(st, 7, d.constData(), -1, SQLITE_STATIC);
                });
}

// Plain SQLite on the same files: one statement, stepped to its end; returns a checksum.
double plain(const QString& folder, const char* sql, const QVariantList& params = {})
{
    sqlite3* h = nullptr;
    sqlite3_open(QDir(folder).filePath("RET_DEBITO.DB").toUtf8().constData(), &h);
    store::registerCollation(h);
    for (const char* t : {"ASSOCIADOS", "GRUPO"})
        sqlite3_exec(h, QString("ATTACH '%1' AS %2")
                            .arg(QDir(folder).filePath(QString(t) + ".DB"), t)
                            .toUtf8().constData(),
                     nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(h, sql, -1, &st, nullptr) != SQLITE_OK)
        std::printf("reference statement: %s\n", sqlite3_errmsg(h));
    for (int i = 0; i < params.size(); ++i) sqlite3_bind_double(st, i + 1, params[i].toDouble());
    double sum = 0;
    while (sqlite3_step(st) == SQLITE_ROW)
        for (int c = 0; c < sqlite3_column_count(st); ++c) sum += sqlite3_column_double(st, c);
    sqlite3_finalize(st);
    sqlite3_close(h);
    return sum;
}

// The arrears: per member, the returned months after the last received one.
const char* const kInadimplentesSql =
    "WITH ult AS (SELECT DEB_ASS_ID a, max(substr(DEB_DATA, 1, 7)) m FROM RET_DEBITO "
    " WHERE DEB_DATA_RETORNO IS NOT NULL AND trim(coalesce(DEB_OCORRENCIA, '')) = '' "
    " GROUP BY DEB_ASS_ID), "
    "dev AS (SELECT r.DEB_ASS_ID a, count(DISTINCT substr(r.DEB_DATA, 1, 7)) meses, "
    " sum(r.DEB_VALOR) valor FROM RET_DEBITO r LEFT JOIN ult ON ult.a = r.DEB_ASS_ID "
    " WHERE r.DEB_DATA_RETORNO IS NOT NULL AND trim(coalesce(r.DEB_OCORRENCIA, '')) <> '' "
    " AND substr(r.DEB_DATA, 1, 7) > coalesce(ult.m, '') GROUP BY r.DEB_ASS_ID) "
    "SELECT dev.meses, dev.valor, A.ASS_ID FROM dev LEFT JOIN ASSOCIADOS.ASSOCIADOS A "
    " ON A.ASS_ID = dev.a ORDER BY dev.valor DESC";

const char* const kExtratoSql =
    "SELECT DEB_DATA, DEB_REMESSA, DEB_VALOR, DEB_DATA_RETORNO FROM RET_DEBITO "
    "WHERE DEB_ASS_ID = ? ORDER BY DEB_DATA DESC";

const char* const kPainelSql =
    "SELECT substr(DEB_DATA, 1, 7), sum(DEB_REMESSA <> 0), "
    " sum(CASE WHEN DEB_REMESSA <> 0 THEN DEB_VALOR END), "
    " sum(DEB_DATA_RETORNO IS NOT NULL AND trim(coalesce(DEB_OCORRENCIA, '')) = ''), "
    " sum(CASE WHEN DEB_DATA_RETORNO IS NOT NULL AND trim(coalesce(DEB_OCORRENCIA, '')) = '' "
    "  THEN DEB_VALOR END), "
    " sum(DEB_DATA_RETORNO IS NOT NULL AND trim(coalesce(DEB_OCORRENCIA, '')) <> ''), "
    " sum(DEB_DATA_RETORNO IS NULL) FROM RET_DEBITO "
    "WHERE DEB_DATA >= '2025-08-01' AND DEB_DATA < '2026-08-01' GROUP BY 1";

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int members = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int months = argc > 2 ? std::atoi(argv[2]) : 24;
    QTemporaryDir dir;
    const QString folder = dir.filePath("dados");
    QDir().mkpath(folder);
    testdata::makeDataFolder(folder);
    std::printf("Processor: %s\n", qPrintable(bench::processorModel()));
    std::printf("Filling %d members x %d months (%d RET_DEBITO rows)...\n", members, months,
                members * months);
    fillFolder(folder, members, months);
    db::Session::instance().reset();

    struct Caso {
        const char* nome;
        std::function<qint64()> lista;
        std::function<double()> referencia;
    };
    const double who = members / 2 + 1;
    const QVector<Caso> casos{
        {"(walk alone)", [] {
             qint64 n = 0;
             db::Connection& c = cobranca::conexao();
             cobranca::Leitura l(c);
             cobranca::percorrerRetornos(c, {}, [&](const cobranca::LinhaRetorno&) { ++n; });
             return n;
         },
         [&] { return plain(folder, "SELECT DEB_ASS_ID, DEB_DATA, DEB_DATA_RETORNO, DEB_VALOR, "
                                    "DEB_OCORRENCIA FROM RET_DEBITO"); }},
        {"inadimplentes",
         [] {
             return qint64(cobranca::inadimplentes(1, std::nullopt,
                                                   cobranca::OrdemInadimplentes::Valor)
                               .linhas.size());
         },
         [&] { return plain(folder, kInadimplentesSql); }},
        {"extrato", [&] { return qint64(cobranca::extrato(who).meses.size()); },
         [&] { return plain(folder, kExtratoSql, {who}); }},
        {"painel (12 meses)",
         [] { return qint64(cobranca::painel(12, QDate(2026, 7, 31)).size()); },
         [&] { return plain(folder, kPainelSql); }},
    };
    std::printf("CPU times (wall beside them); target: each list under 2000 ms.\n");
    bool ok = true;
    for (const Caso& c : casos) {
        Timer t;
        t.restart();
        plain(folder, "SELECT count(*) FROM RET_DEBITO");  // the files in the page cache
        t.stop();
        t.restart();
        c.referencia();
        const double ref = t.stop();
        long peaks[2] = {};
        double ms = 0;
        qint64 rows = 0;
        for (int run = 0; run < 2; ++run) {
            bench::resetPeak();
            t.restart();
            rows = c.lista();
            ms = t.stop();
            peaks[run] = bench::peakKb();
        }
        std::printf("%-18s %8.0f ms (%lld rows)  plain SQL %8.0f ms  ratio %.2f  peak %ld kB, "
                    "then %ld kB\n",
                    c.nome, ms, static_cast<long long>(rows), ref, ms / std::max(ref, 1.0),
                    peaks[0], peaks[1]);
        ok = ok && ms < 2000;
    }
    std::printf("%s\n", ok ? "Every list under 2 s." : "A list took 2 s or more.");
    return ok ? 0 : 1;
}

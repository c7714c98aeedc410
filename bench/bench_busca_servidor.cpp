// A keystroke in the member search on the server store: the nearest member by name to the text
// typed so far and the grid's 20 rows from it, as the engine's key order asks the server (its
// nearest-key bound in the server's dialect, a statement prepared once), against the same query
// written by hand in plain libpq. 100,000 members ("bench_busca_servidor N" for another count),
// 50 names typed letter by letter. Runs only on a server without the schema tolmare (as under
// pg_virtualenv -t), which it makes and drops; the address as the tests take it.
#include "bench/BenchSupport.h"
#include "bench/ServidorDescartavel.h"
#include "bench/Transcricao.h"
#include "core/TableDefs.h"
#include "core/engine/KeyOrder.h"
#include "core/pgstore/PgConnection.h"
#include "core/pgstore/ServerSchema.h"
#include "core/store/MainTables.h"

#include <QCoreApplication>
#include <QRandomGenerator>

#include <libpq-fe.h>

#include <algorithm>
#include <cstdio>

namespace {

const char* const kFirst[] = {"MARIA",     "JOSÉ",     "ANA",   "JOÃO",  "ANTÔNIO",
                              "FRANCISCA", "CARLOS",   "PAULO", "LÚCIA", "PEDRO",
                              "SEBASTIÃO", "RAIMUNDA", "LUÍS",  "ÉDSON"};
const char* const kLast[] = {"SILVA",      "SANTOS",    "OLIVEIRA", "SOUZA",     "LIMA",
                             "PEREIRA",    "FERREIRA",  "COSTA",    "RODRIGUES", "ALMEIDA",
                             "NASCIMENTO", "CONCEIÇÃO", "ARAÚJO"};

QString name(int i)
{
    return QString("%1 %2 %3 %4")
        .arg(QString::fromUtf8(kFirst[i % std::size(kFirst)]),
             QString::fromUtf8(kLast[(i / 7) % std::size(kLast)]),
             QString::fromUtf8(kLast[(i / 91) % std::size(kLast)]))
        .arg(i);
}

struct Keystrokes {
    double totalMs = 0, worstMs = 0;
    int count = 0, rows = 0;
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? std::max(100, atoi(argv[1])) : 100000;
    const std::string uri = bench::serverUri();
    const std::unique_ptr<pg::Connection> server = bench::throwAwayServer();
    if (!server) return 2;
    pg::Connection& c = *server;
    const store::TableSpec& spec = *tables::find("ASSOCIADOS.DB");
    c.exec(
        "INSERT INTO tolmare.\"ASSOCIADOS\" (\"ASS_NOME\", \"ASS_CONTA_CORRENTE\") "
        "SELECT t, g::text FROM unnest($1::text[]) WITH ORDINALITY u(t, g)",
        {[&] {
            QStringList names;
            for (int i = 0; i < n; ++i) names << "\"" + name(i) + "\"";
            return "{" + names.join(',').toStdString() + "}";
        }()});
    c.exec("ANALYZE tolmare.\"ASSOCIADOS\"");

    // The texts typed: 50 members' names, lower case and without accents as an operator types.
    QStringList typed;
    for (int k = 0; k < 50; ++k) {
        const QString whole = name(int(QRandomGenerator::global()->bounded(n)));
        for (int len = 1; len <= std::min<int>(12, int(whole.size())); ++len)
            typed << QString::fromStdString(store::intlSortKey(whole.left(len).toStdString()));
    }
    const db::KeyOrder order = db::KeyOrder::of(spec, &spec.indexes[4], db::Dialect::Server);
    const std::string select =
        "SELECT \"ASS_ID\", \"ASS_NOME\", \"ASS_CONTA_CORRENTE\" FROM "
        "tolmare.\"ASSOCIADOS\" WHERE ";
    auto engine = [&](const QString& text, Keystrokes& k) {
        bench::Clock clock;
        const db::Sql where = order.bound({db::lowestOfItsLetters(text)}, true);
        pg::Params params;
        for (const QVariant& v : where.params) params.push_back(v.toString().toStdString());
        const pg::Result r = c.execPrepared("busca",
                                            select + where.numbered().toStdString()
                                                + order.orderBy(true).toStdString() + " LIMIT 20",
                                            params);
        k.rows += r.rows();
        const double ms = clock.wallMs();
        k.totalMs += ms;
        k.worstMs = std::max(k.worstMs, ms);
        ++k.count;
    };
    // The reference: the same statement, by hand, on a connection of its own.
    PGconn* plain = PQconnectdb(uri.c_str());
    PGresult* prep =
        PQprepare(plain, "ref",
                  (select
                   + "(\"intl_ASS_NOME\", \"ASS_NOME\") >= ($1, $2) ORDER BY \"intl_ASS_NOME\" "
                     "NULLS FIRST, \"ASS_NOME\" NULLS FIRST, \"ASS_ID\" NULLS FIRST LIMIT 20")
                      .c_str(),
                  2, nullptr);
    PQclear(prep);
    auto reference = [&](const QString& text, Keystrokes& k) {
        bench::Clock clock;
        const QByteArray t = db::lowestOfItsLetters(text).toUtf8();
        const std::string key = store::intlSortKey(t.toStdString());
        const char* values[] = {key.c_str(), t.constData()};
        PGresult* r = PQexecPrepared(plain, "ref", 2, values, nullptr, nullptr, 0);
        k.rows += PQntuples(r);
        PQclear(r);
        const double ms = clock.wallMs();
        k.totalMs += ms;
        k.worstMs = std::max(k.worstMs, ms);
        ++k.count;
    };
    Keystrokes mine, ref;
    for (int round = 0; round < 3; ++round)  // alternated, so that both meet the same cache
        for (const QString& t : typed) {
            engine(t, mine);
            reference(t, ref);
        }
    PQfinish(plain);
    c.exec("DROP SCHEMA tolmare CASCADE");
    std::printf(
        "member search on the server, %d members: %d keystrokes, %.3f ms each on "
        "average (worst %.2f ms; target below 20 ms); the same query in plain libpq: "
        "%.3f ms (worst %.2f ms); ratio %.2f; %s; on %s\n",
        n, mine.count, mine.totalMs / mine.count, mine.worstMs, ref.totalMs / ref.count,
        ref.worstMs, (mine.totalMs / mine.count) / (ref.totalMs / ref.count),
        mine.rows == ref.rows ? "as many rows" : "ROW COUNTS DIFFER",
        qPrintable(bench::processorModel()));
    return mine.rows == ref.rows ? 0 : 1;
}

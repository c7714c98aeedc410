// The return report over 100,000 RET_DEBITO rows of one month (20,000 members): the month's
// range and the layout pass of TQRelRetorno, against plain SQLite reading the same rows with
// the member's name, agency and account and turning them into texts, in the same run.
// Target: the layout under 5 s. Usage: bench_relretorno [ROWS]
#include "bench/BenchSupport.h"
#include "components/report/ReportLayout.h"
#include "core/UVariaveis.h"
#include "core/dm/UDMRet_Debito.h"
#include "core/engine/Table.h"
#include "core/store/StoreSchema.h"
#include "remittance/FiltroRetorno.h"
#include "remittance/RelRetorno.h"
#include "tests/common/TestData.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <sqlite3.h>
#include <ctime>

#include <cstdio>
#include <functional>

namespace {

using bench::fill;
using bench::Timer;

// The month's rows in key order with their member's fields, every value made the text the
// report prints.
qint64 plainRead(const QString& folder)
{
    sqlite3* h = nullptr;
    sqlite3_open(QDir(folder).filePath("RET_DEBITO.DB").toUtf8().constData(), &h);
    store::registerCollation(h);
    sqlite3_exec(h, QString("ATTACH '%1' AS ASSOCIADOS").arg(QDir(folder).filePath("ASSOCIADOS.DB"))
                        .toUtf8().constData(), nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(h,
                       "SELECT A.ASS_NOME, R.DEB_DATA, R.DEB_VALOR, R.DEB_OCORRENCIA, "
                       "A.ASS_AGENCIA, A.ASS_CONTA_CORRENTE, R.DEB_DATA_RETORNO FROM RET_DEBITO R "
                       "LEFT JOIN ASSOCIADOS.ASSOCIADOS A ON A.ASS_ID = R.DEB_ASS_ID "
                       "WHERE R.DEB_DATA BETWEEN '2026-07-01' AND '2026-07-31' "
                       "ORDER BY R.DEB_DATA, R.DEB_DATA_RETORNO, R.DEB_ASS_ID, R.DEB_REMESSA, "
                       "R.DEB_VALOR",
                       -1, &st, nullptr);
    auto text = [st](int c) {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)));
    };
    qint64 chars = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        chars += text(0).size() + text(3).size() + text(4).size() + text(5).size();
        chars += QDate::fromString(text(1), Qt::ISODate).toString("dd/MM/yyyy").size();
        chars += QString::number(sqlite3_column_double(st, 2), 'f', 2).size();
        chars += text(6).size();
    }
    sqlite3_finalize(st);
    sqlite3_close(h);
    return chars;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    UsuarioAtual = 1;
    const int n = argc > 1 ? std::max(1000, atoi(argv[1])) : 100000;
    const int members = 20000;
    QTemporaryDir dir;
    const QString folder = dir.filePath("dados");
    testdata::makeDataFolder(folder);
    fill(folder, "ASSOCIADOS.DB",
         "INSERT INTO ASSOCIADOS (ASS_NOME, ASS_AGENCIA, ASS_CONTA_CORRENTE) "
         "VALUES (?, '1234-5', ?)", members, [](sqlite3_stmt* st, int i) {
             sqlite3_bind_text(st, 1, QString("ASSOCIADO %1 DA SILVA").arg(i).toUtf8().constData(),
                               -1, SQLITE_TRANSIENT);
             sqlite3_bind_text(st, 2, QByteArray::number(900000 + i).constData(), -1,
                               SQLITE_TRANSIENT);
         });
    // Every third row came back with a reason, every third with a blank one, the rest wait;
    // a tenth of the rows lie in June and August, outside the month.
    fill(folder, "RET_DEBITO.DB",
         "INSERT INTO RET_DEBITO (DEB_DATA, DEB_DATA_RETORNO, DEB_ASS_ID, DEB_REMESSA, DEB_VALOR, "
         "DEB_OCORRENCIA, DEB_DTA_CAD, DEB_USR_ID) VALUES (?, ?, ?, ?, ?, ?, '2026-07-01', 1)",
         n + n / 10, [&](sqlite3_stmt* st, int i) {
             const QDate d = i < n ? QDate(2026, 7, 1 + i % 31)
                                   : QDate(2026, i % 2 ? 6 : 8, 1 + i % 30);
             sqlite3_bind_text(st, 1, d.toString(Qt::ISODate).toUtf8().constData(), -1,
                               SQLITE_TRANSIENT);
             if (i % 3 == 2) sqlite3_bind_null(st, 2);
             else sqlite3_bind_text(st, 2, "2026-08-10", -1, SQLITE_STATIC);
             sqlite3_bind_double(st, 3, i % members + 1);
             sqlite3_bind_double(st, 4, 1 + i / members);
             sqlite3_bind_double(st, 5, 10 + i % 90);
             const char* motivo = i % 3 == 0   ? "SEM SALDO"
                                  : i % 3 == 2 ? "Aguardando Retorno"
                                               : nullptr;
             if (motivo) sqlite3_bind_text(st, 6, motivo, -1, SQLITE_STATIC);
             else sqlite3_bind_null(st, 6);
         });

    TDMRet_Debito dm;
    dm.TAssociados->open();
    dm.TRet_Debito->open();
    retorno::Motivo motivo = retorno::Motivo::Todos;
    TQRelRetorno rel(*dm.TRet_Debito, [&motivo] { return motivo; });
    Timer t;
    for (retorno::Motivo m : {retorno::Motivo::Todos, retorno::Motivo::Com}) {
        motivo = m;
        t.restart();
        retorno::definirMes(*dm.TRet_Debito, "07/2026", QDate(2026, 8, 3));
        const report::LayoutResult laid = report::layoutReport(
            rel.definition(), rel.source(), [](const report::Page&) { return true; });
        const double layout = t.stop();
        t.restart();
        const qint64 chars = plainRead(folder);
        const double plain = t.stop();
        std::printf("CPU times. return report (%s) over %d rows of the month: %d printed, %d "
                    "pages, %.0f ms (target < 5000); plain SQLite reading the same rows as texts "
                    "(%lld chars): %.0f ms; ratio %.2f\n",
                    m == retorno::Motivo::Todos ? "Todos" : "Com Motivo", n, laid.details,
                    laid.pages, layout, chars, plain, layout / plain);
        dm.TRet_Debito->cancelRange();
    }
    return 0;
}

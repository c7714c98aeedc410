// The debits with 100,000 rows, each against the least its work requires, in the same run:
// - the list rebuild against the plain SQLite query reading the same rows;
// - the bulk entry for a group of 20,000 members against plain SQLite inserting the same rows
//   in one transaction;
// - the report's layout pass against reading the rows' display texts alone;
// - the report's PDF against QPainter drawing the same texts, line by line, into a PDF;
// and the resident memory the PDF run adds at a tenth of the rows and at all of them.
// Usage: bench_debitos [DEBITS]
#include "bench/BenchSupport.h"
#include "components/report/DatasetSource.h"
#include "components/report/ReportLayout.h"
#include "core/UVariaveis.h"
#include "core/dm/UDMDebito.h"
#include "core/engine/Query.h"
#include "core/store/StoreSchema.h"
#include "debits/GeracaoDebitos.h"
#include "debits/ListaDebitos.h"
#include "debits/RelDebito.h"
#include "tests/common/TestData.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <sqlite3.h>
#include <ctime>

#include <cstdio>
#include <functional>

namespace {

const int kBulkMembers = 20000;

using bench::fill;
using bench::Timer;

double ms(Timer& t) { return t.stop(); }

// Reads every row of the list statement with plain SQLite, as text and numbers.
qint64 plainList(const QString& folder, const QString& sql)
{
    sqlite3* h = nullptr;
    sqlite3_open(QDir(folder).filePath("DEBITO.DB").toUtf8().constData(), &h);
    store::registerCollation(h);
    for (const char* t : {"GRUPO", "ASSOCIADOS"})
        sqlite3_exec(h, QString("ATTACH '%1' AS %2").arg(QDir(folder).filePath(QString(t) + ".DB"), t)
                            .toUtf8().constData(), nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(h, sql.toUtf8().constData(), -1, &st, nullptr);
    // Every value taken as the list keeps it: texts as QString, numbers as double.
    qint64 n = 0;
    QVector<QVariant> row;
    while (sqlite3_step(st) == SQLITE_ROW) {
        ++n;
        row.resize(sqlite3_column_count(st));
        for (int c = 0; c < row.size(); ++c) {
            if (sqlite3_column_type(st, c) == SQLITE_TEXT)
                row[c] = QString::fromUtf8(
                    reinterpret_cast<const char*>(sqlite3_column_text(st, c)));
            else row[c] = sqlite3_column_double(st, c);
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(h);
    return n;
}

using bench::peakKb;
using bench::resetPeak;
using bench::rssKb;

const char* const kFields[] = {"GRP_DESCRICAO", "ASS_NOME", "DEB_DATA", "DEB_VALOR",
                               "ASS_IDENTIFICADOR", "ASS_AGENCIA", "ASS_MATRICULA"};
const double kLeft[] = {0.8, 34.9, 93.7, 112.2, 130.4, 145.0, 159.5};

// The reference for the PDF: the same texts drawn line by line at fixed places, no bands.
int plainPdf(db::Query& q, const QString& path)
{
    QPdfWriter w(path);
    w.setResolution(1200);
    w.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
    QPainter p(&w);
    const double k = 1200 / 25.4;
    p.setFont(report::TextMeasure::qfont({"Liberation Sans", 8, false}));
    report::DatasetSource src(q);
    src.rewind();
    int line = 0, pages = 1;
    while (src.fetch()) {
        if (line == 53) {
            w.newPage();
            ++pages;
            line = 0;
        }
        const double y = (12.7 + 5 + 5 * line + 3.5) * k;
        for (int i = 0; i < 7; ++i)
            p.drawText(QPointF((12.7 + kLeft[i]) * k, y), src.display(kFields[i]));
        ++line;
    }
    return pages;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    UsuarioAtual = 1;
    const int n = argc > 1 ? std::max(1000, atoi(argv[1])) : 100000;
    const int members = 50000;
    QTemporaryDir dir;
    const QString folder = dir.filePath("dados");
    testdata::makeDataFolder(folder);
    fill(folder, "GRUPO.DB", "INSERT INTO GRUPO (GRP_DESCRICAO) VALUES (?)", 60,
         [](sqlite3_stmt* st, int i) {
             sqlite3_bind_text(st, 1, QString("GRUPO %1").arg(i).toUtf8().constData(), -1,
                               SQLITE_TRANSIENT);
         });
    // Group 1 holds the first 20,000 members; the others share the rest.
    fill(folder, "ASSOCIADOS.DB",
         "INSERT INTO ASSOCIADOS (ASS_NOME, ASS_GRP_ID, ASS_AGENCIA, ASS_CONTA_CORRENTE, "
         "ASS_IDENTIFICADOR, ASS_MATRICULA) VALUES (?, ?, '1234-5', ?, ?, ?)", members,
         [](sqlite3_stmt* st, int i) {
             sqlite3_bind_text(st, 1, QString("ASSOCIADO %1 DA SILVA").arg((i * 7919) % 50000)
                                          .toUtf8().constData(), -1, SQLITE_TRANSIENT);
             sqlite3_bind_double(st, 2, i < kBulkMembers ? 1 : 2 + i % 59);
             sqlite3_bind_text(st, 3, QByteArray::number(900000 + i).constData(), -1,
                               SQLITE_TRANSIENT);
             sqlite3_bind_double(st, 4, 10000 + i);
             sqlite3_bind_text(st, 5, QByteArray::number(500000 + i).constData(), -1,
                               SQLITE_TRANSIENT);
         });
    fill(folder, "DEBITO.DB",
         "INSERT INTO DEBITO (DEB_DATA, DEB_ASS_ID, DEB_VALOR, DEB_DTA_CAD, DEB_USR_ID) "
         "VALUES (?, ?, ?, '2026-07-01', 1)", n, [&](sqlite3_stmt* st, int i) {
             const QDate d = QDate(2026, 1, 1).addDays(i / members);
             sqlite3_bind_text(st, 1, d.toString("yyyy-MM-dd").toUtf8().constData(), -1,
                               SQLITE_TRANSIENT);
             sqlite3_bind_double(st, 2, i % members + 1);
             sqlite3_bind_double(st, 3, 10 + i % 90);
         });

    TDMDebito dm;
    dm.TGrupos->open();
    dm.TAssociados->open();
    dm.TDebito->open();
    db::Query& q = *dm.QDebito;

    // The list rebuild, in name order, standing on a debit in the middle.
    debitos::rebuildList(q, debitos::Ordem::Alfabetica, std::nullopt);
    q.setRecNo(q.recordCount() / 2);
    Timer t;
    t.restart();
    debitos::rebuildList(q, debitos::Ordem::Matricula, std::nullopt);
    const double rebuild = ms(t);
    t.restart();
    const qint64 plainRows = plainList(folder, q.sql().join("\n"));
    const double plain = ms(t);
    std::printf("CPU times. list rebuild of %d debits: %.0f ms; plain SQLite query of %lld rows: %.0f ms; "
                "ratio %.2f\n", q.recordCount(), rebuild, plainRows, plain, rebuild / plain);

    // The report: layout alone, then the PDF, each against its reference.
    TQRelDebito rel(q);
    t.restart();
    const report::LayoutResult laid =
        report::layoutReport(rel.definition(), rel.source(), [](const report::Page&) { return true; });
    const double layout = ms(t);
    t.restart();
    report::DatasetSource src(q);
    qint64 chars = 0;
    for (src.rewind(); src.fetch();)
        for (const char* f : kFields) chars += src.display(f).size();
    const double texts = ms(t);
    std::printf("report layout of %d rows, %d pages: %.0f ms; reading the display texts "
                "alone: %.0f ms; ratio %.2f\n", laid.details, laid.pages, layout, texts,
                layout / texts);

    auto pdfRun = [&](const QString& name, double* elapsed, long* added) {
        const long before = rssKb();
        resetPeak();
        t.restart();
        const report::PdfResult r = rel.gravarPdf(dir.filePath(name));
        *elapsed = ms(t);
        *added = peakKb() - before;
        return r;
    };
    double pdfMs = 0;
    long pdfKb = 0;
    const report::PdfResult pdf = pdfRun("debitos.pdf", &pdfMs, &pdfKb);
    t.restart();
    const int plainPages = plainPdf(q, dir.filePath("plain.pdf"));
    const double plainPdfMs = ms(t);
    std::printf("report PDF, %d pages, %lld KB: %.0f ms; QPainter drawing the same texts "
                "without bands, %d pages: %.0f ms; ratio %.2f\n", pdf.layout.pages,
                QFileInfo(dir.filePath("debitos.pdf")).size() / 1024, pdfMs, plainPages,
                plainPdfMs, pdfMs / plainPdfMs);
    std::printf("peak resident memory added by the PDF run over %d rows: %ld KB\n",
                pdf.layout.details, pdfKb);

    // Bulk entry for the group of 20,000 members.
    t.restart();
    const debitos::Geracao g = debitos::gerarDebitosGrupo(dm, 1, "25,00", QDate(2026, 8, 1));
    const double bulk = ms(t);
    t.restart();
    fill(folder, "DEBITO.DB",
         "INSERT INTO DEBITO (DEB_DATA, DEB_ASS_ID, DEB_VALOR, DEB_DTA_CAD, DEB_USR_ID) "
         "VALUES ('2026-08-02', ?, 25, '2026-07-01', 1)", kBulkMembers,
         [](sqlite3_stmt* st, int i) { sqlite3_bind_double(st, 1, i + 1); });
    const double plainBulk = ms(t);
    std::printf("bulk entry for a group of %d members (%d written): %.0f ms; plain SQLite "
                "inserts in one transaction: %.0f ms; ratio %.1f\n", kBulkMembers, g.gravados,
                bulk, plainBulk, bulk / plainBulk);
    return 0;
}

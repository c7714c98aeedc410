// The banded report's layout pass and the debit report TQRelDebito: texts, boxes, page breaks,
// the counter and total, PDF files read back with pdftotext, and tolmare-cli's "relatorio".
#include "components/report/ReportLayout.h"
#include "core/UVariaveis.h"
#include "core/dm/UDMDebito.h"
#include "core/engine/Query.h"
#include "debits/ListaDebitos.h"
#include "debits/RelDebito.h"
#include "tests/common/TestData.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

namespace {

const QDate kHoje(2026, 7, 5);

// A page as the tests look at it: its texts in print order, and its lines.
struct SeenPage {
    int number = 0;
    QStringList texts;
    QVector<report::TextBox> boxes;
    QVector<report::LineBox> lines;
};

QVector<SeenPage> layOut(report::Report& r, report::Source& s, report::LayoutResult* res = nullptr)
{
    QVector<SeenPage> pages;
    const report::LayoutResult out = report::layoutReport(r, s, [&](const report::Page& p) {
        SeenPage seen{p.number, {}, p.texts, p.lines};
        for (const report::TextBox& t : p.texts) seen.texts << t.text;
        pages << seen;
        return true;
    });
    if (res) *res = out;
    return pages;
}

// Rows 1..n, each with one text.
class CountingSource : public report::Source {
public:
    explicit CountingSource(int n) : n_(n) {}
    void rewind() override { i_ = 0; }
    bool fetch() override { return ++i_ <= n_; }
    QString text() const { return QString("linha %1").arg(i_); }

private:
    int n_;
    int i_ = 0;
};

void grupo(const QString& d) { testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", d}}); }

void membro(const QString& nome, double grupo, const QVariant& identificador = {})
{
    testdata::addRow("ASSOCIADOS.DB", {{"ASS_NOME", nome}, {"ASS_GRP_ID", grupo},
                                       {"ASS_AGENCIA", "1234-5"}, {"ASS_MATRICULA", "77"},
                                       {"ASS_IDENTIFICADOR", identificador}});
}

void debito(double membro, double valor)
{
    testdata::addRow("DEBITO.DB", {{"DEB_DATA", kHoje}, {"DEB_ASS_ID", membro},
                                   {"DEB_VALOR", valor}, {"DEB_DTA_CAD", kHoje},
                                   {"DEB_USR_ID", 1}});
}

QString pdfText(const QString& path)
{
    QProcess p;
    p.start("pdftotext", {"-layout", path, "-"});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return "<pdftotext failed>";
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The detail lines of a pdftotext page text: those holding a date.
QStringList detailLines(const QString& text)
{
    QStringList out;
    for (const QString& l : text.split('\n'))
        if (l.contains(kHoje.toString("dd/MM/yyyy"))) out << l.simplified();
    return out;
}

QString cliPath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath("tolmare-cli");
}

}  // namespace

class TestRelatorio : public testdata::DataFolderTest {
    Q_OBJECT

    std::unique_ptr<TDMDebito> dm;

    db::Query& lista(int ordem = 0, std::optional<qint64> g = std::nullopt)
    {
        if (!dm) dm = std::make_unique<TDMDebito>();
        debitos::rebuildList(*dm->QDebito, debitos::Ordem(ordem), g);
        return *dm->QDebito;
    }

    // Two groups; members with names of every length; debits of 10,00, 20,50 and so on.
    void dados()
    {
        grupo("Ativos");
        grupo("Aposentados");
        membro("ANA SOUZA", 1, 123);
        membro("BRUNO LIMA", 2, 45);
        membro("CARLOS MAGNO DE ALBUQUERQUE CAVALCANTI FIGUEIREDO NETO", 1, 7);
        debito(1, 10);
        debito(2, 20.5);
        debito(3, 1204);
    }

private Q_SLOTS:
    void initTestCase() { UsuarioAtual = 1; }
    void init() { freshFolder(); }
    void cleanup() { dm.reset(); }

    // Rows to pages: 53 five-millimetre rows under a five-millimetre header fill an A4 page
    // inside 12.7 mm margins; the header opens every page; the summary follows the last row,
    // on a page of its own when it does not fit.
    void pageBreaks_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QList<int>>("perPage");  // detail rows on each page
        QTest::addColumn<int>("summaryPage");
        QTest::newRow("empty") << 0 << QList<int>{0} << 1;
        QTest::newRow("one") << 1 << QList<int>{1} << 1;
        QTest::newRow("full page, summary next") << 53 << QList<int>{53, 0} << 2;
        QTest::newRow("two pages") << 100 << QList<int>{53, 47} << 2;
        QTest::newRow("three pages") << 107 << QList<int>{53, 53, 1} << 3;
    }

    void pageBreaks()
    {
        QFETCH(int, rows);
        QFETCH(QList<int>, perPage);
        QFETCH(int, summaryPage);
        CountingSource src(rows);
        report::Report r;
        r.pageHeader.items = {report::Item{"h", 0, 0.5, 0, report::Align::Left, {}, "Cabeçalho", {}}};
        r.detail.items = {report::Item{"d", 0, 0.5, 30, report::Align::Left, {}, {},
                                       [&] { return src.text(); }}};
        r.summary.heightMm = 5.8;
        r.summary.items = {report::Item{"s", 0, 0.5, 0, report::Align::Left, {}, "Resumo", {}}};
        report::LayoutResult res;
        const QVector<SeenPage> pages = layOut(r, src, &res);
        QVERIFY(res.complete);
        QCOMPARE(res.details, rows);
        QCOMPARE(res.pages, int(perPage.size()));
        QCOMPARE(pages.size(), perPage.size());
        int next = 1;
        for (int i = 0; i < pages.size(); ++i) {
            const SeenPage& p = pages[i];
            QCOMPARE(p.number, i + 1);
            QCOMPARE(p.texts.first(), QString("Cabeçalho"));
            QCOMPARE(p.boxes.first().boxMm.top(), 12.7 + 0.5);
            QCOMPARE(int(p.texts.filter("linha ").size()), perPage[i]);
            for (const QString& t : p.texts.filter("linha ")) QCOMPARE(t, QString("linha %1").arg(next++));
            QCOMPARE(p.texts.contains("Resumo"), i + 1 == summaryPage);
            for (const report::TextBox& b : p.boxes) QVERIFY(b.boxMm.bottom() <= 297 - 12.7 + 1e-9);
        }
    }

    // Texts are cut at their box, right-aligned ones end at its right edge, lines run from
    // margin to margin.
    void boxesAndLines()
    {
        CountingSource src(1);
        report::Report r;
        r.pageHeader.lineAbove = report::LineStyle::Solid;
        r.detail.lineBelow = report::LineStyle::Dotted;
        const QString longText(200, QChar('W'));
        r.detail.items = {report::Item{"cut", 10, 1, 20, report::Align::Left, {}, longText, {}},
                          report::Item{"right", 40, 1, 30, report::Align::Right, {}, "12,50", {}}};
        const QVector<SeenPage> pages = layOut(r, src);
        QCOMPARE(pages.size(), 1);
        const SeenPage& p = pages.first();
        report::TextMeasure m;
        const QString cut = p.texts.at(0);
        QVERIFY(cut.size() > 3 && cut.size() < longText.size());
        QVERIFY(m.widthMm({}, cut) <= 20);
        QVERIFY(m.widthMm({}, cut + "W") > 20);
        QCOMPARE(p.boxes.at(0).baselineMm.x(), 12.7 + 10);
        QCOMPARE(p.boxes.at(1).baselineMm.x() + m.widthMm({}, "12,50"), 12.7 + 40 + 30);
        QCOMPARE(p.lines.size(), 2);
        QCOMPARE(p.lines[0].style, report::LineStyle::Solid);
        QCOMPARE(p.lines[0].lineMm, QLineF(12.7, 12.7, 210 - 12.7, 12.7));
        QCOMPARE(p.lines[1].style, report::LineStyle::Dotted);
        QCOMPARE(p.lines[1].lineMm.y1(), 12.7 + 5 + 5);
    }

    // The report's rows are the list's rows, in the list's order and group; the summary
    // holds their number and total.
    void reportRowsEqualList_data()
    {
        QTest::addColumn<int>("ordem");
        QTest::addColumn<qint64>("grupo");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("total");
        QTest::newRow("alfabética") << 0 << qint64(0)
                                    << QStringList{"ANA SOUZA", "BRUNO LIMA", "CARLOS"} << "3"
                                    << "1234,50";
        QTest::newRow("identificador") << 3 << qint64(0)
                                       << QStringList{"CARLOS", "BRUNO LIMA", "ANA SOUZA"} << "3"
                                       << "1234,50";
        QTest::newRow("grupo 1") << 0 << qint64(1) << QStringList{"ANA SOUZA", "CARLOS"} << "2"
                                 << "1214,00";
        QTest::newRow("grupo sem débitos") << 0 << qint64(9) << QStringList{} << "0" << "0,00";
    }

    void reportRowsEqualList()
    {
        QFETCH(int, ordem);
        QFETCH(qint64, grupo);
        QFETCH(QStringList, names);
        QFETCH(QString, count);
        QFETCH(QString, total);
        dados();
        db::Query& q = lista(ordem, grupo ? std::optional<qint64>(grupo) : std::nullopt);
        q.setRecNo(q.recordCount());
        const int before = q.recNo();
        TQRelDebito rel(q);
        for (int run = 0; run < 2; ++run) {  // the preview, then the print from it
            const QVector<SeenPage> pages = layOut(rel.definition(), rel.source());
            QCOMPARE(pages.size(), 1);
            const QStringList t = pages.first().texts;
            QCOMPARE(t.mid(0, 7), (QStringList{"Grupo", "Nome Debitado", "Data Debito", "Valor",
                                               "Identif.", "Agencia", "Matricula"}));
            QCOMPARE(t.size(), 7 + 7 * names.size() + 4);
            for (int i = 0; i < names.size(); ++i) {
                const QStringList row = t.mid(7 + 7 * i, 7);
                QVERIFY2(row[1].startsWith(names[i]), qPrintable(row.join("|")));
                QCOMPARE(row[2], QString("05/07/2026"));
                QCOMPARE(row[5], QString("1234-5"));
            }
            QCOMPARE(t.mid(t.size() - 4),
                     (QStringList{"Nr. Total de Debitados", count, "Valor Total", total}));
            QCOMPARE(rel.contador(), 0);
        }
        QCOMPARE(q.recNo(), before);  // the list did not move
    }

    void detailTexts()
    {
        dados();
        TQRelDebito rel(lista());
        const QStringList t = layOut(rel.definition(), rel.source()).first().texts;
        QCOMPARE(t.mid(7, 7), (QStringList{"Ativos", "ANA SOUZA", "05/07/2026", "10,00", "123",
                                           "1234-5", "77"}));
        // The long name is cut at its 57.2 mm box.
        const QString cut = t.at(7 + 14 + 1);
        const QString full = "CARLOS MAGNO DE ALBUQUERQUE CAVALCANTI FIGUEIREDO NETO";
        QVERIFY2(full.startsWith(cut) && cut.size() < full.size(), qPrintable(cut));
        report::TextMeasure m;
        report::Font f;
        f.points = 8;
        QVERIFY(m.widthMm(f, cut) <= 57.2);
        QVERIFY(m.widthMm(f, full.left(cut.size() + 1)) > 57.2);
    }

    void pdfReadsBack()
    {
        dados();
        TQRelDebito rel(lista(3));
        const QString path = dir_.filePath("debitos.pdf");
        const report::PdfResult res = rel.gravarPdf(path);
        QVERIFY2(res.ok, qPrintable(res.message));
        QCOMPARE(res.layout.pages, 1);
        const QString text = pdfText(path);
        const QStringList rows = detailLines(text);
        QCOMPARE(rows.size(), 3);
        QVERIFY2(rows[0].startsWith("Ativos CARLOS MAGNO") && rows[0].contains("1204,00 7 1234-5 77"),
                 qPrintable(rows[0]));
        QVERIFY(rows[1].startsWith("Aposentados BRUNO LIMA 05/07/2026 20,50 45 1234-5 77"));
        QVERIFY(rows[2].startsWith("Ativos ANA SOUZA 05/07/2026 10,00 123 1234-5 77"));
        QVERIFY2(text.simplified().contains("Nr. Total de Debitados 3 Valor Total 1234,50"),
                 qPrintable(text));
    }

    void pdfToUnwritablePlaceWritesNothing_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("says");
        QTest::newRow("missing folder") << "nao/existe/rel.pdf" << "Não foi possível gravar o PDF";
        QTest::newRow("a folder") << "." << "é uma pasta";
        QTest::newRow("empty") << "" << "Informe o nome do arquivo PDF";
    }

    void pdfToUnwritablePlaceWritesNothing()
    {
        QFETCH(QString, path);
        QFETCH(QString, says);
        dados();
        TQRelDebito rel(lista());
        const QString full = path.isEmpty() ? path : dir_.filePath(path);
        const report::PdfResult res = rel.gravarPdf(full);
        QVERIFY(!res.ok);
        QVERIFY2(res.message.contains(says), qPrintable(res.message));
        QVERIFY(!QFile::exists(dir_.filePath("nao")));
    }

    void cliRelatorio()
    {
        dados();
        const QString pdf = dir_.filePath("cli.pdf");
        QProcess p;
        p.start(cliPath(), {"--dados", folder_, "relatorio", "debitos", "--pdf", pdf, "--ordem",
                            "0", "--grupo", "1"});
        QVERIFY(p.waitForFinished(60000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(p.exitCode() == 0, qPrintable(out + p.readAllStandardError()));
        QVERIFY2(out.contains("Débitos: 2") && out.contains("Valor total: 1214,00"),
                 qPrintable(out));
        const QStringList rows = detailLines(pdfText(pdf));
        QCOMPARE(rows.size(), 2);
        QVERIFY(rows[0].startsWith("Ativos ANA SOUZA"));
        QVERIFY(rows[1].startsWith("Ativos CARLOS MAGNO"));
    }

    void cliRelatorioRefusesBadInput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        QTest::newRow("no pdf") << QStringList{"debitos"} << 2 << "Uso:";
        QTest::newRow("order") << QStringList{"debitos", "--pdf", "@", "--ordem", "5"} << 2
                               << "Ordem inválida";
        QTest::newRow("group") << QStringList{"debitos", "--pdf", "@", "--grupo", "um"} << 2
                               << "Grupo inválido";
        QTest::newRow("unknown group") << QStringList{"debitos", "--pdf", "@", "--grupo", "8"}
                                       << 1 << "Grupo 8 não existe";
        QTest::newRow("folder") << QStringList{"debitos", "--pdf", "nao/existe.pdf"} << 1
                                << "Não foi possível gravar o PDF";
        QTest::newRow("unknown report") << QStringList{"creditos"} << 2 << "Relatório desconhecido";
    }

    void cliRelatorioRefusesBadInput()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, says);
        dados();
        for (QString& a : args) {
            if (a == "@") a = dir_.filePath("x.pdf");
            else if (a.endsWith(".pdf")) a = dir_.filePath(a);
        }
        QProcess p;
        p.start(cliPath(), QStringList{"--dados", folder_, "relatorio"} + args);
        QVERIFY(p.waitForFinished(60000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitCode(), code);
        QVERIFY2(err.contains(says), qPrintable(err));
        QVERIFY(!QFile::exists(dir_.filePath("x.pdf")));
    }
};

QTEST_MAIN(TestRelatorio)
#include "tst_relatorio.moc"

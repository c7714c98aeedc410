// The return report TQRelRetorno over real tables: the month typed and its range, the three
// reason filters, count and total over printed rows, runs repeated as from the preview, PDF
// files read back with pdftotext, and tolmare-cli's "relatorio retornos".
#include "components/report/ReportLayout.h"
#include "core/UVariaveis.h"
#include "core/dm/UDMRet_Debito.h"
#include "core/engine/EngineError.h"
#include "core/engine/Table.h"
#include "remittance/FiltroRetorno.h"
#include "remittance/ImportarRetorno.h"
#include "remittance/RelRetorno.h"
#include "tests/common/PdfText.h"
#include "tests/common/TestData.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <sqlite3.h>

using retorno::Motivo;

namespace {

const QDate kHoje(2026, 8, 3);

void membro(const QString& nome, const QString& agencia, const QString& conta)
{
    testdata::addRow("ASSOCIADOS.DB", {{"ASS_NOME", nome}, {"ASS_AGENCIA", agencia},
                                       {"ASS_CONTA_CORRENTE", conta}});
}

void retorno_(const QDate& data, double membro, double valor, const QDate& dataRetorno = {},
              const QString& ocorrencia = {})
{
    QVariantMap row{{"DEB_DATA", data},          {"DEB_ASS_ID", membro},
                    {"DEB_REMESSA", 3.0},        {"DEB_VALOR", valor},
                    {"DEB_DTA_CAD", data},       {"DEB_USR_ID", 1}};
    if (dataRetorno.isValid()) row["DEB_DATA_RETORNO"] = dataRetorno;
    if (!ocorrencia.isEmpty()) row["DEB_OCORRENCIA"] = ocorrencia;
    testdata::addRow("RET_DEBITO.DB", row);
}

// The texts of every page, in print order.
QStringList layOut(TQRelRetorno& rel, int* pages = nullptr)
{
    QStringList texts;
    const report::LayoutResult res = report::layoutReport(
        rel.definition(), rel.source(), [&](const report::Page& p) {
            for (const report::TextBox& t : p.texts) texts << t.text;
            return true;
        });
    if (pages) *pages = res.pages;
    return texts;
}

const QStringList kHeader{"Nome Debitado", "Data Debito", "Valor", "Motivo", "Agencia",
                          "Conta Corrente"};

// The member names of the detail rows laid out (one page).
QStringList names(const QStringList& texts)
{
    QStringList out;
    for (int i = kHeader.size(); i + 6 <= texts.size() - 4; i += 6) out << texts[i];
    return out;
}

QString cliPath() { return QDir(QCoreApplication::applicationDirPath()).filePath("tolmare-cli"); }

}  // namespace

class TestRelRetorno : public testdata::DataFolderTest {
    Q_OBJECT

    std::unique_ptr<TDMRet_Debito> dm;

    db::Table& tabela(const QString& mes)
    {
        dm = std::make_unique<TDMRet_Debito>();
        dm->TAssociados->open();
        dm->TRet_Debito->open();
        const QString erro = retorno::definirMes(*dm->TRet_Debito, mes, kHoje);
        if (!erro.isEmpty()) qWarning("%s", qPrintable(erro));
        return *dm->TRet_Debito;
    }

    // July 2026: ANA debited, BIA came back with a reason, CAIO came back with a blank
    // reason, DANI awaits her return; a row of June and one of August around them.
    void julho()
    {
        membro("ANA", "1234-5", "11111-1");
        membro("BIA", "2222-2", "22222-2");
        membro("CAIO", "3333-3", "33333-3");
        membro("DANI", "4444-4", "44444-4");
        retorno_(QDate(2026, 7, 10), 1, 10, QDate(2026, 7, 20));
        retorno_(QDate(2026, 7, 10), 2, 20.5, QDate(2026, 7, 20), "SEM SALDO");
        retorno_(QDate(2026, 7, 10), 3, 30, QDate(2026, 7, 20), "   ");
        retorno_(QDate(2026, 7, 31), 4, 40.25, {}, "Aguardando Retorno");
        retorno_(QDate(2026, 6, 30), 1, 1000, {}, "Aguardando Retorno");
        retorno_(QDate(2026, 8, 1), 1, 2000, QDate(2026, 8, 2));
    }

private Q_SLOTS:
    void initTestCase() { UsuarioAtual = 1; }
    void init() { freshFolder(); }
    void cleanup() { dm.reset(); }

    void monthFieldAdjusts_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("one digit") << "0" << "0";
        QTest::newRow("two digits get the bar") << "05" << "05/";
        QTest::newRow("whole month") << "05/2004" << "05/2004";
        QTest::newRow("pasted too long") << "05/20045" << "05/2004";
        QTest::newRow("much too long") << "05/2004 e mais" << "05/2004";
        QTest::newRow("empty") << "" << "";
    }

    void monthFieldAdjusts()
    {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QCOMPARE(retorno::ajustarMes(typed), kept);
    }

    void monthText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("first");  // invalid: refused
        QTest::newRow("mm/yyyy") << "05/2004" << QDate(2004, 5, 1);
        QTest::newRow("m/yyyy") << "5/2004" << QDate(2004, 5, 1);
        QTest::newRow("month only: this year") << "5" << QDate(2026, 5, 1);
        QTest::newRow("two-digit year: this century") << "02/04" << QDate(2004, 2, 1);
        QTest::newRow("month 13") << "13/2004" << QDate();
        QTest::newRow("month 0") << "00/2004" << QDate();
        QTest::newRow("incomplete") << "05/" << QDate();
        QTest::newRow("letters") << "ab/2004" << QDate();
        QTest::newRow("two bars") << "5//2004" << QDate();
    }

    void monthText()
    {
        QFETCH(QString, text);
        QFETCH(QDate, first);
        QString erro;
        const std::optional<QDate> got = retorno::primeiroDia(text, kHoje, &erro);
        QCOMPARE(got.value_or(QDate()), first);
        QCOMPARE(erro.isEmpty(), first.isValid());
        if (!first.isValid()) {
            QVERIFY2(erro.contains("\"01/" + text + "\" não é uma data válida"),
                     qPrintable(erro));
            QVERIFY(erro.contains("mm/aaaa"));
        }
    }

    // The month's range runs from the 1st to the last day, both included: 28 or 29 days in
    // February, the 31st of a 31-day month.
    void monthRange_data()
    {
        QTest::addColumn<QString>("mes");
        QTest::addColumn<int>("lastDay");
        QTest::newRow("February, leap year") << "02/2024" << 29;
        QTest::newRow("February") << "02/2026" << 28;
        QTest::newRow("31-day month") << "01/2026" << 31;
        QTest::newRow("30-day month") << "04/2026" << 30;
    }

    void monthRange()
    {
        QFETCH(QString, mes);
        QFETCH(int, lastDay);
        const QDate first(mes.right(4).toInt(), mes.left(2).toInt(), 1);
        const QDate last(first.year(), first.month(), lastDay);
        membro("ANTES", "1", "1");
        membro("PRIMEIRO", "1", "1");
        membro("ULTIMO", "1", "1");
        membro("DEPOIS", "1", "1");
        retorno_(first.addDays(-1), 1, 1);
        retorno_(first, 2, 2);
        retorno_(last, 3, 3);
        retorno_(last.addDays(1), 4, 4);
        TQRelRetorno rel(tabela(mes), [] { return Motivo::Todos; });
        const QStringList t = layOut(rel);
        QCOMPARE(names(t), (QStringList{"PRIMEIRO", "ULTIMO"}));
        QCOMPARE(t.mid(t.size() - 4), (QStringList{"Nr. Total de Retornos", "2", "Valor Total",
                                                   "5,00"}));
        QCOMPARE(QDate::fromString(t[kHeader.size() + 6 + 1], "dd/MM/yyyy"), last);
    }

    // The filter tests the return date, not the reason: a blank reason that came back
    // counts as returned. Count and total cover the printed rows only, and a second run (a
    // print from the preview) counts again from 0.
    void reasonFilters_data()
    {
        QTest::addColumn<int>("motivo");
        QTest::addColumn<QStringList>("printed");
        QTest::addColumn<QString>("total");
        QTest::newRow("Todos") << 0 << QStringList{"ANA", "BIA", "CAIO", "DANI"} << "100,75";
        QTest::newRow("Com Motivo") << 1 << QStringList{"ANA", "BIA", "CAIO"} << "60,50";
        QTest::newRow("Sem Motivo") << 2 << QStringList{"DANI"} << "40,25";
    }

    void reasonFilters()
    {
        QFETCH(int, motivo);
        QFETCH(QStringList, printed);
        QFETCH(QString, total);
        julho();
        db::Table& t = tabela("07/2026");
        const int before = t.recNo();
        TQRelRetorno rel(t, [motivo] { return Motivo(motivo); });
        for (int run = 0; run < 2; ++run) {
            const QStringList texts = layOut(rel);
            QCOMPARE(texts.mid(0, kHeader.size()), kHeader);
            QCOMPARE(names(texts), printed);
            QCOMPARE(texts.size(), kHeader.size() + 6 * printed.size() + 4);
            QCOMPARE(texts.mid(texts.size() - 4),
                     (QStringList{"Nr. Total de Retornos", QString::number(printed.size()),
                                  "Valor Total", total}));
            QCOMPARE(rel.contador(), 0);
            QCOMPARE(rel.nrImpresso(), printed.size());
            QCOMPARE(rel.totalImpresso(), total);
        }
        QCOMPARE(t.recNo(), before);
    }

    void emptyMonthPrintsHeaderAndZeroes()
    {
        julho();
        TQRelRetorno rel(tabela("03/2026"), [] { return Motivo::Todos; });
        int pages = 0;
        QCOMPARE(layOut(rel, &pages),
                 (kHeader + QStringList{"Nr. Total de Retornos", "0", "Valor Total", "0,00"}));
        QCOMPARE(pages, 1);
    }

    // An empty month text leaves the table as it is (here the range an import left); a text
    // that is no month has lifted the range before it is refused.
    void rangeKeptOrLifted()
    {
        julho();
        dm = std::make_unique<TDMRet_Debito>();
        db::Table& t = *dm->TRet_Debito;
        t.open();
        t.setRange({QDate(2026, 8, 1)}, {QDate(2026, 8, 31)});
        QCOMPARE(retorno::definirMes(t, "", kHoje), QString());
        QCOMPARE(t.recordCount(), 1);
        QVERIFY(retorno::definirMes(t, "13/2004", kHoje).contains("não é uma data válida"));
        QVERIFY(!t.hasRange());
        QCOMPARE(t.recordCount(), 6);
    }

    // A member the remittance left out but the return file names gets a row with a return
    // date from the import: never among the rows without a return. The import's range is the
    // report's when the month field is empty.
    void importedRowsCarryTheirReturn_data()
    {
        QTest::addColumn<int>("motivo");
        QTest::addColumn<QStringList>("printed");
        QTest::newRow("Sem Motivo") << 2 << QStringList{"DANI"};
        // The import dates EVA's new row on the 1st.
        QTest::newRow("Com Motivo") << 1 << QStringList{"EVA", "ANA", "BIA", "CAIO"};
    }

    void importedRowsCarryTheirReturn()
    {
        QFETCH(int, motivo);
        QFETCH(QStringList, printed);
        julho();
        testdata::addRow("ASSOCIADOS.DB", {{"ASS_NOME", "EVA"}, {"ASS_MATRICULA", "55"}});
        const QString path = QDir(folder_).filePath("RET0726.TXT");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("55").rightJustified(15, '0') + QByteArray("EVA").leftJustified(45, ' ')
                + QByteArray("CONTA ENCERRADA").leftJustified(30, ' ') + "\r\n");
        f.close();
        db::Table& t = tabela("");
        retorno::importar(*dm, path, 7, 2026, kHoje);
        QVERIFY(t.hasRange());
        TQRelRetorno rel(t, [motivo] { return Motivo(motivo); });
        QCOMPARE(names(layOut(rel)), printed);
    }

    // RET_DEBITO held by another program: the report says so and writes no PDF, never a
    // report cut short.
    void busyTableWritesNoPdf()
    {
        julho();
        TQRelRetorno rel(tabela("07/2026"), [] { return Motivo::Todos; });
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(QDir(folder_).filePath("RET_DEBITO.DB").toUtf8().constData(),
                              &other),
                 SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        const QString path = dir_.filePath("retorno.pdf");
        try {
            const report::PdfResult res = rel.gravarPdf(path);
            QVERIFY2(!res.ok, "a report of a locked table was written");
        } catch (const db::EngineError& e) {
            QCOMPARE(e.fault(), db::EngineFault::Busy);
        }
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        QVERIFY(!QFile::exists(path));
    }

    // A report reads its blocks from one state of the table: another program's change waits
    // for its end, so no row is skipped or repeated between blocks.
    void blocksAreOneState()
    {
        julho();
        db::Table& t = tabela("07/2026");
        report::DatasetSource src(t, 2);
        src.rewind();
        QStringList seen;
        QVERIFY(src.fetch());
        seen << src.value("DEB_ASS_ID").toString();
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(QDir(folder_).filePath("RET_DEBITO.DB").toUtf8().constData(),
                              &other),
                 SQLITE_OK);
        const int rc = sqlite3_exec(other, "DELETE FROM RET_DEBITO WHERE DEB_ASS_ID = 1",
                                    nullptr, nullptr, nullptr);
        sqlite3_close(other);
        QCOMPARE(rc & 0xff, SQLITE_BUSY);
        while (src.fetch()) seen << src.value("DEB_ASS_ID").toString();
        QCOMPARE(seen, QStringList({"1", "2", "3", "4"}));
        // Once the report has ended, the other program writes.
        QCOMPARE(sqlite3_open(QDir(folder_).filePath("RET_DEBITO.DB").toUtf8().constData(),
                              &other),
                 SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "DELETE FROM RET_DEBITO WHERE DEB_ASS_ID = 1", nullptr,
                              nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(other);
    }

    void pdfReadsBack()
    {
        julho();
        TQRelRetorno rel(tabela("07/2026"), [] { return Motivo::Todos; });
        const QString path = dir_.filePath("retorno.pdf");
        const report::PdfResult res = rel.gravarPdf(path);
        QVERIFY2(res.ok, qPrintable(res.message));
        QCOMPARE(res.layout.pages, 1);
        const QString text = testdata::pdfText(path);
        const QString flat = text.simplified();
        QVERIFY2(flat.contains("Nome Debitado Data Debito Valor Motivo Agencia Conta Corrente"),
                 qPrintable(text));
        QVERIFY2(flat.contains("BIA 10/07/2026 20,50 SEM SALDO 2222-2 22222-2"), qPrintable(text));
        QVERIFY(flat.contains("DANI 31/07/2026 40,25 Aguardando Retorno 4444-4 44444-4"));
        QVERIFY(flat.contains("Nr. Total de Retornos 4 Valor Total 100,75"));
        QVERIFY(!flat.contains("Resumo por Motivo"));
        QVERIFY(!flat.contains("1000,00"));
    }

    // The page per reason follows the report's pages and leaves them as they were.
    void pdfWithReasonPage()
    {
        julho();
        TQRelRetorno rel(tabela("07/2026"), [] { return Motivo::Todos; });
        const QString plain = dir_.filePath("plain.pdf");
        const QString withPage = dir_.filePath("motivos.pdf");
        QVERIFY(rel.gravarPdf(plain).ok);
        const report::PdfResult res = rel.gravarPdf(withPage, true);
        QVERIFY2(res.ok, qPrintable(res.message));
        QCOMPARE(res.layout.pages, 2);
        const QStringList pages = testdata::pdfText(withPage).split('\f');
        QCOMPARE(pages.first(), testdata::pdfText(plain).split('\f').first());
        const QString resumo = pages.at(1).simplified();
        QVERIFY2(resumo.contains("Resumo por Motivo Motivo Quantidade Valor Debitado 2 40,00 "
                                 "Aguardando Retorno 1 40,25 SEM SALDO 1 20,50 "
                                 "Nr. Total de Retornos 4 Valor Total 100,75"),
                 qPrintable(resumo));
        QCOMPARE(rel.porMotivo().size(), 3);
        QCOMPARE(rel.porMotivo().first().motivo, QString("Debitado"));
    }

    void cliRelatorio_data()
    {
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<QStringList>("says");
        QTest::newRow("com") << QStringList{"--motivo", "com"}
                             << QStringList{"Retornos: 3\n", "Valor total: 60,50\n"};
        QTest::newRow("sem, por motivo")
            << QStringList{"--motivo", "sem", "--por-motivo"}
            << QStringList{"Retornos: 1\n", "Valor total: 40,25\n",
                           "Por motivo:\n  Aguardando Retorno: 1 - 40,25\n", "Páginas: 2\n"};
        QTest::newRow("todos, por motivo")
            << QStringList{"--motivo", "todos", "--por-motivo"}
            << QStringList{"Retornos: 4\n", "  Debitado: 2 - 40,00\n", "  SEM SALDO: 1 - 20,50\n"};
    }

    void cliRelatorio()
    {
        QFETCH(QStringList, extra);
        QFETCH(QStringList, says);
        julho();
        const QString pdf = dir_.filePath("cli.pdf");
        QProcess p;
        p.start(cliPath(), QStringList{"--dados", folder_, "relatorio", "retornos", "--mes",
                                       "07/2026", "--pdf", pdf} + extra);
        QVERIFY(p.waitForFinished(60000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(p.exitCode() == 0, qPrintable(out + p.readAllStandardError()));
        for (const QString& s : says) QVERIFY2(out.contains(s), qPrintable(out));
        QVERIFY(testdata::pdfText(pdf).contains("Nr. Total de Retornos"));
    }

    void cliRefusesBadInput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        const QStringList ok{"--pdf", "@", "--motivo", "com"};
        QTest::newRow("month 13") << ok + QStringList{"--mes", "13/2004"} << 2
                                  << "\"01/13/2004\" não é uma data válida";
        QTest::newRow("incomplete") << ok + QStringList{"--mes", "05/"} << 2 << "Mês inválido";
        QTest::newRow("reason") << QStringList{"--pdf", "@", "--mes", "07/2026", "--motivo", "x"}
                                << 2 << "Motivo inválido: \"x\"";
        QTest::newRow("no month") << ok << 2 << "Uso:";
        QTest::newRow("folder") << QStringList{"--pdf", "nao/existe.pdf", "--motivo", "com",
                                               "--mes", "07/2026"}
                                << 1 << "Não foi possível gravar o PDF";
    }

    void cliRefusesBadInput()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, says);
        julho();
        for (QString& a : args) {
            if (a == "@") a = dir_.filePath("x.pdf");
            else if (a.endsWith(".pdf")) a = dir_.filePath(a);
        }
        QProcess p;
        p.start(cliPath(), QStringList{"--dados", folder_, "relatorio", "retornos"} + args);
        QVERIFY(p.waitForFinished(60000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitCode(), code);
        QVERIFY2(err.contains(says), qPrintable(err));
        QVERIFY(!QFile::exists(dir_.filePath("x.pdf")));
    }
};

QTEST_MAIN(TestRelRetorno)
#include "tst_relretorno.moc"

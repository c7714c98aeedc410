// The collection lists over a month built by hand: arrears, a member's history and the panel
// against figures worked out from the rows below; the CSV read back by a CSV parser and the
// XLSX by unzipping its sheet, both written through tolmare-cli.
#include "collection/Extrato.h"
#include "collection/Inadimplentes.h"
#include "collection/Listas.h"
#include "collection/Painel.h"
#include "core/UVariaveis.h"
#include "tests/common/TestData.h"
#include "tests/collection/MesAMao.h"
#include "tests/remittance/RemessaFixtures.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

using namespace cobranca;

namespace {

// One CSV record per line: ";" between fields, quoted fields with doubled quotes.
QList<QStringList> parseCsv(const QByteArray& bytes)
{
    const QString text = QString::fromUtf8(bytes);
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (quoted) {
            if (ch == '"' && i + 1 < text.size() && text[i + 1] == '"') field += '"', ++i;
            else if (ch == '"') quoted = false;
            else field += ch;
        } else if (ch == '"') {
            quoted = true;
        } else if (ch == ';') {
            row << field;
            field.clear();
        } else if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            row << field;
            rows << row;
            row.clear();
            field.clear();
            ++i;
        } else {
            field += ch;
        }
    }
    if (!field.isEmpty() || !row.isEmpty()) rows << (row << field);  // a last line without CR LF
    return rows;
}

QByteArray unzip(const QString& xlsx, const QString& member)
{
    QProcess p;
    p.start("unzip", {"-p", xlsx, member});
    p.waitForFinished(10000);
    return p.readAllStandardOutput();
}

}  // namespace

class TestCobranca : public testdata::DataFolderTest {
    Q_OBJECT

private slots:
    void init()
    {
        freshFolder();
        UsuarioAtual = 1;
        mesAMao();
    }

    void inadimplentes_data()
    {
        QTest::addColumn<int>("minimo");
        QTest::addColumn<double>("grupo");  // 0: every group
        QTest::addColumn<int>("ordem");
        QTest::addColumn<QStringList>("linhas");  // nome|meses|valor|último motivo
        const QString b = "Bruno|2|51.00|" + kEncerrada, c = "Carla|1|0.00|" + kEncerrada,
                      f = kFabio + "|1|60.00|" + kSaldo;
        QTest::newRow("by amount") << 1 << 0.0 << int(OrdemInadimplentes::Valor)
                                   << QStringList{f, b, c};
        QTest::newRow("by months") << 1 << 0.0 << int(OrdemInadimplentes::Meses)
                                   << QStringList{b, f, c};
        QTest::newRow("by name") << 1 << 0.0 << int(OrdemInadimplentes::Nome)
                                 << QStringList{b, c, f};
        QTest::newRow("two months or more") << 2 << 0.0 << int(OrdemInadimplentes::Valor)
                                            << QStringList{b};
        QTest::newRow("group 2") << 1 << 2.0 << int(OrdemInadimplentes::Valor) << QStringList{f};
    }
    void inadimplentes()
    {
        QFETCH(int, minimo);
        QFETCH(double, grupo);
        QFETCH(int, ordem);
        QFETCH(QStringList, linhas);
        const Inadimplencia lista = cobranca::inadimplentes(
            minimo, grupo ? std::optional(grupo) : std::nullopt, OrdemInadimplentes(ordem));
        QStringList seen;
        double total = 0;
        for (const Inadimplente& i : lista.linhas) {
            seen << QString("%1|%2|%3|%4").arg(i.nome).arg(i.meses).arg(i.valor, 0, 'f', 2)
                        .arg(i.ultimoMotivo);
            total += i.valor;
        }
        QCOMPARE(seen, linhas);
        QCOMPARE(lista.total, total);
    }

    void extratoNewestFirst()
    {
        const Extrato e = cobranca::extrato(2);
        QVERIFY(e.existe);
        QCOMPARE(e.nome, QString("Bruno"));
        QCOMPARE(e.matricula, QString("10.2-0"));
        QCOMPARE(e.meses.size(), 3);
        QCOMPARE(e.meses[0].data, kJulho);
        QCOMPARE(e.meses[0].situacao, Situacao::Devolvido);
        QCOMPARE(e.meses[0].motivo, kEncerrada);
        QCOMPARE(e.meses[1].motivo, kSaldo);
        QCOMPARE(e.meses[2].situacao, Situacao::Recebido);
        QCOMPARE(e.meses[2].dataRetorno, kVolta);
        QCOMPARE(e.enviado, 71.0);
        QCOMPARE(e.recebido, 20.0);
        QCOMPARE(e.devolvido, 51.0);
        // Awaiting: no reason shown, no return date.
        const Extrato davi = cobranca::extrato(4);
        QCOMPARE(davi.meses[0].situacao, Situacao::Aguardando);
        QVERIFY(davi.meses[0].motivo.isEmpty() && !davi.meses[0].dataRetorno.isValid());
        QVERIFY(cobranca::extrato(5).meses.isEmpty());
    }

    void painelOfThreeMonths()
    {
        const QVector<MesPainel> p = cobranca::painel(3, QDate(2026, 7, 31));
        QCOMPARE(p.size(), 3);
        auto fig = [](const MesPainel& m) {
            auto k = [](const Contagem& c) { return QString("%1/%2").arg(c.quantidade).arg(c.valor, 0, 'f', 2); };
            return QStringList{m.mes.toString("MM/yyyy"), k(m.enviados), k(m.recebidos),
                               k(m.devolvidos), k(m.aguardando),
                               m.taxa ? QString::number(*m.taxa * 100, 'f', 2) : "-",
                               m.motivos.join(",")}.join(" ");
        };
        QCOMPARE(fig(p[0]), "05/2026 4/57.00 3/42.00 1/15.00 0/0.00 73.68 " + kSaldo);
        QCOMPARE(fig(p[1]), "06/2026 3/50.50 2/25.00 1/25.50 0/0.00 49.50 " + kSaldo);
        QCOMPARE(fig(p[2]), "07/2026 4/107.50 1/10.00 3/85.50 1/12.00 9.30 " + kEncerrada + ","
                                + kSaldo);
        // A month without rows: nothing sent, no rate.
        const QVector<MesPainel> vazio = cobranca::painel(1, QDate(2026, 9, 1));
        QCOMPARE(fig(vazio[0]), QString("09/2026 0/0.00 0/0.00 0/0.00 0/0.00 - "));
    }

    // Through tolmare-cli, as a spreadsheet opens it.
    void csvReadBack()
    {
        const QString inad = dir_.filePath("inad.csv"), painel = dir_.filePath("painel.csv");
        QCOMPARE(runCli(folder_, {"inadimplentes", "--csv", inad}), 0);
        QCOMPARE(runCli(folder_, {"painel", "--meses", "3", "--ate", "07/2026", "--csv", painel}), 0);
        const QByteArray bytes = readAll(inad);
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        QVERIFY(bytes.endsWith("\r\n"));
        QVERIFY(!bytes.mid(3).replace("\r\n", "").contains('\n'));
        const QList<QStringList> rows = parseCsv(bytes.mid(3));
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[0].join(";"), QString("Matrícula;Nome;Grupo;Meses;Valor;Último motivo"));
        QCOMPARE(rows[1], (QStringList{"10.6-0", kFabio, "Aposentados", "1", "60,00", kSaldo}));
        QCOMPARE(rows[2], (QStringList{"10.2-0", "Bruno", "Ativos", "2", "51,00", kEncerrada}));
        QCOMPARE(rows[3][4], QString("0,00"));
        const QList<QStringList> p = parseCsv(readAll(painel).mid(3));
        QCOMPARE(p[0].join(";"), QString("Mês;Enviados;Valor enviado;Recebidos;Valor recebido;"
                                         "Devolvidos;Valor devolvido;Aguardando;Taxa"));
        QCOMPARE(p[3].join(";"), QString("07/2026;4;107,50;1;10,00;3;85,50;1;9,30%"));
        // Mode 0600: read and written by its owner only.
        QCOMPARE(QFileInfo(inad).permissions() & 0x0FFF,
                 QFileDevice::ReadUser | QFileDevice::WriteUser);
        // The return report's rows of July that came back, as the report would print them.
        const QString rel = dir_.filePath("retornos.csv");
        QCOMPARE(runCli(folder_, {"relatorio", "retornos", "--mes", "07/2026", "--motivo", "com",
                                  "--csv", rel}), 0);
        const QList<QStringList> r = parseCsv(readAll(rel).mid(3));
        QCOMPARE(r.size(), 5);
        QCOMPARE(r[0].join(";"), QString("Nome Debitado;Data Debito;Valor;Motivo;Agencia;"
                                         "Conta Corrente"));
        QVERIFY(r.contains(QStringList{"Bruno", "10/07/2026", "25,50", kEncerrada, "", ""}));
        QVERIFY(r.contains(QStringList{"Carla", "10/07/2026", "", kEncerrada, "", ""}));
        // Nothing but the files asked for is left beside them.
        QCOMPARE(QDir(dir_.path()).entryList({"*.csv*"}, QDir::Files | QDir::Hidden).size(), 3);
    }

    void xlsxReadBack()
    {
        const QString path = dir_.filePath("extrato.xlsx");
        QCOMPARE(runCli(folder_, {"extrato", "2", "--xlsx", path}), 0);
        const QByteArray sheet = unzip(path, "xl/worksheets/sheet1.xml");
        const QByteArray styles = unzip(path, "xl/styles.xml");
        QVERIFY2(sheet.contains("state=\"frozen\"") && sheet.contains("ySplit=\"1\""), sheet);
        for (const char* t : {"Mês", "Remessa", "Valor", "Situação", "Motivo", "Data do retorno"})
            QVERIFY(sheet.contains(QByteArray("<t>") + t + "</t>"));
        // Row 2 (July): the month as a date (10/07/2026 is serial 46213), the remittance and
        // the amount as numbers, the return date 03/08/2026 as a date (46237).
        const QRegularExpression row2("<row r=\"2\"[^>]*>(.*?)</row>");
        const QString r2 = row2.match(QString::fromUtf8(sheet)).captured(1);
        QVERIFY2(r2.contains(QRegularExpression("<c r=\"A2\" s=\"\\d+\"><v>46213</v>")), qPrintable(r2));
        QVERIFY(r2.contains(QRegularExpression("<c r=\"B2\"><v>5</v>")));
        QVERIFY(r2.contains(QRegularExpression("<c r=\"C2\" s=\"\\d+\"><v>25.5</v>")));
        QVERIFY(r2.contains(QRegularExpression("<c r=\"F2\" s=\"\\d+\"><v>46237</v>")));
        QVERIFY(styles.contains("formatCode=\"0.00\""));
        QVERIFY(styles.contains("formatCode=\"dd/mm/yyyy\""));
        QVERIFY(styles.contains("formatCode=\"mm/yyyy\""));
    }

    // The writers refuse a folder they cannot write and leave the path as it was.
    void unwritableFolderKeepsThePath()
    {
        const QString path = dir_.filePath("nao/existe/lista.csv");
        Inadimplencia lista;
        Planilha p = planilhaInadimplentes(lista);
        const ResultadoPlanilha r = gravarCsv(path, p);
        QVERIFY(!r.ok);
        QVERIFY(r.mensagem.contains("verifique a pasta"));
        QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(textoCsv(-0.001, TipoColuna::Dinheiro), QString("0,00"));
        QCOMPARE(textoCsv(1234.5, TipoColuna::Dinheiro), QString("1234,50"));
        QCOMPARE(textoCsv(QDate(2026, 7, 1), TipoColuna::Data), QString("01/07/2026"));
    }
};

QTEST_GUILESS_MAIN(TestCobranca)
#include "tst_cobranca.moc"

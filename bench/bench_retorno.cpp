// The return import of a 100,000-line file against 100,000 members with 100,000 RET_DEBITO
// rows in the month ("bench_retorno LINES MEMBERS" for another size: the members' rows of the
// month, one per line, spread over them), compared in the same run with the same row changes
// made with plain SQLite in one transaction (bench/Transcricao.h), and again with reading the
// file's bytes added to that reference.
#include "bench/BenchSupport.h"
#include "core/dm/UDMRet_Debito.h"
#include "core/store/StoreSchema.h"
#include "remittance/ImportarRetorno.h"
#include "tests/common/TestData.h"
#include "bench/Transcricao.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? std::max(100, atoi(argv[1])) : 100000;
    const int members = argc > 2 ? std::max(10, atoi(argv[2])) : n;
    QTemporaryDir dir;
    const QString folder = dir.filePath("dados");
    testdata::makeDataFolder(folder);
    // Each line names one debit of the month: member i % members, on day 10 + i / members.
    bench::fill(folder, "ASSOCIADOS.DB",
                "INSERT INTO ASSOCIADOS (ASS_NOME, ASS_MATRICULA, ASS_CONTA_CORRENTE) "
                "VALUES (?, ?, ?)", members, [](sqlite3_stmt* st, int i) {
        const QByteArray name = QString("ASSOCIADO %1").arg(i).toUtf8();
        sqlite3_bind_text(st, 1, name.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, QByteArray::number(500000 + i).constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, QByteArray::number(900000 + i).constData(), -1, SQLITE_TRANSIENT);
    });
    bench::fill(folder, "RET_DEBITO.DB",
                "INSERT INTO RET_DEBITO (DEB_DATA, DEB_ASS_ID, DEB_REMESSA, DEB_VALOR, "
                "DEB_OCORRENCIA, DEB_DTA_CAD, DEB_USR_ID) VALUES (?, ?, 7, 10, "
                "'Aguardando Retorno', '2026-07-01', 1)", n, [members](sqlite3_stmt* st, int i) {
        const QByteArray day =
            QDate(2026, 7, std::min(31, 10 + i / members)).toString(Qt::ISODate).toUtf8();
        sqlite3_bind_text(st, 1, day.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(st, 2, i % members + 1);
    });
    const double filledMb = bench::peakMemoryMb();
    const QString path = dir.filePath("RET.TXT");
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        for (int i = 0; i < n; ++i) {
            // A tenth found by account, a tenth by name, the rest by enrolment number.
            const int m = i % members;
            const int number = m % 10 == 0 ? 900000 + m : (m % 10 == 1 ? 1 : 500000 + m);
            const QString name = QString("ASSOCIADO %1").arg(m);
            f.write((QString::number(number).rightJustified(15, '0') + name.leftJustified(45)
                     + (i % 3 ? QString("SALDO INSUFICIENTE") : QString()).leftJustified(30) + "\r\n")
                        .toLatin1());
        }
    }
    const QString copy = dir.filePath("copia");
    bench::copyTables(folder, copy);
    TDMRet_Debito dm;
    bench::Clock clock;
    const retorno::Resultado r = retorno::importar(dm, path, 7, 2026, QDate(2026, 8, 3));
    const bench::Times whole{clock.wallMs(), clock.cpuMs()};
    const double importedMb = bench::peakMemoryMb();
    const QVector<bench::Change> changes = bench::changesOf(copy, folder, "RET_DEBITO");
    qint64 rows = 0;
    for (const bench::Change& c : changes) rows += c.rows.size();
    const bench::Times reference = bench::replay(copy, {"RET_DEBITO"}, changes);
    // Reading the return file is work the import cannot leave out either: its bytes read in
    // blocks, timed apart and added to the reference for the second ratio.
    bench::Clock readClock;
    {
        QFile f(r.novoNome.isEmpty() ? path : r.novoNome);
        f.open(QIODevice::ReadOnly);
        QByteArray block(1 << 16, Qt::Uninitialized);
        while (f.read(block.data(), block.size()) > 0) {}
    }
    const bench::Times reading{readClock.wallMs(), readClock.cpuMs()};
    std::printf("import of %d lines for %d members: %.0f ms (processor %.0f ms); the same %lld "
                "row changes in plain SQLite: %.0f ms (processor %.0f ms); ratio %.2f (processor "
                "%.2f; target below 1.5); %lld summary lines; on %s\n", n, members, whole.wall,
                whole.cpu, rows, reference.wall, reference.cpu, whole.wall / reference.wall,
                whole.cpu / reference.cpu, qint64(r.resumo.size()),
                qPrintable(bench::processorModel()));
    std::printf("  with reading the file's bytes (%.0f ms, processor %.0f ms) in the reference: "
                "ratio %.2f (processor %.2f)\n", reading.wall, reading.cpu,
                whole.wall / (reference.wall + reading.wall),
                whole.cpu / (reference.cpu + reading.cpu));
    std::printf("  peak memory %.0f MB after filling the tables, %.0f MB after the import\n",
                filledMb, importedMb);
    return 0;
}

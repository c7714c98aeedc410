// The legacy import of 100,000 members (argument: another count) into an empty ASSOCIADOS,
// against plain SQLite inserts of the same rows (one prepared INSERT, values computed the same
// way) written through the same way: committed together every 200 ms. Also prints what
// committing every row alone costs on this disk, measured on a few hundred rows.
#include "core/TextHelpers.h"
#include "core/UVariaveis.h"
#include "core/store/StoreSchema.h"
#include "legacy_import/ImportarLegado.h"
#include "tests/common/TestData.h"
#include "tests/legacy_import/LegacyTables.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdio>

namespace {

// Plain inserts of `n` members into the ASSOCIADOS.DB of `folder`; a commit every `everyMs`
// milliseconds (0: every row alone).
double plainInserts(const QString& folder, int n, int everyMs)
{
    sqlite3* h = nullptr;
    sqlite3_open(QDir(folder).filePath("ASSOCIADOS.DB").toUtf8().constData(), &h);
    store::registerCollation(h);
    sqlite3_exec(h, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(h, "INSERT INTO ASSOCIADOS (ASS_NOME, ASS_GRP_ID, ASS_AGENCIA, "
                          "ASS_CONTA_CORRENTE, ASS_IDENTIFICADOR, ASS_DTA_CAD, ASS_USR_ID, "
                          "ASS_MATRICULA) VALUES (?, 1, ?, ?, ?, '2026-03-02', 1, ?)", -1, &st, nullptr);
    QElapsedTimer t, batch;
    t.start();
    bool open = false;
    for (int i = 0; i < n; ++i) {
        if (!open) {
            sqlite3_exec(h, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
            batch.start();
            open = true;
        }
        const QString conta = QString::number(100000 + i) + "0";
        const QByteArray nome = QString("ASSOCIADO %1").arg(i).toUtf8(), ag = "123-6",
                         cc = CalculaDigitoVerificador(conta).toUtf8(), mat = conta.chopped(1).toUtf8();
        sqlite3_bind_text(st, 1, nome.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, ag.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, cc.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(st, 4, i);
        sqlite3_bind_text(st, 5, mat.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_reset(st);
        if (batch.elapsed() >= everyMs) {
            sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
            open = false;
        }
    }
    if (open) sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
    const double ms = t.nsecsElapsed() / 1e6;
    sqlite3_finalize(st);
    sqlite3_close(h);
    return ms;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? std::max(100, atoi(argv[1])) : 100000;
    UsuarioAtual = 1;
    QTemporaryDir dir;
    const QString imp = dir.filePath("imp");
    QDir().mkpath(imp);
    QList<QStringList> members;
    for (int i = 0; i < n; ++i)
        members << QStringList{QString::number(1 + i % 3), "1234", QString::number(100000 + i) + "0",
                               QString("Associado %1").arg(i), QString::number(i)};
    testdata::writeGroups(imp, {{"1", "Aposentados"}, {"2", "Pensionistas"}, {"3", "Aposentadas"}});
    testdata::writeMembers(imp, members);

    testdata::makeDataFolder(dir.filePath("alone"));
    const int sample = std::min(n, 300);
    const double alone = plainInserts(dir.filePath("alone"), sample, 0) * n / sample;

    // Import and reference alternate, twice each, into fresh folders; the best of each counts,
    // so that neither is charged for the disk's writing-back of the other.
    double whole = 1e300, reference = 1e300;
    legado::Resultado r;
    for (int round = 0; round < 2; ++round) {
        const QString dados = dir.filePath(QString("dados%1").arg(round));
        testdata::makeDataFolder(dados);
        QElapsedTimer t;
        t.start();
        legado::TImportacao importacao(imp);
        r = importacao.executar();
        whole = std::min(whole, t.nsecsElapsed() / 1e6);
        const QString ref = dir.filePath(QString("ref%1").arg(round));
        testdata::makeDataFolder(ref);
        reference = std::min(reference, plainInserts(ref, n, 200));
    }
    std::printf("legacy import of %d members: %.0f ms (%d taken over%s%s)\n"
                "plain SQLite inserts of the same rows, committed every 200 ms: %.0f ms; ratio %.2f\n"
                "plain SQLite inserts each committed alone (from %d rows): %.0f ms\n",
                n, whole, r.associadosImportados, r.erro.isEmpty() ? "" : "; ",
                qPrintable(r.erro), reference, whole / reference, sample, alone);
    return 0;
}

// The members register and its search over 100,000 members, against plain SQLite on the same
// file in the same run: opening the members window and the search dialog (against reading the
// first screenful of rows), and each keystroke's nearest-key search with the grid repositioned
// and repainted (against the plain nearest-key query plus reading the rows the grid shows).
// Prints median and worst of 200 keystrokes, the ratios, and the memory at two member counts.
#include "components/DBGrid.h"
#include "core/UVariaveis.h"
#include "core/dm/UDMAssociados.h"
#include "core/store/StoreSchema.h"
#include "registers/ui/UAssociados.h"
#include "registers/ui/UPesquizar_Cliente_Debitado.h"
#include "tests/common/TestData.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>

namespace {

constexpr int kKeystrokes = 200;
constexpr int kShownRows = 14;  // what the dialog's grid shows

const char* const kFirst[] = {"Silva", "Sílvia", "SOUZA", "Santos", "Oliveira", "Álvaro",
                              "Pereira", "lima", "Costa", "Ribeiro", "Martins", "Élida"};

long residentKb()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4;
}

QString nameOf(int i)
{
    return QString("%1 %2")
        .arg(QString::fromUtf8(kFirst[i % 12]))
        .arg((qint64(i) * 7919) % 1000003, 7, 10, QChar('0'));
}

void fill(const QString& folder, int members)
{
    sqlite3* h = nullptr;
    sqlite3_open(QDir(folder).filePath("ASSOCIADOS.DB").toUtf8().constData(), &h);
    store::registerCollation(h);
    sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(h, "INSERT INTO ASSOCIADOS (ASS_NOME, ASS_GRP_ID, ASS_CONTA_CORRENTE, "
                          "ASS_IDENTIFICADOR) VALUES (?, ?, ?, ?)", -1, &st, nullptr);
    for (int i = 0; i < members; ++i) {
        const QByteArray name = nameOf(i).toUtf8();
        const QByteArray acc = QByteArray::number(100000 + (qint64(i) * 104729) % members);
        sqlite3_bind_text(st, 1, name.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(st, 2, 1 + i % 20);
        sqlite3_bind_text(st, 3, acc.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(st, 4, i);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(h);
    sqlite3_open(QDir(folder).filePath("GRUPO.DB").toUtf8().constData(), &h);
    for (int g = 1; g <= 20; ++g)
        sqlite3_exec(h, QString("INSERT INTO GRUPO (GRP_DESCRICAO) VALUES ('Grupo %1')").arg(g)
                            .toUtf8().constData(), nullptr, nullptr, nullptr);
    sqlite3_close(h);
}

double ms(const std::function<void()>& work)
{
    QElapsedTimer t;
    t.start();
    work();
    return double(t.nsecsElapsed()) / 1e6;
}

struct Times {
    double median = 0, worst = 0;
};
Times summary(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v.back()};
}

// The keystrokes: 50 names typed letter by letter (four letters each, some in other cases).
QStringList keystrokes(int members)
{
    QStringList out;
    auto* rnd = QRandomGenerator::global();
    while (out.size() < kKeystrokes) {
        QString name = nameOf(int(rnd->bounded(members)));
        if (out.size() % 3 == 0) name = name.toLower();
        for (int n = 1; n <= 4 && out.size() < kKeystrokes; ++n) out << name.left(n);
    }
    return out;
}

struct Run {
    double openWindow = 0, openDialog = 0, openPlain = 0;
    Times keys, keysPlain;
    long kbBefore = 0, kbAfter = 0;
};

Run measure(const QString& folder, int members)
{
    testdata::makeDataFolder(folder);
    fill(folder, members);
    Run r;
    sqlite3* plain = nullptr;
    sqlite3_open(QDir(folder).filePath("ASSOCIADOS.DB").toUtf8().constData(), &plain);
    store::registerCollation(plain);
    auto readRows = [&](const char* sql, const QString& arg) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(plain, sql, -1, &st, nullptr);
        const QByteArray a = arg.toUtf8();
        if (!arg.isNull()) sqlite3_bind_text(st, 1, a.constData(), -1, SQLITE_TRANSIENT);
        int n = 0;
        while (sqlite3_step(st) == SQLITE_ROW)
            n += int(strlen(reinterpret_cast<const char*>(sqlite3_column_text(st, 1))));
        sqlite3_finalize(st);
        return n;
    };
    r.openPlain = ms([&] {
        readRows(qPrintable(QString("SELECT * FROM ASSOCIADOS ORDER BY ASS_NOME, ASS_ID LIMIT %1")
                                .arg(kShownRows)), QString());
    });

    r.kbBefore = residentKb();
    TDMAssociados dm;
    TFAssociados* window = nullptr;
    r.openWindow = ms([&] {
        window = new TFAssociados;
        window->show();
        QApplication::processEvents();
    });
    TFPesquizar_Cliente_Debitado* dialog = nullptr;
    r.openDialog = ms([&] {
        dialog = new TFPesquizar_Cliente_Debitado(window);
        dialog->show();
        QApplication::processEvents();
    });

    const QStringList typed = keystrokes(members);
    std::vector<double> ours, reference;
    for (const QString& t : typed) {
        ours.push_back(ms([&] {
            dialog->Edt_Nome->setText(t);
            QApplication::processEvents();  // the grid repositioned and repainted
        }));
    }
    for (const QString& t : typed) {
        reference.push_back(ms([&] {
            readRows(qPrintable(QString("SELECT * FROM ASSOCIADOS WHERE ASS_NOME >= ? "
                                        "ORDER BY ASS_NOME, ASS_ID LIMIT %1").arg(kShownRows)), t);
        }));
    }
    r.keys = summary(ours);
    r.keysPlain = summary(reference);
    r.kbAfter = residentKb();
    delete dialog;
    delete window;
    sqlite3_close(plain);
    return r;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    UsuarioAtual = 1;
    const int members = argc > 1 ? std::max(1000, atoi(argv[1])) : 100000;
    QTemporaryDir dir;
    const Run small = measure(dir.filePath("small"), members / 10);
    const Run big = measure(dir.filePath("big"), members);
    auto line = [](const char* what, double ours, double plain) {
        std::printf("%-44s %9.3f ms   plain %8.3f ms   ratio %7.2f\n", what, ours, plain,
                    plain > 0 ? ours / plain : 0.0);
    };
    std::printf("%d members\n", members);
    line("open the members window", big.openWindow, big.openPlain);
    line("open the search dialog", big.openDialog, big.openPlain);
    line("keystroke, median of 200", big.keys.median, big.keysPlain.median);
    line("keystroke, worst of 200", big.keys.worst, big.keysPlain.worst);
    std::printf("%-44s %6ld kB with %d members, %6ld kB with %d\n",
                "memory taken by window, dialog and typing", small.kbAfter - small.kbBefore,
                members / 10, big.kbAfter - big.kbBefore, members);
    return 0;
}

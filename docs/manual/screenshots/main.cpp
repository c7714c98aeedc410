// tolmare-screenshots FOLDER: fills a demonstration data folder and saves a picture of each of
// the program's windows on it (not the legacy import's, which needs legacy tables), offscreen,
// as FOLDER/<window's object name>.png, for the
// manual. Run at build time, so the manual's pictures always show the windows as they are.
#include "app/Modules.h"
#include "backup/ui/UFmBackup.h"
#include "collection/ui/UExtrato.h"
#include "collection/ui/UInadimplentes.h"
#include "collection/ui/UPainel.h"
#include "core/UVariaveis.h"
#include "core/dm/UDMAssociados.h"
#include "core/dm/UDMDebito.h"
#include "core/dm/UDMParametros.h"
#include "core/dm/UDMRemessa_Previ.h"
#include "core/dm/UDMRet_Debito.h"
#include "core/dm/UDMTolmare.h"
#include "core/dm/UDmGrupo.h"
#include "core/engine/EngineConfig.h"
#include "core/engine/EngineError.h"
#include "core/ui/UTolmare.h"
#include "debits/ui/UDebito.h"
#include "registers/ui/UAssociados.h"
#include "registers/ui/UGrupo.h"
#include "registers/ui/UParametros.h"
#include "remittance/ui/UImpRetorno.h"
#include "remittance/ui/ULogImpBB.h"
#include "remittance/ui/URRetorno.h"
#include "remittance/ui/URemessa_Previ.h"
#include "remittance/ui/URet_Debito.h"

#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QFont>
#include <QLocale>
#include <QProcess>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace {

QString g_out;

void save(QWidget& w)
{
    w.show();
    QTest::qWait(50);  // layouts and the first rows
    const QString path = QDir(g_out).filePath(w.objectName() + ".png");
    if (!w.grab().save(path)) throw std::runtime_error("cannot write " + path.toStdString());
    w.hide();
}

// Runs the installed-alike tolmare-cli beside this program on the demonstration folder; its
// standard output lines.
QStringList cli(const QString& folder, const QStringList& args)
{
    QProcess p;
    p.start(QDir(QCoreApplication::applicationDirPath()).filePath("tolmare-cli"),
            QStringList{"--dados", folder} + args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw std::runtime_error("tolmare-cli " + args.join(' ').toStdString() + ": "
                                 + p.readAllStandardError().toStdString());
    return QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

struct Demo {
    QString data;
    QString backup;
    QStringList summary;  // the return import's summary
};

// The demonstration folder, its month's remittance made and return imported, and a backup.
Demo fill(const QString& root)
{
    Demo d{QDir(root).filePath("Dados"),
           QDir(root).filePath("Backup/Backup Tolmare 10-07-2026.bck"), {}};
    const QString answer = QDir(root).filePath("RET0726.TXT");
    cli(d.data, {"--criar-pasta", "demonstracao", "--retorno", answer});
    cli(d.data, {"remessa", "--data", "10/07/2026", "--arquivo",
                 QDir(root).filePath("ARQ_PREVI_0712.TXT"), "--hoje", "05/07/2026"});
    d.summary = cli(d.data, {"retorno", "--arquivo", answer, "--mes", "07/2026", "--hoje",
                             "30/07/2026"});
    if (!d.summary.isEmpty() && d.summary.last().startsWith("Arquivo renomeado"))
        d.summary.removeLast();
    QDir().mkpath(QDir(root).filePath("Backup"));
    cli(d.data, {"backup", d.backup, QDir(d.data).filePath("*.DB"), "--titulo",
                 "Tolmare_10-07-2026", "--ids"});
    return d;
}

template <class DataModule, class Window>
void shoot()
{
    DataModule dm;
    Window w;
    save(w);
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir work;
    // The demonstration folder only: no configuration of the user's is read.
    qputenv("TOLMARE_ENGINE_CONFIG", work.filePath("engine.ini").toLocal8Bit());
    QApplication app(argc, argv);
    QApplication::setFont(QFont("Liberation Sans", 9));
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    nameApplication();
    UsuarioAtual = 1;
    if (app.arguments().size() != 2) {
        std::fputs("uso: tolmare-screenshots PASTA\n", stderr);
        return 2;
    }
    g_out = app.arguments().at(1);
    QDir().mkpath(g_out);
    try {
        const Demo folder = fill(work.path());
        db::EngineConfig::overrideAlias("Tolmare", folder.data);
        TDMTolmare dmTolmare;
        dmTolmare.DataModuleCreate();
        registerModules();  // the main window's buttons enabled, as in the program
        TFTolmare main;
        main.resize(800, 560);
        save(main);
        shoot<TDMParametros, TFParametros>();
        shoot<TDmGrupo, TFGrupo>();
        shoot<TDMAssociados, TFAssociados>();
        shoot<TDMDebito, TFDebito>();
        shoot<TDMRemessa_Previ, TFRemessa_Previ>();
        {
            TFImpRetorno w;
            save(w);
        }
        {
            TfmLogImpBB w;
            w.appendLines(folder.summary);
            save(w);
        }
        shoot<TDMRet_Debito, TFRet_Debito>();
        {
            TFRRetorno w;
            save(w);
        }
        double devedor = 1;  // the history shown: the first member in arrears
        {
            TFInadimplentes w;
            if (w.lista().linhas.isEmpty()) throw std::runtime_error("no member in arrears");
            devedor = w.lista().linhas.first().assId;
            save(w);
        }
        {
            TFExtrato w(devedor);
            save(w);
        }
        {
            TFPainel w;
            w.Meses->setValue(6);
            w.Ate->setDate(QDate(2026, 7, 1));  // the demonstration's month
            save(w);
        }
        {
            TFmBackup w;
            w.show();
            if (!w.chooseArchive(folder.backup)) throw std::runtime_error("backup not listed");
            save(w);
        }
    } catch (const db::EngineError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}

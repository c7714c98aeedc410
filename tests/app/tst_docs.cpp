// What the programs say about themselves: the manual pages against the help they print, F1's
// page for every window, and a backup archive opened from the desktop.
#include "backup/ui/UFmBackup.h"
#include "core/ui/Manual.h"
#include "tests/common/ScriptedDialogs.h"
#include "tests/common/TestData.h"

#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <QUrl>

namespace {

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(QDir(TOLMARE_BUILD_DIR "/bin").filePath(program), args);
    if (!p.waitForFinished(60000)) return "<did not end>";
    return QString::fromUtf8(p.readAllStandardOutput());
}

// A manual page as the lines it prints, roughly: requests dropped, escapes undone, each
// text line trimmed; the section titles kept as "#TITLE".
QStringList pageLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {"<missing " + path + ">"};
    QStringList out;
    for (QString l : QString::fromUtf8(f.readAll()).split('\n')) {
        if (l.startsWith(".SH ")) out << "#" + l.mid(4);
        if (l.startsWith('.')) continue;
        l.replace("\\fB", "").replace("\\fR", "").replace("\\fI", "").replace("\\-", "-")
            .replace("\\&", "").replace("\\e", "\\");
        out << l.trimmed();
    }
    return out;
}

// The lines of one section, up to the next.
QStringList section(const QStringList& lines, const QString& title)
{
    const int from = lines.indexOf("#" + title);
    if (from < 0) return {"<no section " + title + ">"};
    QStringList out;
    for (int i = from + 1; i < lines.size() && !lines[i].startsWith('#'); ++i) out << lines[i];
    return out;
}

// The help's option and command lines, trimmed, in order; an option's name and the first
// line of its text come apart, as the page has them.
QStringList helpLines(const QString& help, bool commands)
{
    const int split = help.indexOf("\nComandos:\n");
    const QString part = commands ? help.mid(split + 11) : help.mid(0, split < 0 ? -1 : split)
                                                               .section("\n\n", 1);
    QStringList out;
    static const QRegularExpression option("^  (-\\S+(?: [A-Z]+)?)\\s{2,}(.*)$");
    for (const QString& l : part.split('\n', Qt::SkipEmptyParts)) {
        const auto m = option.match(l);
        if (!commands && m.hasMatch()) out << m.captured(1) << m.captured(2).trimmed();
        else out << l.trimmed();
    }
    return out;
}

}  // namespace

class TestDocs : public testdata::DataFolderTest {
    Q_OBJECT
    QList<QUrl> opened_;

public slots:
    void openUrl(const QUrl& url) { opened_ << url; }

private slots:
    void initTestCase()
    {
        QDesktopServices::setUrlHandler("file", this, "openUrl");
        qputenv("TOLMARE_MANUAL", TOLMARE_BUILD_DIR "/manual");
        ui::installManualKey(*qApp);
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler("file"); }
    void init()
    {
        freshFolder();
        opened_.clear();
    }

    void manualPageSaysWhatHelpSays_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("lang");
        QTest::newRow("tolmare-cli pt") << "tolmare-cli" << "pt";
        QTest::newRow("tolmare-cli en") << "tolmare-cli" << "en";
        QTest::newRow("tolmare pt") << "tolmare" << "pt";
        QTest::newRow("tolmare en") << "tolmare" << "en";
    }
    void manualPageSaysWhatHelpSays()
    {
        QFETCH(QString, program);
        QFETCH(QString, lang);
        const QString help = run(program, {"--help"});
        const QStringList page =
            pageLines(QString(TOLMARE_BUILD_DIR "/man/%1/%2.1").arg(lang, program));
        const bool pt = lang == "pt";
        // The synopsis is the help's usage line.
        QCOMPARE(section(page, pt ? "SINOPSE" : "SYNOPSIS").join(' '),
                 help.section('\n', 0, 0).mid(5));
        const QStringList options = section(page, pt ? "OPÇÕES" : "OPTIONS");
        const QStringList helpOptions = helpLines(help, false);
        if (pt) {
            QCOMPARE(options, helpOptions);
        } else {
            static const QRegularExpression name("^  (-\\S+(?: [A-Z]+)?)  ",
                                                 QRegularExpression::MultilineOption);
            for (auto m = name.globalMatch(help); m.hasNext();) {  // names alike, texts translated
                const QString n = m.next().captured(1);
                QVERIFY2(options.contains(n), qPrintable(n));
            }
        }
        if (program != "tolmare-cli") return;
        const QStringList commands = section(page, pt ? "COMANDOS" : "COMMANDS");
        const QStringList helpCommands = helpLines(help, true);
        if (pt) {
            QCOMPARE(commands, helpCommands);
        } else {
            // Every command's usage line, in the same order.
            int at = 0;
            for (const QString& l : help.mid(help.indexOf("\nComandos:\n")).split('\n'))
                if (l.startsWith("  ") && !l.startsWith("      ")) {
                    at = commands.indexOf(l.trimmed(), at);
                    QVERIFY2(at >= 0, qPrintable(l));
                }
        }
    }

    void completion_data()
    {
        QTest::addColumn<QString>("words");
        QTest::addColumn<QString>("offered");
        QTest::newRow("commands") << "tolmare-cli re" << "relatorio remessa restaurar retorno";
        QTest::newRow("options") << "tolmare-cli --cr" << "--criar-pasta";
        QTest::newRow("a command's options") << "tolmare-cli --dados /tmp retorno --re"
                                             << "--reimportar";
    }
    void completion()
    {
        QFETCH(QString, words);
        QFETCH(QString, offered);
        const QStringList w = words.split(' ');
        QProcess bash;
        bash.start("bash", {"-c", QString("source %1; COMP_WORDS=(%2); COMP_CWORD=%3; "
                                          "_tolmare_cli; echo \"${COMPREPLY[*]}\"")
                                      .arg(TOLMARE_BUILD_DIR "/completion/tolmare-cli", words)
                                      .arg(w.size() - 1)});
        QVERIFY(bash.waitForFinished(10000));
        QCOMPARE(QString::fromUtf8(bash.readAllStandardOutput()).trimmed(), offered);
    }

    void versionIsOne()
    {
        const QString cli = run("tolmare-cli", {"--version"});
        QVERIFY(cli.startsWith("tolmare-cli "));
        QCOMPARE(run("tolmare", {"--version"}), "tolmare " + cli.mid(12));
    }

    // Every window the program builds (a constructor naming its own object) has a page.
    void everyWindowHasAPage()
    {
        const QString folder = ui::manualFolder();
        static const QRegularExpression own("^    setObjectName\\(\"(\\w+)\"\\);",
                                            QRegularExpression::MultilineOption);
        QStringList windows;
        QDirIterator it(TOLMARE_SOURCE_DIR, {"*.cpp"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (!path.contains("/ui/") || path.contains("/tests/") || path.contains("/build"))
                continue;
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            for (auto m = own.globalMatch(QString::fromUtf8(f.readAll())); m.hasNext();)
                windows << m.next().captured(1);
        }
        QVERIFY(windows.contains("FDebito"));
        for (const QString& w : windows) {
            const QString page = ui::manualPage(folder, w);
            QVERIFY2(!page.isEmpty(), qPrintable(w + " has no page in the manual"));
            QVERIFY2(QFile::exists(QDir(folder).filePath(page)), qPrintable(page));
        }
    }

    void f1OpensTheWindowsPage_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("page");
        QTest::newRow("named") << "FmBackup" << "backup.html";
        QTest::newRow("unknown, inside a named one") << "" << "backup.html";
        QTest::newRow("unknown alone") << "QualquerOutra" << "index.html";
    }
    void f1OpensTheWindowsPage()
    {
        QFETCH(QString, window);
        QFETCH(QString, page);
        QDialog outer;
        outer.setObjectName(window.isEmpty() ? "FmBackup" : window);
        QDialog inner(&outer);
        QDialog* target = window.isEmpty() ? &inner : &outer;
        target->show();
        QVERIFY(QTest::qWaitForWindowExposed(target));
        QTest::keyClick(target, Qt::Key_F1);
        QCOMPARE(opened_.size(), 1);
        QCOMPARE(opened_.first().toLocalFile(),
                 QDir(ui::manualFolder()).filePath(page));
    }

    // tolmare ARQUIVO.bck: the restore tab, the archive chosen, its content listed.
    void backupOpenedOnItsArchive()
    {
        testdata::ScriptedDialogs dialogs;
        const QString archive = QDir(dir_.path()).filePath("Backup Tolmare 01-07-2026.Bck");
        QProcess cli;
        cli.start(TOLMARE_BUILD_DIR "/bin/tolmare-cli",
                  {"--dados", folder_, "backup", archive, QDir(folder_).filePath("*.DB"),
                   "--titulo", "Julho", "--ids"});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 0);
        TFmBackup w;
        w.show();
        QVERIFY(w.chooseArchive(archive));
        QCOMPARE(w.PageControl1->currentIndex(), 1);
        QCOMPARE(w.FileListBox1->currentItem()->text(), QFileInfo(archive).fileName());
        QCOMPARE(w.Edit2->text(), "Julho");
        QVERIFY(w.MeFiles->toPlainText().contains("GRUPO.DB"));
        QVERIFY(!w.chooseArchive(QDir(dir_.path()).filePath("nenhum.bck")));
    }
};

QTEST_MAIN(TestDocs)
#include "tst_docs.moc"

// Every window of the program, offscreen, at the default font, at a 14-point font and (as a
// second run of this program) with QT_SCALE_FACTOR=1.5: no label or column title cut, and no
// control that takes the focus without an accessible name. With TOLMARE_CAPTURAS set to a
// folder, each window is also saved there as a picture to look at.
#include "backup/ui/UFmBackup.h"
#include "collection/ui/UExtrato.h"
#include "collection/ui/UInadimplentes.h"
#include "collection/ui/UPainel.h"
#include "core/dm/UDMAssociados.h"
#include "core/dm/UDMDebito.h"
#include "core/dm/UDMParametros.h"
#include "core/dm/UDMRemessa_Previ.h"
#include "core/dm/UDMRet_Debito.h"
#include "core/dm/UDmGrupo.h"
#include "core/ui/Status.h"
#include "core/ui/UTolmare.h"
#include "debits/ui/UDebito.h"
#include "debits/ui/UDigitacao_Grupo.h"
#include "debits/ui/UDigitacao_Valor.h"
#include "legacy_import/ui/UImport.h"
#include "registers/ui/UAssociados.h"
#include "registers/ui/UGrupo.h"
#include "registers/ui/UParametros.h"
#include "registers/ui/UPesquizar_Cliente_Deb.h"
#include "registers/ui/UPesquizar_Cliente_Debitado.h"
#include "remittance/ui/UImpRetorno.h"
#include "remittance/ui/ULogImpBB.h"
#include "remittance/ui/URRetorno.h"
#include "remittance/ui/URemessa_Previ.h"
#include "remittance/ui/URet_Debito.h"
#include "tests/common/ScriptedDialogs.h"
#include "tests/common/TestData.h"
#include "tests/legacy_import/LegacyTables.h"
#include "core/engine/EngineConfig.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QStyle>
#include <QTableView>
#include <QTest>

#include <functional>
#include <memory>

namespace {

// A window with the data modules it works on, freed in the opposite order.
struct Aberta {
    std::vector<std::shared_ptr<QObject>> modulos;
    std::unique_ptr<QWidget> janela;
};

template <class... Dm>
std::vector<std::shared_ptr<QObject>> modulos()
{
    return {std::make_shared<Dm>()...};
}

template <class W, class... Dm>
std::function<Aberta()> abrir()
{
    return [] {
        Aberta a{modulos<Dm...>(), nullptr};
        a.janela = std::make_unique<W>();
        return a;
    };
}

using Abridor = std::function<Aberta()>;

// The status window as the table check shows it: a table's name after "Corrente:".
Aberta statusDaVerificacao()
{
    QByteArray r(521, '\0');
    const QByteArray table = "ASSOCIADOS.DB";
    r[1] = 5;  // of five tables
    r[5] = 3;  // the third
    r[9] = char(table.size());
    r.replace(10, table.size(), table);
    const QByteArray inicio(521, '\0');
    StatusCallback(reinterpret_cast<const unsigned char*>(inicio.constData()));
    r[0] = 4;
    StatusCallback(reinterpret_cast<const unsigned char*>(r.constData()));
    return {{}, std::unique_ptr<QWidget>(FormStatus)};
}

QString semAtalho(QString t) { return t.remove('&'); }

QStringList problemas(QWidget* janela)
{
    QStringList out;
    const QString nome = janela->objectName();
    for (QWidget* w : janela->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(janela)) continue;
        if (w->focusPolicy() != Qt::NoFocus && w->isEnabled() && w->accessibleName().isEmpty())
            out << QString("%1: %2 (%3) sem nome acessível")
                       .arg(nome, w->objectName(), w->metaObject()->className());
        if (auto* l = qobject_cast<QLabel*>(w); l && !l->wordWrap() && !l->text().isEmpty()
                                                 && !Qt::mightBeRichText(l->text())
                                                 && !l->inherits("components::ElidedLabel")) {
            const int need = l->fontMetrics().horizontalAdvance(semAtalho(l->text()));
            if (need > l->contentsRect().width())
                out << QString("%1: rótulo \"%2\" cortado (%3 de %4 pixels)")
                           .arg(nome, l->text()).arg(l->contentsRect().width()).arg(need);
        }
        if (auto* l = qobject_cast<QLabel*>(w); l && !l->text().isEmpty()) {
            const QRect mine(l->pos(), QSize(std::min(l->width(), l->sizeHint().width()),
                                             l->height()));
            for (QLabel* o : l->parentWidget()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
                if (o != l && o->isVisibleTo(janela) && !o->text().isEmpty() && o->x() > l->x()
                    && mine.intersects(o->geometry()))
                    out << QString("%1: rótulo \"%2\" sob \"%3\"").arg(nome, o->text(), l->text());
        }
        if (auto* h = qobject_cast<QHeaderView*>(w); h && h->orientation() == Qt::Horizontal) {
            const int margin = 2 * h->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, h);
            for (int i = 0; i < h->count(); ++i) {
                if (h->isSectionHidden(i)) continue;
                const QString title = h->model()->headerData(i, Qt::Horizontal).toString();
                const int need = h->fontMetrics().horizontalAdvance(title) + margin;
                if (need > h->sectionSize(i))
                    out << QString("%1: coluna \"%2\" cortada (%3 de %4 pixels)")
                               .arg(nome, title).arg(h->sectionSize(i)).arg(need);
            }
        }
    }
    return out;
}

}  // namespace

Q_DECLARE_METATYPE(Abridor)

class TestWindowTexts : public testdata::DataFolderTest {
    Q_OBJECT

private slots:
    void init()
    {
        freshFolder();
        testdata::addRow("PARAMETROS.DB", {{"EMP_NOME", "ASSOCIACAO DOS APOSENTADOS"}});
        testdata::addRow("GRUPO.DB", {{"GRP_DESCRICAO", "APOSENTADOS E PENSIONISTAS"}});
        testdata::addRow("ASSOCIADOS.DB", {{"ASS_NOME", "MARIA APARECIDA DOS SANTOS"},
                                           {"ASS_GRP_ID", 1.0}, {"ASS_MATRICULA", "1234567"},
                                           {"ASS_AGENCIA", "1234-5"}});
        testdata::addRow("DEBITO.DB", {{"DEB_DATA", QDate(2026, 12, 10)}, {"DEB_ASS_ID", 1.0},
                                       {"DEB_VALOR", 1234.5}, {"DEB_DTA_CAD", QDate(2026, 12, 1)},
                                       {"DEB_USR_ID", 1}});
        testdata::addRow("RET_DEBITO.DB", {{"DEB_DATA", QDate(2026, 12, 10)}, {"DEB_ASS_ID", 1.0},
                                           {"DEB_REMESSA", 42.0}, {"DEB_VALOR", 1234.5},
                                           {"DEB_OCORRENCIA", "SALDO INSUFICIENTE"},
                                           {"DEB_DTA_CAD", QDate(2026, 12, 1)},
                                           {"DEB_USR_ID", 1}});
        const QString imp = QDir(folder_).filePath("Imp");
        QDir().mkpath(imp);
        db::EngineConfig::overrideAlias("Imp", imp);
        QVERIFY(testdata::writeGroups(imp, {{"1", "Aposentados"}}));
        QVERIFY(testdata::writeMembers(imp, {{"1", "12340", "123456", "Ana", "1"}}));
    }

    void everyWindow_data()
    {
        QTest::addColumn<int>("pontos");  // 0: the default font
        QTest::addColumn<Abridor>("abrir");
        const QList<std::pair<const char*, Abridor>> janelas{
            {"principal", abrir<TFTolmare>()},
            {"status", statusDaVerificacao},
            {"parametros", abrir<TFParametros, TDMParametros>()},
            {"grupos", abrir<TFGrupo, TDmGrupo>()},
            {"associados", abrir<TFAssociados, TDMAssociados>()},
            {"pesquisa", abrir<TFPesquizar_Cliente_Deb, TDMDebito>()},
            {"pesquisa debitado", abrir<TFPesquizar_Cliente_Debitado, TDMAssociados>()},
            {"debitos", abrir<TFDebito, TDMDebito>()},
            {"digitacao", [] {
                 Aberta a{modulos<TDMDebito>(), nullptr};
                 auto w = std::make_unique<TFDigitacao_Valor>();
                 w->setModo(TFDigitacao_Valor::Modo::Alterar);
                 a.janela = std::move(w);
                 return a;
             }},
            {"digitacao grupo", abrir<TFDigitacao_Grupo, TDMDebito>()},
            {"remessa", abrir<TFRemessa_Previ, TDMRemessa_Previ>()},
            {"retornos", abrir<TFRet_Debito, TDMRet_Debito>()},
            {"importar retorno", abrir<TFImpRetorno, TDMRet_Debito>()},
            {"resumo", abrir<TfmLogImpBB>()},
            {"relatorio retorno", abrir<TFRRetorno, TDMRet_Debito>()},
            {"backup", abrir<TFmBackup>()},
            {"importar", abrir<TFImport>()},
            {"inadimplentes", abrir<TFInadimplentes>()},
            {"extrato", [] { return Aberta{{}, std::make_unique<TFExtrato>(1.0)}; }},
            {"painel", abrir<TFPainel>()},
        };
        for (const int pontos : {0, 14})
            for (const auto& [nome, f] : janelas)
                QTest::addRow("%s %d", nome, pontos) << pontos << f;
    }
    void everyWindow()
    {
        QFETCH(int, pontos);
        QFETCH(Abridor, abrir);
        const QFont antes = QApplication::font();
        if (pontos > 0) {
            QFont f = antes;
            f.setPointSize(pontos);
            QApplication::setFont(f);
        }
        struct Volta {
            QFont f;
            ~Volta() { QApplication::setFont(f); }
        } volta{antes};
        testdata::ScriptedDialogs dialogs;
        dialogs.answer = false;
        TFDigitacao_Valor::abrirBusca = [](TFDigitacao_Valor&) {};
        Aberta a = abrir();
        a.janela->show();
        QVERIFY(QTest::qWaitForWindowExposed(a.janela.get()));
        const QString pasta = qEnvironmentVariable("TOLMARE_CAPTURAS");
        if (!pasta.isEmpty())
            a.janela->grab().save(QDir(pasta).filePath(
                QString("%1-%2-%3.png")
                    .arg(QTest::currentDataTag())
                    .arg(qgetenv("QT_SCALE_FACTOR").isEmpty() ? "1" : "1.5")
                    .arg(pontos)
                    .replace(' ', '_')));
        const QStringList p = problemas(a.janela.get());
        a.janela->hide();
        QVERIFY2(p.isEmpty(), qPrintable(p.join('\n')));
    }
};

QTEST_MAIN(TestWindowTexts)
#include "tst_window_texts.moc"

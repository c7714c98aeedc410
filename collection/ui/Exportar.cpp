#include "collection/ui/Exportar.h"

#include "core/Dialogs.h"
#include "core/engine/EngineError.h"

#include <QDir>
#include <QFileInfo>
#include <QPushButton>

namespace cobranca_ui {

bool exportar(const QString& nome, const std::function<cobranca::Planilha()>& make)
{
    QString path = dialogs::current().saveFileName(
        "Exportar", QDir::home().filePath(nome + ".csv"),
        "Planilha CSV (*.csv);;Planilha Excel (*.xlsx)");
    if (path.isEmpty()) return false;
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != "csv" && suffix != "xlsx") path += ".csv";
    try {
        cobranca::Planilha p = make();
        const cobranca::ResultadoPlanilha r = cobranca::gravarPlanilha(path, p);
        if (!r.ok) {
            dialogs::current().message(dialogs::Kind::Error, r.mensagem);
            return false;
        }
        dialogs::current().message(dialogs::Kind::Information,
                                   QString("Planilha gravada em %1 (%2 linha(s)).")
                                       .arg(QDir::toNativeSeparators(path))
                                       .arg(r.linhas));
        return true;
    } catch (const db::EngineError& e) {
        dialogs::current().message(dialogs::Kind::Error, e.message());
        return false;
    }
}

QPushButton* botaoExportar(QWidget* parent)
{
    auto* b = new QPushButton("E&xportar…", parent);
    b->setObjectName("Btn_Exportar");
    b->setFlat(true);
    b->setAutoDefault(false);
    b->setToolTip("Grava a lista numa planilha CSV ou XLSX");
    return b;
}

}  // namespace cobranca_ui

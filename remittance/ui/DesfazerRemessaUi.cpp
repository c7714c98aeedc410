#include "remittance/ui/DesfazerRemessaUi.h"

#include "core/Dialogs.h"
#include "core/engine/EngineError.h"
#include "remittance/DesfazerRemessa.h"

#include <QDir>

namespace remessa_ui {

void desfazerUltimaRemessa()
{
    const QString title = "Desfazer a última remessa";
    std::optional<remessa::UltimaRemessa> last;
    try {
        last = remessa::ultimaRemessa();
    } catch (const db::EngineError& e) {
        dialogs::current().message(dialogs::Kind::Error, e.message(), title);
        return;
    }
    if (!last) {
        dialogs::current().message(dialogs::Kind::Information,
                                   "Não há remessa a desfazer: a última remessa gerada não foi "
                                   "registrada para ser desfeita.", title);
        return;
    }
    if (!last->recusa.isEmpty()) {
        dialogs::current().message(dialogs::Kind::Warning, last->recusa, title);
        return;
    }
    const QString file = QDir::toNativeSeparators(last->arquivo);
    if (!dialogs::current().yesNo(
            QString("Desfazer a remessa %1 de %2?\n\nOs débitos, as linhas de retorno e o número "
                    "da remessa voltam ao que eram antes dela.\n\nO arquivo\n%3\nnão é apagado: "
                    "ele passa a se chamar\n%3.desfeita\nSe ele já foi enviado ao PREVI, avise "
                    "o PREVI de que esta remessa não vale.")
                .arg(last->numero)
                .arg(last->dataDebito.toString("dd/MM/yyyy"), file),
            title))
        return;
    const remessa::ResultadoDesfazer r = remessa::desfazerUltimaRemessa();
    dialogs::current().message(r.kind == remessa::ResultadoDesfazer::Kind::Done
                                   ? dialogs::Kind::Information
                                   : dialogs::Kind::Error,
                               r.message, title);
}

}  // namespace remessa_ui

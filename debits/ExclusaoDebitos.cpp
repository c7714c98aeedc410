#include "debits/ExclusaoDebitos.h"

#include "core/dm/UDMDebito.h"
#include "core/engine/Connection.h"

namespace debitos {

const char* const kPerguntaExcluir = "Excluir o Registro Atual ?";
const char* const kPerguntaApagarTodos1 =
    "Esta opção irá excluir TODOS OS REGISTROS!  Confirma ?";
const char* const kPerguntaApagarTodos2 = "Tem certeza que deseja apagar TODOS OS DEBITOS ?";

QString perguntaApagarTodos(int naTabela, int naLista)
{
    QString text = QString(kPerguntaApagarTodos2) + "\n\n"
                   + QString("Serão apagados os %1 débitos da tabela").arg(naTabela);
    if (naTabela > naLista)
        text += QString(", inclusive %1 que a lista não mostra (de outros grupos, ou de "
                        "associados ou grupos que não existem mais)")
                    .arg(naTabela - naLista);
    return text + ".";
}

bool excluirDebitoAtual(TDMDebito& dm)
{
    db::Query& list = *dm.QDebito;
    if (!list.active() || list.isEmpty()) return false;
    const QVariantList key{list.fieldByName("DEB_DATA").value(),
                           list.fieldByName("DEB_ASS_ID").value(),
                           list.fieldByName("DEB_VALOR").value()};
    db::Table& debits = *dm.TDebito;
    debits.setIndexName({});
    if (!debits.findKey(key)) return false;
    debits.deleteRecord();
    return true;
}

int apagarTodosDebitos(TDMDebito& dm)
{
    db::Table& debits = *dm.TDebito;
    debits.cancel();
    debits.disableControls();
    struct Resume {
        db::Table& t;
        ~Resume() { t.enableControls(); }
    } resume{debits};
    int n = 0;
    try {
        db::Transaction tx(*debits.connection());
        for (debits.last(); !debits.isEmpty(); ++n) debits.deleteRecord();
        tx.commit();
    } catch (...) {
        // Rolled back: every debit is there again; the table goes back to its first row.
        try {
            debits.first();
        } catch (...) {
        }
        throw;
    }
    return n;
}

bool localizarDebitoParaAlterar(TDMDebito& dm)
{
    db::Query& list = *dm.QDebito;
    if (!list.active() || list.isEmpty()) return false;
    return dm.TDebito->locate("DEB_ASS_ID;DEB_VALOR", {list.fieldByName("DEB_ASS_ID").value(),
                                                       list.fieldByName("DEB_VALOR").value()});
}

}  // namespace debitos

#include "debits/ListaDebitos.h"

#include "core/dm/UDMDebito.h"
#include "core/engine/EngineError.h"
#include "core/engine/Query.h"

namespace debitos {

namespace {

// Which debit the list stands on: its member and value (member 0: none).
struct Target {
    qint64 member = 0;
    QVariant value;
};

Target targetOf(db::Query& list)
{
    if (!list.active() || list.isEmpty()) return {};
    return {list.fieldByName("DEB_ASS_ID").asInteger(), list.fieldByName("DEB_VALOR").value()};
}

bool locateTarget(db::Query& list, const Target& t)
{
    if (t.member == 0) return false;
    try {
        return list.locate("DEB_ASS_ID;DEB_VALOR", {double(t.member), t.value});
    } catch (const db::EngineError&) {
        return false;
    }
}

// Re-enables the controls of a dataset when the rebuild leaves, however it leaves.
struct ControlsSuspended {
    explicit ControlsSuspended(db::Query& q) : q_(q) { q_.disableControls(); }
    ~ControlsSuspended() { q_.enableControls(); }
    db::Query& q_;
};

}  // namespace

QStringList ordemCaptions()
{
    return {"&Alfabética", "&Conta Corrente", "&Grupo", "&Identificador", "&Matricula"};
}

QStringList statementLines(Ordem ordem, std::optional<qint64> grupo)
{
    // QDebito's base statement without its closing blank line.
    QStringList lines = TDMDebito::baseStatement();
    lines.removeLast();
    if (grupo) lines << "  AND GRP_ID = " + QString::number(*grupo);
    static const char* const first[kOrdens] = {"ASS_NOME", "ASS_CONTA_CORRENTE", "GRP_DESCRICAO",
                                               "ASS_IDENTIFICADOR", "ASS_MATRICULA"};
    const int i = int(ordem);
    lines << "ORDER BY" << QString("  ") + first[i];
    lines << (ordem == Ordem::Alfabetica ? "  ,ASS_CONTA_CORRENTE" : "  ,ASS_NOME");
    lines << "  ,DEB_DATA";
    return lines;
}

void rebuildList(db::Query& list, Ordem ordem, std::optional<qint64> grupo)
{
    ControlsSuspended suspended(list);
    // The debit to find again, and a neighbour for when it is gone: the row above, or, at the
    // beginning of the list, the row two below.
    const Target first = targetOf(list);
    Target second;
    if (first.member != 0) {
        if (!list.bof()) {
            list.prior();
        } else {
            list.next();
            list.next();
        }
        second = targetOf(list);
    }
    list.close();
    list.setSql(statementLines(ordem, grupo));
    list.open();
    if (!locateTarget(list, first)) locateTarget(list, second);
}

}  // namespace debitos

#include "registers/MemberSearch.h"

#include "core/engine/Table.h"

namespace registers {

QString indexOfTab(SearchTab tab)
{
    switch (tab) {
    case SearchTab::ContaCorrente: return QStringLiteral("ID_ASSOCIADOS_CONTA");
    case SearchTab::Identificador: return QStringLiteral("ID_ASSOCIADO_IDENTIF");
    case SearchTab::Nome: break;
    }
    return QStringLiteral("ID_ASSOCIADOS_NOME");
}

QString fieldOfTab(SearchTab tab)
{
    switch (tab) {
    case SearchTab::ContaCorrente: return QStringLiteral("ASS_CONTA_CORRENTE");
    case SearchTab::Identificador: return QStringLiteral("ASS_IDENTIFICADOR");
    case SearchTab::Nome: break;
    }
    return QStringLiteral("ASS_NOME");
}

void MemberSearch::open()
{
    if (!search_.active()) search_.open();
    setTab(tab_);
}

void MemberSearch::setTab(SearchTab tab)
{
    tab_ = tab;
    if (search_.indexName() != indexOfTab(tab)) search_.setIndexName(indexOfTab(tab));
}

void MemberSearch::search(const QString& text)
{
    // An empty text is a blank key, which comes first in every order. Any other text is handed
    // to the engine as typed, so that on the identifier's number field its own conversion
    // accepts or refuses it (before anything moves).
    search_.findNearest({text.isEmpty() ? QVariant() : QVariant(text)});
}

QVariant MemberSearch::currentMember() const
{
    if (!search_.active() || search_.isEmpty()) return {};
    return search_.fieldByName(QStringLiteral("ASS_ID")).value();
}

void handBackToRegister(const QVariant& member, db::Table& associados)
{
    // Switching the order finishes the register's pending change first; a refusal is thrown
    // from here, before the register moves.
    associados.setIndexName(QString());
    if (member.isValid() && !member.isNull()) associados.findKey({member});
    associados.setIndexName(QStringLiteral("ID_ASSOCIADOS_NOME"));
}

void handBackToDebit(const QVariant& member, db::Table& debito)
{
    if (!member.isValid() || member.isNull()) return;
    if (debito.state() == db::DatasetState::Insert) {
        debito.fieldByName(QStringLiteral("DEB_ASS_ID")).setValue(member);
        return;
    }
    debito.locate(QStringLiteral("DEB_ASS_ID"), {member});
}

void dropPendingDebit(db::Table& debito)
{
    if (debito.state() == db::DatasetState::Insert || debito.state() == db::DatasetState::Edit)
        debito.cancel();
}

}  // namespace registers

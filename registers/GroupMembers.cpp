#include "registers/GroupMembers.h"

#include "core/engine/EngineError.h"
#include "core/engine/Table.h"

namespace registers {

int membersOfGroup(const QVariant& groupId)
{
    if (!groupId.isValid() || groupId.isNull()) return 0;
    db::Table members;
    members.setDatabaseName("Tolmare");
    members.setTableName("ASSOCIADOS.DB");
    members.setIndexName("ID_ASSOCIADOS_GRUPO");
    members.open();
    members.setRange({groupId}, {groupId});
    const int n = members.recordCount();
    members.close();
    return n;
}

void checkGroupDeletable(db::Dataset& grupo)
{
    if (!grupo.active() || grupo.isEmpty()) return;
    const int n = membersOfGroup(grupo.fieldByName("GRP_ID").value());
    if (n == 0) return;
    throw db::EngineError(
        QString("O grupo \"%1\" não pode ser apagado: %2 associado(s) ainda pertencem a ele. "
                "Mude esses associados de grupo no Cadastro de Associados e apague o grupo "
                "depois.")
            .arg(grupo.fieldByName("GRP_DESCRICAO").asString())
            .arg(n));
}

}  // namespace registers

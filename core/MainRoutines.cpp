#include "core/MainRoutines.h"

#include "core/engine/Query.h"
#include "core/engine/Table.h"

QString Complementa_Texto_Direita(const QString& text, const QString& fill, int length)
{
    const int missing = length - int(text.size());
    if (missing <= 0) return length <= 0 ? QString() : text.left(length);
    return fill.repeated(missing) + text;
}

void Apagar_Duplicacoes_Retorno()
{
    db::Query pairs;
    pairs.setDatabaseName("Tolmare");
    pairs.setSql({"SELECT", "  DEB_DATA", "  ,DEB_ASS_ID", "  ,COUNT(*) NR", "FROM",
                  "  RET_DEBITO", "GROUP BY", "  DEB_DATA", "  ,DEB_ASS_ID", "HAVING",
                  "  COUNT(*) > 1"});
    pairs.open();
    if (pairs.isEmpty()) return;

    db::Table ret;
    ret.setDatabaseName("Tolmare");
    ret.setTableName("RET_DEBITO.DB");
    ret.setIndexName("Si_Data_Associado");
    ret.open();
    for (pairs.first(); !pairs.eof(); pairs.next()) {
        const QVariantList key{pairs.fieldByName("DEB_DATA").value(),
                               pairs.fieldByName("DEB_ASS_ID").value()};
        ret.cancelRange();
        ret.setRange(key, key);
        ret.last();
        while (!ret.bof() && ret.recordCount() > 1) ret.deleteRecord();
    }
}

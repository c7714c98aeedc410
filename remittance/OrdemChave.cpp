#include "remittance/OrdemChave.h"

#include "core/TableDefs.h"

#include <QStringList>

#include <stdexcept>

namespace remessa {

QString ordemDaChave(const char* fileName, const char* index, const QString& alias)
{
    const store::TableSpec* t = tables::find(fileName);
    const store::IndexSpec* chosen = nullptr;
    if (t)
        for (const store::IndexSpec& idx : t->indexes)
            if (idx.name == index) chosen = &idx;
    if (!chosen) throw std::logic_error(std::string("no index ") + index + " in " + fileName);
    QStringList cols;
    for (const int f : store::storedIndexFields(*t, *chosen))
        cols << alias + QString::fromStdString(t->fields[size_t(f - 1)].name);
    if (!t->rowidKey()) cols << alias + "rowid";
    return cols.join(", ");
}

}  // namespace remessa

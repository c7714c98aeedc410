// Test support: small legacy dBase tables written through shapelib's writer, in the layout the
// legacy system gave them (Recgrp.dbf: GRUPO, DESCRI; Reccli.dbf: GRUPO, AGENCIA, CONTA,
// NOME, IE), with texts in Windows-1252.
#pragma once

#include "core/Cp1252.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QSet>
#include <QStringList>

#include <shapefil.h>

namespace testdata {

struct DbfField {
    const char* name;
    char type;  // 'C' text, 'N' whole number
    int width;
};

// Writes the table; a "*" before a row's first value marks the record deleted. Returns false
// when shapelib refuses a step.
inline bool writeDbf(const QString& path, const QList<DbfField>& fields,
                     const QList<QStringList>& rows)
{
    QFile::remove(path);
    DBFHandle h = DBFCreate(QFile::encodeName(path).constData());
    if (!h) return false;
    bool ok = true;
    for (const DbfField& f : fields)
        ok = ok && DBFAddField(h, f.name, f.type == 'N' ? FTInteger : FTString, f.width, 0) >= 0;
    for (int r = 0; ok && r < rows.size(); ++r) {
        QStringList values = rows[r];
        const bool deleted = !values.isEmpty() && values.first().startsWith('*');
        if (deleted) values.first().remove(0, 1);
        for (int c = 0; ok && c < fields.size(); ++c) {
            const QString v = values.value(c);
            if (fields[c].type == 'N' && !v.isEmpty())
                ok = DBFWriteIntegerAttribute(h, r, c, v.toInt());
            else if (fields[c].type == 'N')
                ok = DBFWriteNULLAttribute(h, r, c);
            else
                ok = DBFWriteStringAttribute(h, r, c, cp1252::encode(v).constData());
        }
        if (ok && deleted) ok = DBFMarkRecordDeleted(h, r, 1);
    }
    DBFClose(h);
    return ok;
}

// Recgrp.dbf: rows of GRUPO, DESCRI.
inline bool writeGroups(const QString& folder, const QList<QStringList>& rows,
                        const QString& name = "Recgrp.dbf")
{
    return writeDbf(QDir(folder).filePath(name), {{"GRUPO", 'N', 3}, {"DESCRI", 'C', 60}}, rows);
}

// Reccli.dbf: rows of GRUPO, AGENCIA, CONTA, NOME, IE.
inline bool writeMembers(const QString& folder, const QList<QStringList>& rows,
                         const QString& name = "Reccli.dbf")
{
    return writeDbf(QDir(folder).filePath(name),
                    {{"GRUPO", 'C', 3}, {"AGENCIA", 'C', 8}, {"CONTA", 'C', 12},
                     {"NOME", 'C', 50}, {"IE", 'C', 14}},
                    rows);
}

}  // namespace testdata

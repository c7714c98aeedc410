// A legacy dBase table, read record by record through shapelib's DBF reader. Every field is
// read as text: the bytes of the record, in the table's code page, without the blanks that pad
// them (numbers, dates and logicals are right-aligned, so their leading blanks go too).
// A table whose header does not fit the file is refused at opening, before anything is read.
// Every failure is a db::EngineError whose message names the file (and the field).
#pragma once

#include "core/engine/EngineError.h"

#include <QByteArray>
#include <QString>

namespace legado {

class DbfTable {
public:
    DbfTable() = default;
    ~DbfTable();
    DbfTable(const DbfTable&) = delete;
    DbfTable& operator=(const DbfTable&) = delete;

    // Opens `fileName` in `folder`, whatever the case of the name on disk.
    void open(const QString& folder, const QString& fileName);
    // Opens the file at `path` as it stands.
    void openPath(const QString& path);
    void close();
    bool isOpen() const { return handle_ != nullptr; }

    // The file's name as found on disk ("RECGRP.DBF").
    QString fileName() const { return fileName_; }
    int recordCount() const { return records_; }

    // The index of a field (the case of the name does not matter); throws db::EngineError naming
    // the file and the field when the table has no such field.
    int fieldIndex(const QString& name) const;

    // Records count from 0. A deleted record is marked so but still read.
    bool isDeleted(int record) const;
    // The field's bytes without padding. Throws db::EngineError when the record cannot be read.
    QByteArray text(int record, int field) const;

private:
    const char* tuple(int record) const;
    void* handle_ = nullptr;
    QString fileName_;
    int records_ = 0;
};

}  // namespace legado

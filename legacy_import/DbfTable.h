// A legacy dBase table, read record by record through shapelib's DBF reader. Every field is
// read as text: the bytes of the record, in the table's code page, without the blanks that pad
// them (numbers, dates and logicals are right-aligned, so their leading blanks go too).
// A table whose header does not fit the file is refused at opening, before anything is read.
#pragma once

#include <QByteArray>
#include <QString>

#include <stdexcept>

namespace legado {

// A table that cannot be opened or read; the message names the file (and the field).
class DbfError : public std::runtime_error {
public:
    explicit DbfError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

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

    // The index of a field (the case of the name does not matter); throws DbfError naming
    // the file and the field when the table has no such field.
    int fieldIndex(const QString& name) const;

    // Records count from 0. A deleted record is marked so but still read.
    bool isDeleted(int record) const;
    // The field's bytes without padding. Throws DbfError when the record cannot be read.
    QByteArray text(int record, int field) const;

private:
    const char* tuple(int record) const;
    void* handle_ = nullptr;
    QString fileName_;
    int records_ = 0;
};

}  // namespace legado

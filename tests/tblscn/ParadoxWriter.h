// Test support: old-format (Paradox) table files written with pxlib's own writer, and the
// header bytes the hostile cases change by hand.
#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>

namespace pxtest {

struct Column {
    const char* name;
    char type;  // pxlib's type codes: 0x01 alpha, 0x02 date, 0x03 short, 0x04 long, 0x05 money,
                // 0x06 number, 0x09 logical, 0x16 autoincrement
    int size;   // bytes (alpha: width)
};

// A cell: null QVariant (empty), QByteArray (alpha, code page bytes as they are), double,
// int (short, long, autoincrement), QDate, bool.
using Row = QList<QVariant>;

struct Table {
    QList<Column> columns;
    QList<Row> rows;
    int keyFields = 1;    // 0: a table without key
    int codePage = 1252;
    int autoInc = 0;      // the header's counter (0: pxlib's own)
    QList<int> deleted;   // rows deleted (0-based, after writing all) through pxlib
};

// Writes the table with PX_create_file and PX_put_record; false with a message on failure.
bool write(const QString& path, const Table& t, QString* error = nullptr);

// The program's five tables in the old format, in the field types the old installation used.
Table parametros(const QList<Row>& rows);
Table grupo(const QList<Row>& rows);
Table associados(const QList<Row>& rows);
Table debito(const QList<Row>& rows);
Table retDebito(const QList<Row>& rows);

// Header bytes, little-endian, changed in place.
void put16(QByteArray& b, int at, int v);
void put32(QByteArray& b, int at, uint32_t v);

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);

}  // namespace pxtest

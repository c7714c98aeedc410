// Test support: a fresh data folder holding the five empty tables, with the alias "Tolmare"
// pointed at it, and small helpers to fill tables.
#pragma once

#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QVariantMap>

namespace testdata {

// Creates the five tables (from the program's table definition) in `folder`, points the
// alias "Tolmare" there and drops every engine connection made before.
void makeDataFolder(const QString& folder);

// A new folder "d<n>" inside `dir`, different at every call, made a data folder as above
// (or only created, with `withTables` false). Returns its path.
QString nextDataFolder(const QTemporaryDir& dir, bool withTables = true);

// Appends one row to a table file of the alias "Tolmare" through the engine; fields by name.
void addRow(const QString& fileName, const QVariantMap& values);

// The number of rows of a table file (plain SQLite, no engine).
int countRows(const QString& folder, const QString& fileName);

// A program of the build run as another user cannot be read from the build folder when that
// lies in an owner-only folder (a clone in `mktemp -d`): the program and the table-structure
// component are copied into a folder of `dir` that every user may read, and the copy's path
// returned (empty when the copy fails).
QString copyForOtherUser(const QString& dir, const QString& program);

}  // namespace testdata

namespace testdata {

// The base of test classes that work in a fresh data folder per test function: call
// freshFolder() from init().
class DataFolderTest : public QObject {
protected:
    void freshFolder(bool withTables = true) { folder_ = nextDataFolder(dir_, withTables); }
    QTemporaryDir dir_;
    QString folder_;
};

}  // namespace testdata

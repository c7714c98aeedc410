// The description of the main database's tables (core/store/MainTables), which the server store
// creates its tables from, against the tables the file store's own code creates in a data
// folder's main database: the two stores hold the same tables.
#include "core/Historico.h"
#include "core/engine/Connection.h"
#include "core/engine/Database.h"
#include "core/store/MainTables.h"
#include "remittance/ArquivoPendente.h"
#include "remittance/RetornosImportados.h"
#include "tests/common/TestData.h"

#include <QDir>
#include <QTest>

#include <sqlite3.h>

namespace {

QStringList described(const store::MainTableSpec& t)
{
    QStringList out;
    for (const store::ColumnSpec& c : t.columns) {
        QString line = QString::fromStdString(c.name);
        if (c.type == store::ColumnType::Key) {
            out << line + " INTEGER key";
            continue;
        }
        line += c.type == store::ColumnType::Integer ? " INTEGER" : " TEXT";
        if (c.required) line += " NOT NULL";
        if (!c.defaultValue.empty()) line += " DEFAULT " + QString::fromStdString(c.defaultValue);
        out << line;
    }
    for (const store::IndexSpec& idx : t.indexes) {
        QStringList cols;
        for (int n : idx.fields) cols << QString::fromStdString(t.columns[size_t(n - 1)].name);
        out << "index " + QString::fromStdString(idx.name) + " (" + cols.join(", ") + ")";
    }
    return out;
}

QStringList rows(sqlite3* db, const QString& sql)
{
    QStringList out;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
        return {"?"};
    while (sqlite3_step(st) == SQLITE_ROW)
        out << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    return out;
}

}  // namespace

class TstMainTables : public testdata::DataFolderTest {
    Q_OBJECT
private slots:
    void init() { freshFolder(); }

    void describedAsTheFileStoreMakesThem()
    {
        db::Connection& c = db::Session::instance().connectionFor("Tolmare");
        historico::registrar(c, "Teste", "linha");
        retorno::registrarImportacao(c, "x", "a.txt", 1, 2026, QDate(2026, 1, 2), 1);
        {
            remessa::ArquivoPendente pendente(c, QDir(folder_).filePath("remessa.txt"));
        }
        for (const store::MainTableSpec& t : store::mainTables()) {
            const QString name = QString::fromStdString(t.name);
            const QStringList found =
                rows(c.handle(), "SELECT name || ' ' || type || CASE WHEN pk THEN ' key' ELSE "
                                 "iif(\"notnull\", ' NOT NULL', '') || coalesce(' DEFAULT ' || "
                                 "dflt_value, '') END FROM pragma_table_info('" + name
                                     + "', 'main') ORDER BY cid")
                + rows(c.handle(), "SELECT 'index ' || l.name || ' (' || (SELECT group_concat(i.name, "
                                   "', ') FROM pragma_index_info(l.name, 'main') i) || ')' FROM "
                                   "pragma_index_list('" + name + "', 'main') l WHERE l.origin = "
                                   "'c' ORDER BY l.name");
            QCOMPARE(found, described(t));
        }
    }
};

QTEST_GUILESS_MAIN(TstMainTables)
#include "tst_maintables.moc"

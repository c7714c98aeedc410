// Fuzz target: the legacy dBase table reader. Opens arbitrary bytes as a table file, looks up
// the fields the import reads and reads every field of every record as text.
#include "legacy_import/DbfTable.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_dbf";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static QTemporaryDir dir;
    static const QString path = dir.filePath("Reccli.dbf");

    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) __builtin_trap();
    f.write(reinterpret_cast<const char*>(data), qint64(size));
    f.close();
    legado::DbfTable t;
    try {
        t.open(dir.path(), "RECCLI.DBF");
        for (const char* field : {"GRUPO", "DESCRI", "AGENCIA", "CONTA", "NOME", "IE"}) {
            try {
                t.fieldIndex(field);
            } catch (const db::EngineError&) {
            }
        }
        for (int r = 0; r < t.recordCount(); ++r) {
            t.isDeleted(r);
            for (int i = 0;; ++i) t.text(r, i);  // ends with an error past the last field
        }
    } catch (const db::EngineError&) {
    }
    return 0;
}

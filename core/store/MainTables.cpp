#include "core/store/MainTables.h"

#include <stdexcept>

namespace store {

namespace {

ColumnSpec col(const std::string& name, ColumnType type, bool required = true,
               const char* dflt = "")
{
    return ColumnSpec{name, type, required, dflt};
}

std::vector<MainTableSpec> define()
{
    using T = ColumnType;
    std::vector<MainTableSpec> t;
    t.push_back(
        MainTableSpec{"HISTORICO",
                      {col("ID", T::Key), col("QUANDO", T::Text), col("USUARIO", T::Integer),
                       col("OPERACAO", T::Text), col("DETALHE", T::Text)},
                      {},
                      "O histórico de operações não pode ser alterado.",
                      "O histórico de operações não pode ser apagado.",
                      {}});
    // REGISTRADO: when the import was recorded (UTC); DESFEITO: the restore that undid it (the
    // import no longer counts, the file may be imported again).
    t.push_back(
        MainTableSpec{"RETORNOS_IMPORTADOS",
                      {col("IMPRESSAO", T::Text), col("ARQUIVO", T::Text), col("MES", T::Integer),
                       col("ANO", T::Integer), col("DATA", T::Text), col("LINHAS", T::Integer),
                       col("REGISTRADO", T::Text, false), col("DESFEITO", T::Text, false)},
                      {IndexSpec{"RETORNOS_IMPORTADOS_IMPRESSAO", {1}}},
                      "",
                      "",
                      {UniqueSpec{"RETORNOS_IMPORTADOS_CONTANDO", {1}, "\"DESFEITO\" IS NULL"}}});
    t.push_back(MainTableSpec{"tolmare_arquivo_pendente",
                              {col("id", T::RowNumber), col("temporario", T::Text),
                               col("destino", T::Text), col("concluido", T::Integer, true, "0")},
                              {},
                              "",
                              "",
                              {}});
    // The last remittance (one row) and the rows it changed as they were before it (O
    // columns) with, where it is checked, what the remittance made of them (N columns).
    t.push_back(MainTableSpec{"REMESSA_DESFAZER",
                              {col("REMESSA", T::Integer), col("ARQUIVO", T::Text),
                               col("DATA_DEBITO", T::Text), col("GERADA_EM", T::Text),
                               col("IMPORTACOES", T::Integer),
                               col("DESFEITA", T::Integer, true, "0"),
                               col("DESTINO", T::Text, false)},
                              {},
                              "",
                              "",
                              {}});
    MainTableSpec linhas{"REMESSA_DESFAZER_LINHAS",
                         {col("SEQ", T::RowNumber), col("TABELA", T::Text), col("OP", T::Text),
                          col("RID", T::Integer)},
                         {},
                         "",
                         "",
                         {}};
    for (int i = 1; i <= 8; ++i)
        for (const char* side : {"O", "N"})
            linhas.columns.push_back(col(side + std::to_string(i), T::Value, false));
    t.push_back(linhas);
    return t;
}

std::string trigger(const MainTableSpec& t, const std::string& schema, const char* suffix,
                    const char* event, const std::string& message)
{
    std::string text;
    for (char c : message) text += c == '\'' ? std::string("''") : std::string(1, c);
    return "CREATE TRIGGER IF NOT EXISTS " + schema + "." + t.name + suffix + " BEFORE " + event
           + " ON " + t.name + " BEGIN SELECT RAISE(ABORT, '" + text + "'); END";
}

}  // namespace

const std::vector<MainTableSpec>& mainTables()
{
    static const std::vector<MainTableSpec> defs = define();
    return defs;
}

const MainTableSpec& mainTable(const std::string& name)
{
    for (const MainTableSpec& t : mainTables())
        if (t.name == name) return t;
    throw std::logic_error("no main table " + name);
}

std::vector<std::string> mainTableStatements(const MainTableSpec& t, const std::string& schema)
{
    std::string sql = "CREATE TABLE IF NOT EXISTS " + schema + "." + t.name + " (";
    for (size_t i = 0; i < t.columns.size(); ++i) {
        const ColumnSpec& c = t.columns[i];
        sql += (i ? ", " : "") + c.name;
        switch (c.type) {
            case ColumnType::Key: sql += " INTEGER PRIMARY KEY AUTOINCREMENT"; continue;
            case ColumnType::RowNumber: sql += " INTEGER PRIMARY KEY"; continue;
            case ColumnType::Integer: sql += " INTEGER"; break;
            case ColumnType::Text: sql += " TEXT"; break;
            case ColumnType::Value: break;
        }
        if (c.required) sql += " NOT NULL";
        if (!c.defaultValue.empty()) sql += " DEFAULT " + c.defaultValue;
    }
    std::vector<std::string> out{sql + ")"};
    for (const IndexSpec& idx : t.indexes) {
        std::string cols;
        for (int n : idx.fields) cols += (cols.empty() ? "" : ", ") + t.columns[size_t(n - 1)].name;
        out.push_back("CREATE INDEX IF NOT EXISTS " + schema + "." + idx.name + " ON " + t.name
                      + " (" + cols + ")");
    }
    if (!t.refuseUpdate.empty())
        out.push_back(trigger(t, schema, "_SEM_ALTERACAO", "UPDATE", t.refuseUpdate));
    if (!t.refuseDelete.empty())
        out.push_back(trigger(t, schema, "_SEM_EXCLUSAO", "DELETE", t.refuseDelete));
    return out;
}

}  // namespace store

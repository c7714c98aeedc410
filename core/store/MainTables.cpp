#include "core/store/MainTables.h"

namespace store {

namespace {

ColumnSpec col(const char* name, ColumnType type, bool required = true, const char* dflt = "")
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
                      "O histórico de operações não pode ser apagado."});
    // REGISTRADO: when the import was recorded (UTC); DESFEITO: the restore that undid it.
    t.push_back(
        MainTableSpec{"RETORNOS_IMPORTADOS",
                      {col("IMPRESSAO", T::Text), col("ARQUIVO", T::Text), col("MES", T::Integer),
                       col("ANO", T::Integer), col("DATA", T::Text), col("LINHAS", T::Integer),
                       col("REGISTRADO", T::Text, false), col("DESFEITO", T::Text, false)},
                      {IndexSpec{"RETORNOS_IMPORTADOS_IMPRESSAO", {1}}},
                      "",
                      ""});
    t.push_back(MainTableSpec{"tolmare_arquivo_pendente",
                              {col("id", T::Key), col("temporario", T::Text),
                               col("destino", T::Text), col("concluido", T::Integer, true, "0")},
                              {},
                              "",
                              ""});
    return t;
}

}  // namespace

const std::vector<MainTableSpec>& mainTables()
{
    static const std::vector<MainTableSpec> defs = define();
    return defs;
}

}  // namespace store

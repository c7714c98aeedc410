#include "core/TableDefs.h"

#include <algorithm>
#include <cctype>

namespace tables {

namespace {

using store::FieldSpec;
using store::FieldType;
using store::IndexSpec;
using store::TableSpec;

FieldSpec alpha(const char* name, int width, bool required = false)
{
    return FieldSpec{name, FieldType::Alpha, width, required};
}
FieldSpec of(const char* name, FieldType type, bool required = false)
{
    return FieldSpec{name, type, 0, required};
}

std::vector<TableSpec> define()
{
    std::vector<TableSpec> t;
    t.push_back(TableSpec{
        "ASSOCIADOS.DB",
        {of("ASS_ID", FieldType::Autoincrement), alpha("ASS_NOME", 50, true),
         of("ASS_GRP_ID", FieldType::Number), alpha("ASS_AGENCIA", 10),
         alpha("ASS_CONTA_CORRENTE", 20), of("ASS_IDENTIFICADOR", FieldType::Number),
         of("ASS_DTA_CAD", FieldType::Date), of("ASS_USR_ID", FieldType::Number),
         alpha("ASS_MATRICULA", 10)},
        {IndexSpec{"", {1}}, IndexSpec{"ID_ASSOCIADO_IDENTIF", {6}},
         IndexSpec{"ID_ASSOCIADOS_CONTA", {5, 2}}, IndexSpec{"ID_ASSOCIADOS_GRUPO", {3, 2}},
         IndexSpec{"ID_ASSOCIADOS_NOME", {2}}}});
    t.push_back(TableSpec{
        "DEBITO.DB",
        {of("DEB_DATA", FieldType::Date), of("DEB_ASS_ID", FieldType::Number),
         of("DEB_VALOR", FieldType::Money), of("DEB_DTA_CAD", FieldType::Date, true),
         of("DEB_USR_ID", FieldType::Number, true)},
        {IndexSpec{"", {1, 2, 3}}}});
    t.push_back(TableSpec{
        "GRUPO.DB",
        {of("GRP_ID", FieldType::Autoincrement), alpha("GRP_DESCRICAO", 50),
         of("GRP_USR_ID", FieldType::Number), of("GRP_DTA_CAD", FieldType::Date)},
        {IndexSpec{"", {1}}, IndexSpec{"GRP_DESCRICAO_ID", {2}}}});
    t.push_back(TableSpec{
        "PARAMETROS.DB",
        {alpha("EMP_NOME", 60), alpha("EMP_COD_VERBA_PREVI", 10), alpha("EMP_COD_INT_PREVI", 10),
         of("EMP_NR_REM_PREVI", FieldType::Number), of("EMP_USR_ID", FieldType::Number),
         of("EMP_DTA_CAD", FieldType::Date), alpha("EMP_ENDERECO", 100), alpha("EMP_SETOR", 50),
         alpha("EMP_CIDADE", 50), alpha("EMP_CGC", 20), alpha("EMP_CEP", 10),
         alpha("EMP_FONE_1", 15), alpha("EMP_FONE_2", 15)},
        {IndexSpec{"", {1}}}});
    t.push_back(TableSpec{
        "RET_DEBITO.DB",
        {of("DEB_DATA", FieldType::Date), of("DEB_DATA_RETORNO", FieldType::Date),
         of("DEB_ASS_ID", FieldType::Number), of("DEB_REMESSA", FieldType::Number),
         of("DEB_VALOR", FieldType::Money), alpha("DEB_OCORRENCIA", 100),
         of("DEB_DTA_CAD", FieldType::Date, true), of("DEB_USR_ID", FieldType::Number, true)},
        {IndexSpec{"", {1, 2, 3, 4, 5}}, IndexSpec{"Si_Data_Associado", {1, 3}}}});
    return t;
}

std::string upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return s;
}

}  // namespace

const std::vector<store::TableSpec>& all()
{
    static const std::vector<store::TableSpec> defs = define();
    return defs;
}

const store::TableSpec* find(const std::string& fileName)
{
    const std::string wanted = upper(fileName);
    for (const store::TableSpec& t : all())
        if (upper(t.fileName) == wanted) return &t;
    return nullptr;
}

}  // namespace tables

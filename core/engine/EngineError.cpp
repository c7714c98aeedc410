#include "core/engine/EngineError.h"

#include <QFileInfo>

#include <sqlite3.h>

namespace db {

namespace {

// The folder of the files a connection has open: they all live in one data folder.
QString folderOf(sqlite3* db)
{
    for (int i = 0;; ++i) {
        const char* schema = sqlite3_db_name(db, i);
        if (!schema) return {};
        const char* path = sqlite3_db_filename(db, schema);
        if (path && *path) return QFileInfo(QString::fromUtf8(path)).absolutePath();
    }
}

}  // namespace

EngineError sqliteError(int code, const QString& detail, const QString& file,
                        const QString& folder)
{
    // Without a file name the error is of the folder's tables as a whole (the main database,
    // several tables at once): the texts then speak of "as tabelas".
    const bool named = !file.isEmpty();
    const QString name = named ? QFileInfo(file).fileName() : QString();
    QString dir = folder;
    if (file.contains('/')) dir = QFileInfo(file).absolutePath();
    if (dir.isEmpty()) dir = QStringLiteral("de dados");
    const QString table = named ? "A tabela " + name : QStringLiteral("As tabelas");
    const QString inFile = named ? "no arquivo " + name : QStringLiteral("nas tabelas");
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return EngineError(
            table + (named ? " está" : " estão")
                + " em uso por outro programa (outra janela do Tolmare ou o tolmare-cli). "
                  "Aguarde o fim da outra operação e tente de novo.",
            EngineFault::Busy);
    case SQLITE_READONLY:
    case SQLITE_PERM:
        return EngineError(
            QString("Não foi possível gravar %1: falta permissão de escrita. Dê ao "
                    "usuário permissão de escrita na pasta %2 e nos arquivos .DB dela, e tente "
                    "de novo.").arg(inFile, dir),
            EngineFault::ReadOnly);
    case SQLITE_CANTOPEN:
        return EngineError(
            QString("Não foi possível abrir %1 na pasta %2. Verifique se a pasta "
                    "existe e se o usuário tem permissão de leitura e escrita nela e nos "
                    "arquivos .DB, e tente de novo.")
                .arg(named ? "o arquivo " + name : QStringLiteral("as tabelas"), dir),
            EngineFault::ReadOnly);
    case SQLITE_FULL:
        return EngineError(
            QString("O disco da pasta %1 está cheio: nada foi gravado %2. Libere espaço "
                    "no disco e tente de novo.").arg(dir, inFile),
            EngineFault::DiskFull);
    case SQLITE_IOERR:
        return EngineError(
            QString("Erro de leitura ou gravação %1 (%2). Verifique o disco e a "
                    "pasta %3; se o erro continuar, restaure as tabelas de um backup.")
                .arg(inFile, detail, dir),
            EngineFault::Io);
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return EngineError(
            named ? QString("O arquivo %1 na pasta %2 não é uma tabela do Tolmare ou está "
                          "danificado. Restaure-o de um backup.").arg(name, dir)
                  : QString("As tabelas da pasta %1 não são do Tolmare ou estão danificadas. "
                            "Restaure-as de um backup.").arg(dir),
            EngineFault::NotATable);
    case SQLITE_CONSTRAINT:
        return keyViolation(named ? name : QStringLiteral("(tabelas da pasta)"));
    default:
        return EngineError(named ? QString("Erro na tabela %1: %2").arg(name, detail)
                                 : "Erro nas tabelas: " + detail);
    }
}

EngineError sqliteError(sqlite3* db, const QString& file)
{
    return sqliteError(sqlite3_extended_errcode(db), QString::fromUtf8(sqlite3_errmsg(db)), file,
                       folderOf(db));
}

EngineError keyViolation(const QString& tableFile)
{
    return EngineError("Violação de chave.\nTabela: " + tableFile
                           + "\nJá existe um registro com a mesma chave nesta tabela: altere os "
                             "valores da chave ou cancele a alteração.",
                       EngineFault::KeyViolation);
}

EngineError requiredField(const QString& field)
{
    return EngineError(QString("Field '%1' must have a value\nPreencha o campo %1 antes de "
                               "gravar, ou cancele a alteração.").arg(field),
                       EngineFault::Required);
}

EngineError notANumber(const QString& text, const QString& field)
{
    return EngineError(QString("'%1' não é um número válido para o campo %2. Digite um número, "
                               "com vírgula antes dos centavos (por exemplo 1234,50).")
                           .arg(text, field));
}

EngineError notAnInteger(const QString& text, const QString& field)
{
    return EngineError(QString("'%1' não é um número inteiro válido para o campo %2. Digite "
                               "só algarismos.").arg(text, field));
}

EngineError notADate(const QString& text, const QString& field)
{
    return EngineError(QString("'%1' não é uma data válida para o campo %2. Digite a data como "
                               "dia/mês/ano, por exemplo 05/03/2026.").arg(text, field));
}

EngineError invalidValue(const QString& field)
{
    return EngineError(QString("Valor inválido para o campo %1.").arg(field));
}

}  // namespace db

#include "legacy_import/DbfTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <shapefil.h>

namespace legado {

namespace {

DBFHandle dbf(void* h) { return static_cast<DBFHandle>(h); }

// shapelib reports its own failures through this hook; ours are raised from what it returns.
void quiet(const char*) {}

quint32 little(const uchar* p, int bytes)
{
    quint32 v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// The file's name in `folder`: as given when it exists so, else the first name that differs
// only in case.
QString findFile(const QString& folder, const QString& fileName)
{
    const QDir dir(folder);
    if (QFileInfo(dir.filePath(fileName)).isFile()) return dir.filePath(fileName);
    for (const QString& entry : dir.entryList({fileName}, QDir::Files | QDir::Hidden))
        if (entry.compare(fileName, Qt::CaseInsensitive) == 0) return dir.filePath(entry);
    return {};
}

}  // namespace

DbfTable::~DbfTable() { close(); }

void DbfTable::open(const QString& folder, const QString& fileName)
{
    const QString path = findFile(folder, fileName);
    if (path.isEmpty())
        throw db::EngineError(QString("A tabela %1 não foi encontrada na pasta %2.")
                           .arg(fileName, QDir::toNativeSeparators(folder)));
    openPath(path);
}

void DbfTable::openPath(const QString& path)
{
    close();
    const QString name = QFileInfo(path).fileName();
    auto corrupt = [&](const QString& why) -> db::EngineError {
        return db::EngineError(QString("A tabela %1 está danificada: %2.").arg(name, why));
    };

    // The header's counts are checked against the file before shapelib reads it: a truncated
    // table is refused whole rather than read up to where it breaks.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw db::EngineError(QString("Não foi possível abrir a tabela %1: %2")
                           .arg(name, file.errorString()));
    const QByteArray head = file.read(32);
    const qint64 size = file.size();
    file.close();
    if (head.size() < 32) throw corrupt("o cabeçalho está incompleto");
    const auto* h = reinterpret_cast<const uchar*>(head.constData());
    const quint32 records = little(h + 4, 4);
    const quint32 headerLength = little(h + 8, 2);
    const quint32 recordLength = little(h + 10, 2);
    if (headerLength < 33 || recordLength < 1 || qint64(headerLength) > size)
        throw corrupt("o cabeçalho não descreve uma tabela dBase");
    if (records > 0x7fffffffu / recordLength
        || size < qint64(headerLength) + qint64(records) * recordLength)
        throw corrupt(QString("o cabeçalho anuncia %1 registros e o arquivo termina antes")
                          .arg(records));

    SAHooks hooks;
    SASetupDefaultHooks(&hooks);
    hooks.Error = quiet;
    DBFHandle d = DBFOpenLL(QFile::encodeName(path).constData(), "rb", &hooks);
    if (!d) throw corrupt("o cabeçalho não descreve uma tabela dBase");
    bool sound = DBFGetRecordCount(d) == int(records) && d->nRecordLength == int(recordLength)
                 && d->nFields >= 0;
    for (int i = 0; sound && i < d->nFields; ++i)
        sound = d->panFieldSize[i] > 0 && d->panFieldOffset[i] >= 1
                && d->panFieldOffset[i] + d->panFieldSize[i] <= d->nRecordLength;
    if (!sound) {
        DBFClose(d);
        throw corrupt("os campos não cabem no tamanho do registro");
    }
    handle_ = d;
    fileName_ = name;
    records_ = int(records);
}

void DbfTable::close()
{
    if (handle_) DBFClose(dbf(handle_));
    handle_ = nullptr;
    records_ = 0;
}

int DbfTable::fieldIndex(const QString& name) const
{
    const int i = handle_ ? DBFGetFieldIndex(dbf(handle_), name.toLatin1().constData()) : -1;
    if (i < 0)
        throw db::EngineError(QString("A tabela %1 não tem o campo %2.").arg(fileName_, name));
    return i;
}

const char* DbfTable::tuple(int record) const
{
    const char* t = handle_ && record >= 0 && record < records_
                        ? DBFReadTuple(dbf(handle_), record)
                        : nullptr;
    if (!t)
        throw db::EngineError(QString("Não foi possível ler o registro %1 da tabela %2.")
                           .arg(record + 1)
                           .arg(fileName_));
    return t;
}

bool DbfTable::isDeleted(int record) const { return tuple(record)[0] == '*'; }

QByteArray DbfTable::text(int record, int field) const
{
    const char* t = tuple(record);
    const DBFHandle d = dbf(handle_);
    if (field < 0 || field >= d->nFields)
        throw db::EngineError(QString("A tabela %1 não tem o campo nº %2.").arg(fileName_).arg(field + 1));
    const char* p = t + d->panFieldOffset[field];
    int n = d->panFieldSize[field];
    // A field ends at its first NUL, as in the program that wrote it.
    for (int i = 0; i < n; ++i)
        if (p[i] == '\0') n = i;
    while (n > 0 && p[n - 1] == ' ') --n;
    const char type = d->pachFieldType[field];
    if (type != 'C')
        while (n > 0 && *p == ' ') ++p, --n;
    return QByteArray(p, n);
}

}  // namespace legado

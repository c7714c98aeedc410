#include "tests/tblscn/ParadoxWriter.h"

#include <QFile>

extern "C" {
#include <paradox.h>
}

#include <cstring>

namespace pxtest {

namespace {

void noErrors(pxdoc_t*, int, const char* msg, void* data)
{
    if (data) *static_cast<QString*>(data) = QString::fromLatin1(msg);
}

long daysOf(const QDate& d) { return PX_GregorianToSdn(d.year(), d.month(), d.day()) - 1721425; }

}  // namespace

bool write(const QString& path, const Table& t, QString* error)
{
    QString message;
    pxdoc_t* px = PX_new3(noErrors, nullptr, nullptr, nullptr, &message);
    const int n = int(t.columns.size());
    auto* fields = static_cast<pxfield_t*>(px->malloc(px, sizeof(pxfield_t) * size_t(n), "fields"));
    int recordSize = 0;
    for (int i = 0; i < n; ++i) {
        fields[i].px_fname = PX_strdup(px, t.columns[i].name);
        fields[i].px_ftype = t.columns[i].type;
        fields[i].px_flen = t.columns[i].size;
        fields[i].px_fdc = 0;
        recordSize += t.columns[i].size;
    }
    const QByteArray name = path.toLocal8Bit();
    bool ok = PX_create_file(px, fields, n, name.constData(),
                             t.keyFields ? pxfFileTypIndexDB : pxfFileTypNonIndexDB) == 0;
    if (ok && t.keyFields) PX_set_value(px, "numprimkeys", float(t.keyFields));
    if (ok) PX_set_value(px, "codepage", float(t.codePage));
    QByteArray rec(recordSize, '\0');
    for (const Row& row : t.rows) {
        if (!ok) break;
        rec.fill('\0');
        int at = 0;
        for (int i = 0; i < n; ++i) {
            const Column& c = t.columns[i];
            char* p = rec.data() + at;
            at += c.size;
            const QVariant& v = i < row.size() ? row[i] : QVariant();
            if (v.isNull()) continue;
            switch (c.type) {
            case pxfAlpha: {
                const QByteArray b = v.toByteArray();
                std::memcpy(p, b.constData(), size_t(std::min<qsizetype>(b.size(), c.size)));
                break;
            }
            case pxfDate: PX_put_data_long(px, p, 4, int(daysOf(v.toDate()))); break;
            case pxfShort: PX_put_data_short(px, p, 2, short(v.toInt())); break;
            case pxfLong:
            case pxfAutoInc: PX_put_data_long(px, p, 4, v.toInt()); break;
            case pxfCurrency:
            case pxfNumber: PX_put_data_double(px, p, 8, v.toDouble()); break;
            case pxfLogical: *p = char(v.toBool() ? 0x81 : 0x80); break;
            default: break;
            }
        }
        ok = PX_put_record(px, rec.data()) >= 0;
    }
    // Deleted from the end first, so that the numbers still name the rows written.
    QList<int> deleted = t.deleted;
    std::sort(deleted.begin(), deleted.end(), std::greater<int>());
    for (int d : deleted) ok = ok && PX_delete_record(px, d) >= 0;
    PX_close(px);
    PX_delete(px);
    if (ok && t.autoInc) {  // the header's counter, by hand
        QByteArray b = readFile(path);
        put32(b, 0x49, uint32_t(t.autoInc));
        writeFile(path, b);
    }
    if (!ok && error) *error = message.isEmpty() ? QString("pxlib failed") : message;
    return ok;
}

Table parametros(const QList<Row>& rows)
{
    return {{{"EMP_NOME", pxfAlpha, 60}, {"EMP_COD_VERBA_PREVI", pxfAlpha, 10},
             {"EMP_COD_INT_PREVI", pxfAlpha, 10}, {"EMP_NR_REM_PREVI", pxfNumber, 8},
             {"EMP_USR_ID", pxfShort, 2}, {"EMP_DTA_CAD", pxfDate, 4},
             {"EMP_ENDERECO", pxfAlpha, 100}, {"EMP_SETOR", pxfAlpha, 50},
             {"EMP_CIDADE", pxfAlpha, 50}, {"EMP_CGC", pxfAlpha, 20}, {"EMP_CEP", pxfAlpha, 10},
             {"EMP_FONE_1", pxfAlpha, 15}, {"EMP_FONE_2", pxfAlpha, 15}},
            rows, 1, 1252, 0, {}};
}

Table grupo(const QList<Row>& rows)
{
    return {{{"GRP_ID", pxfAutoInc, 4}, {"GRP_DESCRICAO", pxfAlpha, 50},
             {"GRP_USR_ID", pxfNumber, 8}, {"GRP_DTA_CAD", pxfDate, 4}},
            rows, 1, 1252, 0, {}};
}

// With a column the definition does not have (ASS_ATIVO) and the identifier as a long integer.
Table associados(const QList<Row>& rows)
{
    return {{{"ASS_ID", pxfAutoInc, 4}, {"ASS_NOME", pxfAlpha, 50}, {"ASS_GRP_ID", pxfNumber, 8},
             {"ASS_AGENCIA", pxfAlpha, 10}, {"ASS_CONTA_CORRENTE", pxfAlpha, 20},
             {"ASS_IDENTIFICADOR", pxfLong, 4}, {"ASS_DTA_CAD", pxfDate, 4},
             {"ASS_USR_ID", pxfNumber, 8}, {"ASS_MATRICULA", pxfAlpha, 10},
             {"ASS_ATIVO", pxfLogical, 1}},
            rows, 1, 1252, 0, {}};
}

Table debito(const QList<Row>& rows)
{
    return {{{"DEB_DATA", pxfDate, 4}, {"DEB_ASS_ID", pxfNumber, 8}, {"DEB_VALOR", pxfCurrency, 8},
             {"DEB_DTA_CAD", pxfDate, 4}, {"DEB_USR_ID", pxfNumber, 8}},
            rows, 3, 1252, 0, {}};
}

Table retDebito(const QList<Row>& rows)
{
    return {{{"DEB_DATA", pxfDate, 4}, {"DEB_DATA_RETORNO", pxfDate, 4},
             {"DEB_ASS_ID", pxfNumber, 8}, {"DEB_REMESSA", pxfNumber, 8},
             {"DEB_VALOR", pxfCurrency, 8}, {"DEB_OCORRENCIA", pxfAlpha, 100},
             {"DEB_DTA_CAD", pxfDate, 4}, {"DEB_USR_ID", pxfNumber, 8}},
            rows, 5, 1252, 0, {}};
}

void put16(QByteArray& b, int at, int v)
{
    b[at] = char(v & 0xFF);
    b[at + 1] = char((v >> 8) & 0xFF);
}

void put32(QByteArray& b, int at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = char((v >> (8 * i)) & 0xFF);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

}  // namespace pxtest

// The return file reader and import on a data folder with members and RET_DEBITO rows: any
// bytes as a return file must import or be refused with an error, never crash, hang or grow
// without bound.
#include "core/UVariaveis.h"
#include "core/dm/UDMRet_Debito.h"
#include "core/engine/Database.h"
#include "core/engine/EngineError.h"
#include "remittance/ImportarRetorno.h"
#include "remittance/LeitorLinhas.h"
#include "tests/common/TestData.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

QString folder;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static QTemporaryDir dir;
    folder = dir.filePath("dados");
    testdata::makeDataFolder(folder);
    UsuarioAtual = 1;
    const QStringList enrolment{"1234", "12.345-6", "0077", ""};
    for (int i = 0; i < enrolment.size(); ++i)
        testdata::addRow("ASSOCIADOS.DB", {{"ASS_NOME", QString("ASSOCIADO %1").arg(i)},
                                           {"ASS_MATRICULA", enrolment[i]},
                                           {"ASS_CONTA_CORRENTE", QString::number(900 + i)}});
    testdata::addRow("RET_DEBITO.DB", {{"DEB_DATA", QDate(2026, 7, 10)}, {"DEB_ASS_ID", 1.0},
                                       {"DEB_REMESSA", 7.0}, {"DEB_VALOR", 10.0},
                                       {"DEB_DTA_CAD", QDate(2026, 7, 1)}, {"DEB_USR_ID", 1}});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    // The reader alone: lines are kept short and their lengths never exceed the input.
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    retorno::LeitorLinhas reader(buffer);
    QByteArray line;
    qint64 length = 0, total = 0, lines = 0;
    while (reader.next(line, length)) {
        if (line.size() > 128 || line.size() > length) std::abort();
        total += length;
        ++lines;
    }
    if (total + lines > qint64(size) + 1 || reader.error()) std::abort();

    // The whole import.
    const QString path = QDir(folder).filePath("RET.TXT");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    file.write(bytes);
    file.close();
    // An input seen before is refused as imported already, then imported again on purpose.
    for (const bool reimportar : {false, true}) {
        try {
            TDMRet_Debito dm;
            const retorno::Resultado r =
                retorno::importar(dm, path, 7, 2026, QDate(2026, 8, 3), {}, reimportar);
            if (r.resumo.size() < 3) std::abort();
            QFile::remove(r.novoNome);
            break;
        } catch (const retorno::JaImportado&) {
            if (reimportar) std::abort();
        } catch (const db::EngineError&) {
            break;
        }
    }
    QFile::remove(path);
    return 0;
}

#include "remittance/ArquivoPendente.h"

#include "core/engine/Connection.h"
#include "core/engine/EngineError.h"
#include "core/engine/Statement.h"
#include "core/store/CreateMainTable.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>

namespace remessa {

namespace {

const QString kRegistro = "tolmare_arquivo_pendente";

// Runs a change of the record; returns the rowid it inserted, if any.
qint64 run(db::Connection& c, const char* sql, const QVector<QVariant>& params)
{
    db::Statement st(c, QString::fromLatin1(sql), kRegistro);
    st.bind(params).run();
    return st.lastInsertRowid();
}

// Forces a file's bytes to the disk.
bool syncFile(int fd)
{
#ifdef Q_OS_WIN
    return _commit(fd) == 0;
#else
    return ::fsync(fd) == 0;
#endif
}

// Renames `from` onto `to`, replacing a file there in one step, and makes the rename durable.
QString replaceFile(const QString& from, const QString& to)
{
#ifdef Q_OS_WIN
    if (!MoveFileExW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(from).utf16()),
                     reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(to).utf16()),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return QString("erro %1 do sistema").arg(GetLastError());
#else
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    const int dir = ::open(QFile::encodeName(QFileInfo(to).absolutePath()).constData(),
                           O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
#endif
    return {};
}

QString temporaryName(const QString& target)
{
    return target + ".~" + QString::number(QRandomGenerator::global()->generate(), 16) + ".tmp";
}

}  // namespace

ArquivoPendente::ArquivoPendente(db::Connection& c, const QString& target)
    : c_(c), target_(QFileInfo(target).absoluteFilePath())  // the next run may start elsewhere
{
    store::createMainTable(c_, "tolmare_arquivo_pendente");
    for (int attempt = 0; attempt < 8 && !file_.isOpen(); ++attempt) {
        const QString name = temporaryName(target_);
        if (QFileInfo::exists(name)) continue;
        id_ = run(c_, "INSERT INTO main.tolmare_arquivo_pendente (temporario, destino) "
                      "VALUES (?, ?)", {name, target_});
        file_.setFileName(name);
        if (file_.open(QIODevice::WriteOnly | QIODevice::NewOnly)) break;
        error_ = file_.errorString();
        run(c_, "DELETE FROM main.tolmare_arquivo_pendente WHERE id = ?", {id_});
        id_ = -1;
        if (!QFileInfo::exists(name)) break;  // not a clash of names: the folder refuses it
    }
}

ArquivoPendente::~ArquivoPendente()
{
    // Once committed, a file that could not be renamed stays recorded for the next run.
    if (committed_ || id_ < 0) return;
    file_.close();
    QFile::remove(file_.fileName());
    try {
        run(c_, "DELETE FROM main.tolmare_arquivo_pendente WHERE id = ?", {id_});
    } catch (const db::EngineError&) {
        // The record stays; the next generation removes what is left.
    }
}

bool ArquivoPendente::write(const QByteArray& bytes)
{
    if (file_.write(bytes) == bytes.size()) return true;
    const int saved = errno;
    // A buffered write that failed on its flush may leave Qt without a text of its own.
    error_ = file_.error() != QFileDevice::NoError && file_.errorString() != "Unknown error"
                 ? file_.errorString() : QString::fromLocal8Bit(std::strerror(saved));
    return false;
}

bool ArquivoPendente::finish()
{
    const bool ok = file_.flush() && syncFile(file_.handle());
    if (!ok) error_ = file_.error() != QFileDevice::NoError
                          ? file_.errorString() : QString::fromLocal8Bit(std::strerror(errno));
    file_.close();
    if (ok && file_.error() != QFileDevice::NoError) {
        error_ = file_.errorString();
        return false;
    }
    return ok;
}

void ArquivoPendente::markDone()
{
    run(c_, "UPDATE main.tolmare_arquivo_pendente SET concluido = 1 WHERE id = ?", {id_});
}

QString ArquivoPendente::install()
{
    committed_ = true;
    const QString why = replaceFile(file_.fileName(), target_);
    if (!why.isEmpty()) return why;
    try {
        run(c_, "DELETE FROM main.tolmare_arquivo_pendente WHERE id = ?", {id_});
    } catch (const db::EngineError&) {
        // A record of a file already in place is dropped by the next generation.
    }
    return {};
}

QStringList concluirPendentes(db::Connection& c)
{
    store::createMainTable(c, "tolmare_arquivo_pendente");
    struct Pendente { qint64 id; QString temp, target; bool done; };
    QVector<Pendente> list;
    {
        db::Statement st(c, "SELECT id, temporario, destino, concluido FROM "
                            "main.tolmare_arquivo_pendente ORDER BY id", kRegistro);
        while (st.next()) list << Pendente{st.int64(0), st.text(1), st.text(2), st.int64(3) != 0};
    }
    QStringList problems;
    for (const Pendente& p : list) {
        if (QFileInfo::exists(p.temp)) {
            if (!p.done) {
                QFile::remove(p.temp);
            } else if (const QString why = replaceFile(p.temp, p.target); !why.isEmpty()) {
                problems << "O arquivo de remessa " + p.target + " ficou em " + p.temp + " ("
                                + why + "): renomeie-o para " + p.target + ".";
                continue;
            }
        }
        run(c, "DELETE FROM main.tolmare_arquivo_pendente WHERE id = ?", {p.id});
    }
    return problems;
}

}  // namespace remessa

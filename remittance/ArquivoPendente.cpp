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

class RegistroNaPasta : public RegistroPendente {
public:
    explicit RegistroNaPasta(db::Connection& c) : c_(c)
    {
        store::createMainTable(c_, "tolmare_arquivo_pendente");
    }
    qint64 inserir(const QString& temporario, const QString& destino) override
    {
        return run(c_,
                   "INSERT INTO main.tolmare_arquivo_pendente (temporario, destino) "
                   "VALUES (?, ?)",
                   {temporario, destino});
    }
    void concluir(qint64 id) override
    {
        run(c_, "UPDATE main.tolmare_arquivo_pendente SET concluido = 1 WHERE id = ?", {id});
    }
    bool apagar(qint64 id) override
    {
        try {
            run(c_, "DELETE FROM main.tolmare_arquivo_pendente WHERE id = ?", {id});
            return true;
        } catch (const db::EngineError&) {
            return false;
        }
    }
    std::vector<Pendente> listar() override
    {
        std::vector<Pendente> list;
        db::Statement st(c_,
                         "SELECT id, temporario, destino, concluido FROM "
                         "main.tolmare_arquivo_pendente ORDER BY id",
                         kRegistro);
        while (st.next()) list.push_back({st.int64(0), st.text(1), st.text(2), st.int64(3) != 0});
        return list;
    }

private:
    db::Connection& c_;
};

}  // namespace

std::unique_ptr<RegistroPendente> registroDaPasta(db::Connection& c)
{
    return std::make_unique<RegistroNaPasta>(c);
}

ArquivoPendente::ArquivoPendente(db::Connection& c, const QString& target)
    : ArquivoPendente(registroDaPasta(c), target)
{
}

ArquivoPendente::ArquivoPendente(std::unique_ptr<RegistroPendente> registro, const QString& target)
    : registro_(std::move(registro)),
      target_(QFileInfo(target).absoluteFilePath())  // the next run may start elsewhere
{
    for (int attempt = 0; attempt < 8 && !file_.isOpen(); ++attempt) {
        const QString name = temporaryName(target_);
        if (QFileInfo::exists(name)) continue;
        id_ = registro_->inserir(name, target_);
        file_.setFileName(name);
        if (file_.open(QIODevice::WriteOnly | QIODevice::NewOnly)) break;
        error_ = file_.errorString();
        registro_->apagar(id_);
        id_ = -1;
        if (!QFileInfo::exists(name)) break;  // not a clash of names: the folder refuses it
    }
}

ArquivoPendente::~ArquivoPendente()
{
    // Once committed, a file that could not be renamed stays recorded for the next run; a
    // record that cannot be forgotten stays, and the next generation removes what is left.
    if (committed_ || id_ < 0) return;
    file_.close();
    QFile::remove(file_.fileName());
    registro_->apagar(id_);
}

bool ArquivoPendente::recomecar()
{
    // A file finished by an attempt that then did not commit is opened again, emptied.
    if (!file_.isOpen() ? file_.open(QIODevice::WriteOnly | QIODevice::Truncate)
                        : file_.resize(0) && file_.seek(0))
        return true;
    error_ = file_.errorString();
    return false;
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
    registro_->concluir(id_);
}

QString ArquivoPendente::install()
{
    committed_ = true;
    const QString why = replaceFile(file_.fileName(), target_);
    if (!why.isEmpty()) return why;
    registro_->apagar(id_);  // a record left of a file in place is dropped by the next generation
    return {};
}

QStringList concluirPendentes(db::Connection& c)
{
    return concluirPendentes(*registroDaPasta(c));
}

QStringList concluirPendentes(RegistroPendente& registro)
{
    QStringList problems;
    for (const RegistroPendente::Pendente& p : registro.listar()) {
        if (QFileInfo::exists(p.temporario)) {
            if (!p.concluido) {
                QFile::remove(p.temporario);
            } else if (const QString why = replaceFile(p.temporario, p.destino); !why.isEmpty()) {
                problems << "O arquivo de remessa " + p.destino + " ficou em " + p.temporario + " ("
                                + why + "): renomeie-o para " + p.destino + ".";
                continue;
            }
        }
        registro.apagar(p.id);
    }
    return problems;
}

}  // namespace remessa

#include "collection/ArquivoAoLado.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cobranca {

namespace {

QString motivo() { return QString::fromLocal8Bit(std::strerror(errno)); }

}  // namespace

ArquivoAoLado::ArquivoAoLado(const QString& path) : path_(path) {}

ArquivoAoLado::~ArquivoAoLado()
{
    if (fd_ >= 0) ::close(fd_);
    if (!colocado_ && !temp_.isEmpty()) QFile::remove(temp_);
}

bool ArquivoAoLado::falha(const QString& what)
{
    erro_ = "Não foi possível gravar " + path_ + " (" + what + "): verifique a pasta, o espaço "
            "livre no disco e se o arquivo não está aberto em outro programa.";
    return false;
}

bool ArquivoAoLado::criar()
{
    const QFileInfo info(path_);
    if (info.fileName().isEmpty()) return falha("nome de arquivo vazio");
    if (info.isDir()) return falha("é uma pasta");
    QByteArray model = QFile::encodeName(info.absolutePath() + "/." + info.fileName() + ".XXXXXX");
    fd_ = ::mkstemp(model.data());  // 0600, never an existing name
    if (fd_ < 0) return falha(motivo());
    temp_ = QFile::decodeName(model);
    return true;
}

bool ArquivoAoLado::gravar(const QByteArray& bytes)
{
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, p, size_t(left));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return falha(motivo());
        p += n;
        left -= n;
    }
    return true;
}

void ArquivoAoLado::soltar()
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool ArquivoAoLado::colocar()
{
    if (fd_ < 0) {
        fd_ = ::open(QFile::encodeName(temp_).constData(), O_RDWR | O_CLOEXEC);
        if (fd_ < 0) return falha(motivo());
    }
    if (::fchmod(fd_, S_IRUSR | S_IWUSR) != 0 || ::fsync(fd_) != 0) return falha(motivo());
    const int rc = ::close(fd_);
    fd_ = -1;
    if (rc != 0) return falha(motivo());
    if (std::rename(QFile::encodeName(temp_).constData(), QFile::encodeName(path_).constData()))
        return falha(motivo());
    colocado_ = true;
    const int dir = ::open(QFile::encodeName(QFileInfo(path_).absolutePath()).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace cobranca

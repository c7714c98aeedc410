// A file written beside its path and put in place complete: created under a hidden temporary
// name in the same folder (mode 0600), forced to the disk and renamed onto the path. Until
// then the path keeps whatever it held; a failure removes the temporary file.
#pragma once

#include <QString>

namespace cobranca {

class ArquivoAoLado {
public:
    explicit ArquivoAoLado(const QString& path);
    ~ArquivoAoLado();
    ArquivoAoLado(const ArquivoAoLado&) = delete;
    ArquivoAoLado& operator=(const ArquivoAoLado&) = delete;

    // Creates the temporary file; false (with erro()) when the folder does not take it.
    bool criar();
    // Where to write: the temporary file, created and empty.
    QString temporario() const { return temp_; }
    // Writes the whole of `bytes` to the temporary file (kept open between calls).
    bool gravar(const QByteArray& bytes);
    // Closes the temporary file, for a writer that opens it by name itself.
    void soltar();
    // Forces the temporary file to the disk, renames it onto the path and the folder's entry
    // to the disk; false (with erro()) when any step fails, the path then left as it was.
    bool colocar();
    QString erro() const { return erro_; }

private:
    bool falha(const QString& what);
    QString path_, temp_, erro_;
    int fd_ = -1;
    bool colocado_ = false;
};

}  // namespace cobranca

#include "legacy_import/MigrarInstalacao.h"

#include "core/TableDefs.h"
#include "core/engine/Connection.h"
#include "core/engine/Database.h"
#include "core/engine/EngineError.h"
#include "core/engine/SqlValue.h"
#include "core/engine/Statement.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace migracao {

namespace {

QStringList fileNames()
{
    QStringList out;
    for (const store::TableSpec& t : tables::all()) out << QString::fromStdString(t.fileName);
    return out;
}

// The table a file belongs to by its base name ("grupo.x02" -> "GRUPO.DB"); empty for none.
QString tableOf(const QString& name)
{
    const QString base = name.left(name.lastIndexOf('.') < 0 ? name.size() : name.lastIndexOf('.'));
    for (const QString& t : fileNames())
        if (base.compare(t.section('.', 0, 0), Qt::CaseInsensitive) == 0) return t;
    return {};
}

// The regular files of `folder` that belong to the five tables, links left out.
QStringList tableFiles(const QString& folder)
{
    QStringList out;
    for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files | QDir::NoDotAndDotDot))
        if (!f.isSymLink() && f.isFile() && !tableOf(f.fileName()).isEmpty()) out << f.fileName();
    return out;
}

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

}  // namespace

QString recusaDaPasta(const QString& pastaAntiga, const QString& pastaDados)
{
    // A link in the data folder is never written through.
    for (const QString& name : tableFiles(pastaAntiga))
        if (QFileInfo(QDir(pastaDados).filePath(name)).isSymLink())
            return name + " na pasta de dados é um link simbólico: tire-o dali e repita o comando.";
    const QFileInfo old(pastaAntiga);
    if (!old.exists())
        return "A pasta " + shown(pastaAntiga)
               + " não existe: confira o caminho da instalação antiga.";
    if (!old.isDir())
        return shown(pastaAntiga) + " não é uma pasta: dê a pasta das tabelas antigas.";
    if (old.canonicalFilePath() == QFileInfo(pastaDados).canonicalFilePath())
        return "A pasta " + shown(pastaAntiga) + " é a própria pasta de dados: dê a pasta da "
               "instalação antiga.";
    bool any = false;
    for (const QString& f : tableFiles(pastaAntiga))
        any = any || fileNames().contains(f, Qt::CaseInsensitive);
    if (!any)
        return "A pasta " + shown(pastaAntiga) + " não tem nenhuma das tabelas ("
               + fileNames().join(", ")
               + "): dê a pasta onde a instalação antiga guarda as tabelas.";
    return {};
}

QStringList tabelasComRegistros(const QString& pastaDados)
{
    QStringList out;
    db::Connection& c = db::Session::instance().connectionForFolder(pastaDados);
    for (const store::TableSpec& t : tables::all()) {
        const QString file = QString::fromStdString(t.fileName);
        if (c.resolve(file).isEmpty()) continue;
        const QString schema = c.attach(file);
        db::Statement count(c,
                            "SELECT count(*) FROM " + db::sqlName(schema) + "."
                                + db::sqlName(QString::fromStdString(t.tableName())),
                            file);
        if (!count.next()) throw db::EngineError("Sem resposta da contagem de " + file);
        if (const qint64 n = count.int64(0); n > 0)
            out << QString("%1 (%2 registros)").arg(file).arg(n);
    }
    return out;
}

QString guardarTabelasAtuais(const QString& pastaDados, QString& subpasta)
{
    QDir data(pastaDados);
    QDateTime when = QDateTime::currentDateTime();
    do {
        subpasta = "Anterior-" + when.toString("yyyyMMdd-HHmmss");
        when = when.addSecs(1);
    } while (data.exists(subpasta));
    if (!data.mkdir(subpasta))
        return "Não foi possível criar a pasta " + shown(data.filePath(subpasta))
               + ": confira a permissão de escrita na pasta de dados.";
    QFile::setPermissions(data.filePath(subpasta),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (const QString& t : fileNames())
        for (const QString& name : {t, t + "-journal"})
            if (QFileInfo::exists(data.filePath(name))
                && !QFile::rename(data.filePath(name), data.filePath(subpasta + "/" + name)))
                return "Não foi possível guardar " + name + " em " + subpasta
                       + ": confira a permissão de escrita na pasta de dados.";
    return {};
}

QString devolverTabelas(const QString& pastaDados, const QString& subpasta)
{
    QDir data(pastaDados);
    for (const QString& name : QDir(data.filePath(subpasta)).entryList(QDir::Files)) {
        QFile::remove(data.filePath(name));
        if (!QFile::rename(data.filePath(subpasta + "/" + name), data.filePath(name)))
            return "As tabelas anteriores ficaram em " + subpasta + ": mova-as de volta para a "
                   "pasta de dados.";
    }
    data.rmdir(subpasta);
    return {};
}

QString removerTabelasVazias(const QString& pastaDados)
{
    for (const QString& t : fileNames()) {
        const QString path = QDir(pastaDados).filePath(t);
        if (QFileInfo::exists(path) && !QFile::remove(path))
            return "Não foi possível tirar a tabela vazia " + t + " da pasta de dados: confira a "
                   "permissão de escrita.";
    }
    return {};
}

QString copiarTabelas(const QString& pastaAntiga, const QString& pastaDados, QStringList& copiados)
{
    copiados.clear();
    for (const QString& name : tableFiles(pastaAntiga)) {
        QFile in(QDir(pastaAntiga).filePath(name));
        if (!in.open(QIODevice::ReadOnly))
            return "Não foi possível ler " + shown(in.fileName()) + ": " + in.errorString();
        QSaveFile out(QDir(pastaDados).filePath(name));
        if (!out.open(QIODevice::WriteOnly))
            return "Não foi possível gravar " + name + " na pasta de dados: " + out.errorString();
        char buf[65536];
        for (qint64 n; (n = in.read(buf, sizeof buf)) > 0;)
            if (out.write(buf, n) != n) break;
        if (in.error() != QFile::NoError || !out.commit())
            return "Não foi possível copiar " + name + " para a pasta de dados: "
                   + (out.error() != QFile::NoError ? out.errorString() : in.errorString())
                   + ". Libere espaço ou confira a permissão e repita o comando.";
        copiados << name;
    }
    return {};
}

}  // namespace migracao

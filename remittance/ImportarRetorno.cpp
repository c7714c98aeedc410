#include "remittance/ImportarRetorno.h"

#include "core/UVariaveis.h"
#include "core/dm/UDMRet_Debito.h"
#include "core/engine/Connection.h"
#include "core/engine/EngineError.h"
#include "remittance/Cp1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace retorno {

namespace {

QString withoutTrailingBlanks(const QString& s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == ' ') --n;
    return s.left(n);
}

// The member of a line: by enrolment number, by account, by name; nullopt-like -1 when none.
qint64 findMember(db::Table& members, const Linha& l)
{
    const QString n = QString::number(l.numero);
    if (members.locate("ASS_MATRICULA", {n}, db::LocateMode::Partial)
        || members.locate("ASS_CONTA_CORRENTE", {n}, db::LocateMode::Partial))
        return members.fieldByName("ASS_ID").asInteger();
    const QString name = withoutTrailingBlanks(l.nome.toUpper());
    if (!name.isEmpty() && members.locate("ASS_NOME", {name}, db::LocateMode::Partial))
        return members.fieldByName("ASS_ID").asInteger();
    return -1;
}

void record(db::Table& ret, qint64 member, const Linha& l, const QDate& first, const QDate& last,
            const QDate& today)
{
    if (!first.isValid() || !last.isValid())
        throw db::EngineError("Invalid month for the return");
    ret.cancelRange();
    ret.setRange({first}, {last});
    const QVariant reason = withoutTrailingBlanks(l.motivo).isEmpty()
                                ? QVariant() : QVariant(withoutTrailingBlanks(l.motivo));
    try {
        if (ret.locate("DEB_ASS_ID", {double(member)})) {
            ret.edit();
            ret.fieldByName("DEB_OCORRENCIA").setValue(reason);
            ret.fieldByName("DEB_DATA_RETORNO").setAsDate(today);
            ret.post();
        } else {
            ret.insert();
            ret.fieldByName("DEB_DATA").setAsDate(first);
            ret.fieldByName("DEB_DATA_RETORNO").setAsDate(today);
            ret.fieldByName("DEB_OCORRENCIA").setValue(reason);
            ret.fieldByName("DEB_ASS_ID").setAsFloat(double(member));
            ret.fieldByName("DEB_REMESSA").setAsFloat(0);
            ret.fieldByName("DEB_DTA_CAD").setAsDate(today);
            ret.fieldByName("DEB_USR_ID").setAsInteger(UsuarioAtual);
            ret.post();
        }
    } catch (...) {
        ret.cancel();  // a failed line leaves no pending change behind
        throw;
    }
}

}  // namespace

bool lerLinha(const QString& line, Linha& out)
{
    const QString used = line.left(90);
    const QString number = used.left(15).trimmed();
    if (number.isEmpty()) return false;
    for (const QChar c : number)
        if (!c.isDigit() || c.unicode() > 127) return false;
    bool ok = false;
    out.numero = number.toLongLong(&ok);
    if (!ok) return false;
    out.nome = used.mid(15, 45);
    out.motivo = used.mid(60, 30);
    return true;
}

Resultado importar(TDMRet_Debito& dm, const QString& path, int month, int year,
                   const QDate& today, const Progress& progress)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw db::EngineError(QString("Não foi possível abrir o arquivo %1: %2")
                                  .arg(path, file.errorString()));
    const qint64 size = file.size();
    if (progress) progress(0, size);

    if (!dm.TAssociados->active()) dm.TAssociados->open();
    if (!dm.TRet_Debito->active()) dm.TRet_Debito->open();
    dm.TAssociados->setIndexFieldNames("ASS_CONTA_CORRENTE");

    const QString m = QString::number(month), y = QString::number(year);
    Resultado r;
    r.resumo << "IMPORTANTO ARQUIVO DE RETORNO" << "MÊS: " + m + " Ano: " + y << "";
    const QDate first(year, month, 1);
    const QDate last = first.isValid() ? QDate(year, month, first.daysInMonth()) : QDate();

    // One transaction for the whole file; a row already recorded stays when reading fails.
    db::Transaction tx(*dm.TRet_Debito->connection());
    qint64 done = 0;
    try {
        while (!file.atEnd()) {
            QByteArray raw = file.readLine();
            if (raw.isEmpty() && file.error() != QFileDevice::NoError)
                throw db::EngineError(
                    QString("Erro ao ler o arquivo %1: %2").arg(path, file.errorString()));
            if (raw.endsWith('\n')) raw.chop(1);
            if (raw.endsWith('\r')) raw.chop(1);
            done += raw.size();
            if (progress) progress(done, size);
            Linha l;
            try {
                if (!lerLinha(cp1252::decode(raw), l)) continue;
                const qint64 member = findMember(*dm.TAssociados, l);
                if (member >= 0) record(*dm.TRet_Debito, member, l, first, last, today);
                QStringList lines{"", member >= 0 ? "RETORNO IMPORTADO"
                                                   : "ERRO: ASSOCIADO NÃO ENCOTRADO NA BASE DE DADOS",
                                  "     NOME: " + l.nome,
                                  "     MATRICULA: " + QString::number(l.numero)};
                if (!l.motivo.trimmed().isEmpty()) lines << "     MOTIVO: " + l.motivo;
                r.resumo << lines;
            } catch (const db::EngineError&) {
                // The line is passed over.
            }
        }
    } catch (...) {
        tx.commit();
        throw;
    }
    file.close();
    tx.commit();

    const QFileInfo info(path);
    const QString target = info.dir().filePath("Retorno_" + info.fileName().left(1) + "_" + m
                                               + "-" + y + ".imp");
    if (QFile::rename(path, target)) r.novoNome = target;
    return r;
}

}  // namespace retorno

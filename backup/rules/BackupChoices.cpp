#include "backup/rules/BackupChoices.h"

#include "backup/DosDate.h"

#include <cmath>

namespace fmbackup {

TBackupFile::TCompressionLevel levelForItem(int item)
{
    switch (item) {
    case 1: return TBackupFile::clDefault;
    case 2: return TBackupFile::clMax;
    case 3: return TBackupFile::clNone;
    default: return TBackupFile::clFastest;
    }
}

TBackupFile::TBackupMode modeForItem(int item)
{
    return item == 1 ? TBackupFile::bmIncremental : TBackupFile::bmAll;
}

std::optional<qint32> volumeBytes(const QString& megabytes)
{
    const QString text = megabytes.trimmed();
    if (text.isEmpty()) return 0;
    bool ok = false;
    const int mb = text.toInt(&ok);
    if (!ok || mb < 1 || mb > 2000) return std::nullopt;
    return qint32(mb) * 1000000;
}

QString summaryLine(qint32 fileCount, qint32 totalSize)
{
    const double kb = std::nearbyint(totalSize / 1024.0);  // the default mode rounds to even
    return QString("%1 files, %2 KB total").arg(fileCount).arg(qint64(kb));
}

QString fileLine(const QString& infoLine)
{
    const int tab = infoLine.lastIndexOf('\t');
    const int eq = infoLine.lastIndexOf('=');
    if (tab < 0 || eq < tab) return infoLine;
    bool ok = false;
    const qint32 dos = infoLine.mid(tab + 1, eq - tab - 1).toInt(&ok);
    const QString date = ok ? backupfmt::fromDos(dos).date().toString("dd/MM/yyyy") : QString();
    return infoLine.left(tab) + " from " + date + ", " + infoLine.mid(eq + 1) + " bytes";
}

QString restoreDoneMessage(qint32 filesDone, qint32 fileCount)
{
    return QString("Arquivos restaurados com sucesso, %1 de um total de %2 arquivos")
        .arg(filesDone)
        .arg(fileCount);
}

QString restoreFailedMessage(const QStringList& restored, const QStringList& notRestored,
                             bool complete)
{
    const QString done = restored.isEmpty() ? QString("nenhum") : restored.join(", ");
    QString left = notRestored.join(", ");
    if (!complete)
        left += left.isEmpty() ? "os que vinham depois no backup" : ", e os que vinham depois no backup";
    if (left.isEmpty()) left = "nenhum";
    return QString::fromUtf8("Falha na restauração ou cancelado pelo usuário.\n\n"
                             "Arquivos restaurados: ")
           + done + QString::fromUtf8("\nArquivos não restaurados: ") + left;
}

}  // namespace fmbackup

// TBackupFile: writes and reads the backup archives. Backs a list of file specifications up
// into one archive or a series of volumes, lists an archive's title, totals and file
// information, and restores its files into a folder by one of five restore modes.
#pragma once

#include "backup/BackupException.h"
#include "backup/RunState.h"
#include "backup/VolumeSet.h"

#include <QIODevice>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

class TBackupFile : public QObject, private backup::RunEvents {
    Q_OBJECT
    Q_PROPERTY(QString Version READ Version WRITE setVersion)
    Q_PROPERTY(QString BackupTitle MEMBER BackupTitle)
    Q_PROPERTY(TBackupMode BackupMode READ backupMode WRITE setBackupMode)
    Q_PROPERTY(TCompressionLevel CompressionLevel MEMBER CompressionLevel)
    Q_PROPERTY(TRestoreMode RestoreMode MEMBER RestoreMode)
    Q_PROPERTY(qint32 MaxSize MEMBER MaxSize)
    Q_PROPERTY(bool SetArchiveFlag MEMBER SetArchiveFlag)
    Q_PROPERTY(bool RestoreFullPath MEMBER RestoreFullPath)
    Q_PROPERTY(bool SaveFileID MEMBER SaveFileID)

public:
    enum TBackupMode { bmAll, bmIncremental };
    Q_ENUM(TBackupMode)
    enum TRestoreMode { rmAll, rmNoOverwrite, rmNewer, rmExisting, rmExistingNewer };
    Q_ENUM(TRestoreMode)
    enum TCompressionLevel { clFastest, clNone, clDefault, clMax };
    Q_ENUM(TCompressionLevel)

    using TProgressEvent = std::function<void(TBackupFile* sender, const QString& fileName,
                                              int percent, bool& cont)>;
    using TNeedDiskEvent = std::function<void(TBackupFile* sender, quint16 diskId, bool& cont)>;
    using TRestoreFileEvent = std::function<void(TBackupFile* sender, QString& fileName,
                                                 qint32 fa, bool& doRestore)>;
    using TBackupErrorEvent = std::function<void(TBackupFile* sender, qint32 error,
                                                 const QString& errString)>;
    // A listed entry passed over (not a regular file, a link out of the chosen folder).
    using TNoteEvent = std::function<void(TBackupFile* sender, const QString& text)>;
    // Taken over every listed file before the first byte is read and held until the last is
    // read, so that the archive is one committed state of them all; an empty result means a
    // file could not be locked (error 1, that file named in `failed`).
    using TReadLock =
        std::function<std::shared_ptr<void>(const QStringList& paths, QString& failed)>;

    explicit TBackupFile(QObject* owner = nullptr);
    ~TBackupFile() override;

    QString Version() const { return "3.00"; }
    void setVersion(const QString&) {}
    TBackupMode backupMode() const { return BackupMode; }
    void setBackupMode(TBackupMode m);

    // Published properties (also reachable as Qt properties, in this order).
    QString BackupTitle;
    TBackupMode BackupMode = bmAll;
    TCompressionLevel CompressionLevel = clFastest;
    TRestoreMode RestoreMode = rmAll;
    qint32 MaxSize = 0;
    bool SetArchiveFlag = false;
    TProgressEvent OnProgress;
    TNeedDiskEvent OnNeedDisk;
    TRestoreFileEvent OnRestoreFile;
    TBackupErrorEvent OnError;
    bool RestoreFullPath = false;
    bool SaveFileID = false;
    TNoteEvent OnNote;
    TReadLock ReadLock;
    // When set, files inside this folder are recorded by their path relative to it (a copy made
    // in a temporary folder is recorded by its bare name, not by where it lay for a moment).
    QString StoreNamesFrom;

    // Public state.
    qint32 FileCount = 0;
    qint32 FilesDone = 0;
    qint32 TotalSize = 0;
    // The file the last error concerns (a listed file, a restored target); empty when none.
    QString ErrorFile;
    // For the operator, in Portuguese: what failed with that file (reading or writing) and
    // what to do; empty when the code and the file say it all.
    QString ErrorDetail;
    bool Busy() const { return busy_; }
    QPointer<QIODevice> BackupStream;   // the target when the archive name is ":STREAM"
    QPointer<QIODevice> RestoreStream;  // the source when the archive name is ":STREAM"

    bool Backup(const QStringList& files, const QString& archiveName);
    bool Restore(const QString& archiveName, const QString& destFolder);
    // Reads every block of an archive back, writing nothing. True when every zlib block ends
    // its stream exactly, every LZRW1KH block decodes and every file has the size its
    // information line gives (when the archive has one); FilesDone counts the files read.
    bool Verify(const QString& archiveName);
    // The files a backup of `files` would take now, as Backup lists them (notes included).
    QStringList ListFiles(const QStringList& files, const QString& archiveName)
    {
        return buildList(files, archiveName);
    }
    void GetArchiveInfo(const QString& archiveName, QStringList* fileList, QString& title);
    // The same, handing the file-information lines over one by one as they are decoded.
    // True when the archive had an information entry.
    bool GetArchiveInfo(const QString& archiveName,
                        const std::function<void(const QString& line)>& onLine, QString& title);
    qint32 CompressionRate() const;
    void Abort() { run_.going = false; }
    // The last run's error, with its kind and, for the operator, its Portuguese message; as
    // OnError is called, the error it reports.
    const backup::RunError& LastError() const { return run_.error; }

    // The error messages by code (1 to 7).
    static QString errorMessage(int code) { return backup::RunError::engineText(code); }
    // The percentage of OnProgress, formed in 64 bits.
    static int percent(qint64 processed, qint64 total);
    // The file name of volume `n` (2 and up) of an archive.
    static QString volumeName(const QString& archiveName, int n)
    {
        return volumeset::volumeName(archiveName, n);
    }
    // The file that holds volume `n` of the archive: its own name, or the name it waits under
    // while a backup puts its set in place.
    static QString volumePath(const QString& archiveName, int n);
    // "O volume X é de outro backup com o mesmo nome..." for a volume of another set.
    static QString foreignVolumeMessage(const QString& volume)
    {
        return volumeset::foreignMessage(volume);
    }

private:
    QStringList buildList(const QStringList& files, const QString& archiveName);
    void note(const QString& text);
    // A new run: no error, going, nothing counted.
    void startRun();
    // The run's error shown (OnError, else the error box); ErrorFile and ErrorDetail set.
    void report();
    bool readArchive(const QString& archiveName, const QString& destFolder, bool verify);
    bool refuseForeign(const QString& volume);
    // The run's events (backup::RunEvents).
    void progress() override;
    bool needDisk(int volume) override;
    void fileDone() override { ++FilesDone; }
    bool restoreFile(QString& target, qint32 date, bool exists, bool older) override;

    bool busy_ = false;
    backup::RunState run_;
};

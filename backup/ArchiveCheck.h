// The archive check: reads every volume of a backup archive back through the engine's reader
// (every block decoded, every entry's size matched against what the backup recorded) without
// writing anything. A backup is reported done only after it passes; `tolmare-cli
// verificar-backup` runs the same check on any archive.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace backupcheck {

struct Entry {
    QString name;     // the stored name
    qint64 size = 0;  // bytes decoded
};

struct Report {
    bool ok = false;
    QString title;
    int volumes = 0;
    QList<Entry> entries;  // in archive order, the file-information entry not included
    qint64 bytes = 0;      // every decoded byte, the file-information entry included
    QString problem;       // what failed, naming the volume file; empty when ok
};

// Reads the archive `archive` (and its further volumes) to its end marker. What is checked:
// the header; every zlib block inflates as one complete stream and gives a whole chunk of
// 16,384 bytes unless it is its file's last; the continuation records name the volumes in
// order and each volume is there; nothing follows the end marker; with a file-information
// entry, every entry is listed there with the size it has; when every listed file has its
// entry, the decoded bytes add up to the header's total.
Report verify(const QString& archive);

// The stored names of an archive's entries in order (the file-information entry left out),
// read by passing over their data; as many as could be read when the archive is damaged.
QStringList entryNames(const QString& archive);

}  // namespace backupcheck

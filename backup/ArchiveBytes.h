// The small pieces every archive reader and writer shares: little-endian integers, the bounds
// on lengths read from an archive, and the 8-bit code page of titles and names.
#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QSaveFile>
#include <QString>

namespace backupfmt {

constexpr int kChunk = 16384;             // a block carries at most this many bytes of a file
constexpr qint64 kMaxSize = 0x7FFFFFFF;   // sizes are signed 32-bit: a file stays below 2 GiB
constexpr int kMaxName = 4096;            // the longest stored name accepted on reading
constexpr int kMaxTitle = 65535;          // the longest title accepted on reading
constexpr qint64 kMaxFileList = 32 << 20; // the longest file-information text accepted
constexpr int kMaxListLine = 8192;        // the longest line of that text
// The smallest volume limit: below it a fresh volume has no room for a block.
constexpr qint32 kMinVolume = 16489;
constexpr int kMaxVolumes = 999;          // volume numbers have three digits

QByteArray int32le(qint32 v);

// Reading; each throws BackupException when the archive ends early.
QByteArray take(QIODevice* d, qint64 n);
void takeInto(QIODevice* d, char* out, qint64 n);
qint32 takeInt(QIODevice* d);
void skip(QIODevice* d, qint64 n);

// Stored names: Windows-1252 where every character fits and the bytes cannot be taken for
// UTF-8, else UTF-8 (older archives of this program hold UTF-8 names).
QByteArray encodeText(const QString& s);
// A stored name: UTF-8 when it is valid UTF-8, else Windows-1252.
QString decodeText(const QByteArray& bytes);
// Titles: Windows-1252 only; characters that do not fit become "?".
QByteArray toCp1252(const QString& s, bool* fits = nullptr);
QString fromCp1252(const QByteArray& bytes);

// Puts a file written beside its place there, when every byte reached the disk; else drops it.
// (The buffer flushed inside QSaveFile::commit does not report a full disk: flushed first.)
bool commitWhole(QSaveFile& f);

}  // namespace backupfmt

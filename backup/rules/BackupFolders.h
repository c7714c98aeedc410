// Where the backup window looks: the data folder of the alias, the backup folder beside it,
// and the default files of the data folder.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

namespace fmbackup {

// The data folder named by an alias's parameter list: its first line, the text after the first
// "=" when it has one, with "\" read as "/" and a trailing "/". Empty when there is no line.
QString dataFolder(const QStringList& aliasParams);

// The backup folder: "../Backup" from the data folder, cleaned ("/dados/Tolmare/Backup").
QString backupFolder(const QString& dataFolder);

// A path as the operator typed it, "\" separating folders like "/".
QString typedPath(const QString& text);

// True for a name the default files leave out: it holds "Cópia de" (in either case of its
// accented letter), "KEYVIO", "RESTTE" or a digit, compared in upper case.
bool excludedName(const QString& fileName);

// The default files of a folder: its ordinary files (not hidden, no folders) named *.DB or
// *.MB in any case, less the excluded names, as full paths sorted by name without regard to
// case. Names keep their case: the file system tells GRUPO.DB from grupo.db.
QStringList defaultFiles(const QString& folder);

// "Tolmare_dd-mm-yyyy": the title proposed for a backup of that day.
QString backupTitle(const QDate& day);

// The archive proposed in the save dialog: "Backup Tolmare dd-mm-yyyy.Bck" in `folder`.
QString proposedArchive(const QString& folder, const QDate& day);

// The archive name chosen in the save dialog: "\" read as "/", ".bck" added when the name
// has no extension.
QString archiveName(const QString& chosen);

// The archives (*.bck in any case) of a folder, sorted by name without regard to case.
QStringList archivesIn(const QString& folder);

}  // namespace fmbackup

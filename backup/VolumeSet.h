// The volumes of one archive as a set. Every volume of an archive of more than one volume ends,
// after its continuation record or end marker (where a reader stops), with a mark: the set's
// random identifier, the volume's number and whether it is the last. A backup writes its
// volumes under pending names beside the archive (".~NAME.bck", ".~NAME.002", ...),
// reads them back, and only then renames them in place, volume 1 first: from that rename on the
// new set is the archive, and a volume not yet renamed is found under its pending name. So a
// stop at any instant leaves either the older set or the new one readable, and a volume of
// another set at a volume's name is told, never read as part of this one.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace volumeset {

constexpr int kMarkSize = 28;

struct Mark {
    QByteArray id;     // 16 random bytes, the same in every volume of a set
    int volume = 0;
    bool last = false;
};

// The file name of volume `n` (2 and up) of an archive: its extension replaced by the three
// digits of `n`.
QString volumeName(const QString& archive, int n);
// "O volume X é de outro backup com o mesmo nome..." for a volume of another set.
QString foreignMessage(const QString& volume);

QByteArray markBytes(const Mark& m);
// The mark at the end of the file at `path`, if it has one.
std::optional<Mark> markOf(const QString& path);
QByteArray newId();

// Where a backup writes volume 1 of `archive` before it is in place; volume n is
// volumeName of it.
QString pendingName(const QString& archive);

class VolumeSet {
public:
    explicit VolumeSet(const QString& archive);
    // The file that holds volume n (2 and up): the volume's own name, or its pending name while
    // a backup is putting its volumes in place.
    QString path(int n) const;
    // Whether the file at `path` is volume n of this set: for a marked set it carries the set's
    // mark with that number; for an archive of older builds (no mark) it carries none.
    bool belongs(int n, const QString& path) const;
    // The first volume present that belongs to another set, empty when none (a missing volume
    // is asked for when it is reached).
    QString firstForeign() const;

private:
    QString archive_;
    std::optional<Mark> first_;
};

// Finishes a placement that a stop left half done, and removes the pending volumes of a backup
// that never got in place.
void settle(const QString& archive);

// Puts `count` pending volumes of `archive` in place, volume 1 first, then removes the volumes
// beyond `count` of the set the archive held before (`before`, its identifier), when marked
// so. False when volume 1 could not be renamed (nothing changed then).
bool place(const QString& archive, int count, const std::optional<Mark>& before);

// Makes the renames in the folder of `path` durable.
void syncFolderOf(const QString& path);

}  // namespace volumeset

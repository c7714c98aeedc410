// Inside the component: the files around the conversion of one old-format table, named and
// moved so that a stop at any instant leaves the old table in place or the new one complete
// (see ParadoxConversion.h for the order of the steps).
#pragma once

#include "tblscn/Restructure.h"

#include <cstdio>
#include <string>

namespace tblscn {

class OldTableFiles {
public:
    OldTableFiles(const std::string& folder, const store::TableSpec& spec);

    // The new table being written, beside the old one.
    std::string partialTable() const;
    // Creates the report being written (private to its owner); nullptr with errno set.
    FILE* openPartialReport();
    // Flushes, syncs and closes; false when any of them failed.
    static bool closeDurably(FILE* f);
    // Removes what a stop before the point of no return left.
    void discardPartial();
    // The point of no return: the complete report and table take the name of the subfolder
    // the old files go to, one where no file is named `oldFile` yet. 0 or the errno.
    int commitPartial(const std::string& oldFile);
    // True when a committed conversion waits to be put in place.
    bool pending() const;
    // Moves the report and the old files into their subfolder and puts the new table in place.
    Result finish();

private:
    std::string hidden(const std::string& suffix) const;  // folder/.<TABLE>.<suffix>
    std::string pendingName() const;                      // ".<TABLE>.Paradox-...", or empty

    std::string folder_;
    const store::TableSpec& spec_;
};

}  // namespace tblscn

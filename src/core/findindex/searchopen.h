#pragma once
// Opening a catalogue file for a search of its names: through its index, only the records
// that may match are read.

#include "catalogue/recordset.h"
#include "catalogue/volumes.h"
#include "library/matcher.h"

#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace findindex {

// Where the index of a catalogue file is kept: beside it, hidden.
[[nodiscard]] QString indexPathOf(const std::string &catalogue);

struct SearchRecords {
    std::unique_ptr<RecordSet> records; // nullptr for a file that cannot be read
    // The positions in records that may match, ascending; none given means every one.
    std::optional<std::vector<int>> positions;
};

// The records of the file a search may match, with the file's volumes; no records, with the
// reason, for a file that cannot be read. `loose` ignores case and matches at least every
// name the search does (nullptr when the search is not of names alone). Where the file's
// index is up to date and shows few names that loose matches, only those records are read;
// otherwise every record is, and an index is made for the next search where the folder may
// be written. The caller still matches each record it is given.
[[nodiscard]] SearchRecords openForSearch(const std::string &file, const library::Matcher *loose, Volumes &volumes,
                                          std::string &error);

} // namespace findindex

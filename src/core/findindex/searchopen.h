#pragma once
// Opening a catalogue file for a search of its names: through its index, only the records
// that may match are read.

#include "catalogue/recordset.h"
#include "catalogue/volumes.h"
#include "library/matcher.h"

#include <QString>

#include <memory>
#include <string>

namespace findindex {

// Where the index of a catalogue file is kept: beside it, hidden.
[[nodiscard]] QString indexPathOf(const std::string &catalogue);

// The records of the file a search may match, with the file's volumes; no records, with the
// reason, for a file that cannot be read. `loose` ignores case and matches at least every
// name the search does (nullptr when the search is not of names alone). Where the file's
// index is up to date and shows few names that loose matches, only those records are read,
// else every record is. For a search of names, a file without an up-to-date index is indexed
// first, from a stream of its records, where its folder may be written. The caller still
// matches each record.
[[nodiscard]] std::unique_ptr<RecordSet> openForSearch(const std::string &file, const library::Matcher *loose,
                                                       Volumes &volumes, std::string &error);

} // namespace findindex

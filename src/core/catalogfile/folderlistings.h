#pragma once
// The directories a walk listed, kept so that an update lists from them each directory whose
// stamp is unchanged: per directory its volume, exact path, stamp and entries, in walk
// order, in a table of their own that readers which do not know it pass over.

#include "catalogfile/sqlitedb.h"
#include "catalogue/volumes.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cataloguefile {

// Writes the volumes' listings, when there are any, into the file being saved, with the
// names of a walk's files taken from the records it made.
void writeListings(sqlitedb::Db &db, const Volumes &volumes, const RecordSet &records);

// The listings the file keeps, in walk order (none, and true, for a file that keeps none),
// and the volumes it records, without their folders: all an update of a file whose volumes
// are all mounted needs of it. False with the reason for a file that cannot be read. Damaged
// listings are not given: none are, and `damaged` is set.
[[nodiscard]] bool readListings(const std::string &path, std::vector<FolderListing> &out, Volumes &volumes,
                                std::string &error, bool *damaged = nullptr);

// A listing's part of the sum of the listings, kept as the file keeps it: its number, from 1
// in walk order, and its entries with their files' names.
[[nodiscard]] std::uint64_t listingRowSum(qint64 seq, const FolderListing &listing, std::string_view entries);

} // namespace cataloguefile

#pragma once
// Folders whose entries are the ones a catalogue's listings keep, examined now to other times
// or sizes (files written in place): their files' records as a walk makes them, for an update
// to write over the rows it keeps.

#include "catalogue/keptlistings.h"
#include "catalogue/recordset.h"

#include <cstdint>
#include <vector>

struct RetimedFolders {
    std::vector<std::size_t> listings; // by index in the listings, in walk order
    RecordSet records;                 // their files' records, folder after folder
    std::vector<int> first;            // where each folder's records begin, and their end
    std::vector<std::uint64_t> sums;   // each folder's entries' sum now (seeded as the check's)

    // Lists each of `listings` (set beforehand) from its listing in `kept` and records its
    // files. False where a folder is no longer listed from its listing: it changed since.
    [[nodiscard]] bool record(const KeptListings &kept, const std::vector<FolderListing> &all, std::uint64_t seed);
};

#pragma once
// The sum a directory's listing is kept with, which tells whether a walk of it now would make
// the same records.

#include "platform/dirlisting.h"

#include <cstdint>

// What shapes a walk's records besides the entries: the rules that turn entries into
// records and the local time zone's offsets. It seeds every listing's sum.
[[nodiscard]] std::uint64_t listingSeed();

// The sum a listing is kept with.
[[nodiscard]] inline std::uint64_t listingSum(const DirListing &listing, std::uint64_t seed)
{
    return listing.entriesSum(seed);
}

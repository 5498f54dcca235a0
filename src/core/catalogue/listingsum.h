#pragma once
// The seed of the sum a directory's listing is kept with (DirListing::entriesSum), which tells
// whether a walk of it now would make the same records.

#include <cstdint>

// What shapes a walk's records besides the entries: the rules that turn entries into
// records and the local time zone's offsets. It seeds every listing's sum.
[[nodiscard]] std::uint64_t listingSeed();

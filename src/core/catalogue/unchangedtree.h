#pragma once
// Whether a volume's folders are still, to each entry's times and size, what a catalogue's
// kept listings say they were when it was walked: then a walk now would make the very
// records the catalogue holds, and an update need not make them again.

#include "catalogue/keptlistings.h"
#include "catalogue/listingsum.h"
#include "catalogue/volumes.h"

#include <cstdint>
#include <vector>

// Whether every folder a walk of volume `volume` (in the listings' volumes) would list
// now is one of `listings`, listed from it (see KeptListings) with the sum it was kept with,
// and no folder it holds that a walk would enter lacks a listing but could be listed now.
// Folders are examined on several threads; the first change found stops them all.
// With `retimed`, a folder that still has the same entries, only examined to other times or
// sizes (a file written in place), is no change while few are: its index in `listings` is
// added to `retimed`, in order.
[[nodiscard]] bool unchangedSince(const KeptListings &kept, const std::vector<FolderListing> &listings, int volume,
                                  std::uint64_t seed, std::vector<std::size_t> *retimed = nullptr);

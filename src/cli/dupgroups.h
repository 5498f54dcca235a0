#pragma once
// Groups of duplicates among catalogued files: equal long names (the window's rule), equal
// size and name, or equal content; most wasted space first.
#include "catalogued.h"

#include <cstdint>
#include <vector>

namespace trv {

enum class DupRule { Name, Size, Content };

struct DupGroup {
    std::int64_t size = -1; // of each member; -1 where they differ
    std::int64_t wasted = 0;
    std::vector<std::size_t> members; // in Catalogued::files
    bool verified = true;             // for content: every member read in this run
};

struct DupOptions {
    DupRule rule = DupRule::Name;
    std::int64_t minSize = 1;
    bool compareBytes = false;
};

// Groups by name or by size and name, from the catalogues alone.
[[nodiscard]] std::vector<DupGroup> catalogueGroups(const Catalogued &lib, const DupOptions &options);

// Groups by content: files of online volumes are read (or their kept digests reused while
// they match), files of offline volumes take part by their kept digests. Digests taken are
// kept in their catalogue files for the next run. What was left out is said on stderr.
[[nodiscard]] std::vector<DupGroup> contentGroupsOf(Catalogued &lib, const DupOptions &options);

} // namespace trv

#include "catalogue/retimedfolders.h"

#include "catalogue/layouts.h"
#include "catalogue/walk.h"
#include "catalogue/walkahead.h"

#include <algorithm>
#include <string>

bool RetimedFolders::record(const KeptListings &kept, const std::vector<FolderListing> &all, std::uint64_t seed)
{
    CreateRecordSet(records);
    first.assign(1, 0);
    sums.clear();
    WalkState state;
    DirectoryWalk walk(records, state);
    walk.setKnownListings(&kept);
    bool fromListing = false;
    std::uint64_t device = 0;
    walk.setListed([&](const ListedDirectory &dir) {
        fromListing = dir.listing.fromKnown && dir.listing.device == device;
        sums.push_back(dir.listing.entriesSum(seed));
    });
    std::vector<std::string> subfolders;
    for (const std::size_t l : listings) {
        // A volume's root is its first listing, and its device the one the walk kept to.
        const auto root =
            std::find_if(all.begin(), all.end(), [&](const FolderListing &f) { return f.volume == all[l].volume; });
        if (!deviceOf(root->path, device))
            return false;
        walk.setDevice(device);
        fromListing = false;
        walk.ListDirectory(subfolders, all[l].path);
        if (!fromListing)
            return false;
        first.push_back(records.count());
    }
    return true;
}

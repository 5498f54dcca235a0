#include "catalogue/retimedfolders.h"

#include "catalogue/layouts.h"
#include "catalogue/walk.h"
#include "catalogue/walkahead.h"

#include <algorithm>
#include <string>

namespace {

// The device a volume's walk kept to: its root's, the root being its first listing. Each
// volume's is looked up once.
bool rootDevice(const std::vector<FolderListing> &all, int volume, std::vector<std::uint64_t> &devices,
                std::uint64_t &device)
{
    const auto v = std::size_t(volume);
    if (v >= devices.size())
        devices.resize(v + 1, 0);
    if (devices[v] == 0) {
        const auto root =
            std::find_if(all.begin(), all.end(), [&](const FolderListing &f) { return f.volume == volume; });
        if (!deviceOf(root->path, devices[v]))
            return false;
    }
    device = devices[v];
    return true;
}

} // namespace

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
    std::vector<std::uint64_t> devices; // by volume
    for (const std::size_t l : listings) {
        if (!rootDevice(all, all[l].volume, devices, device))
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

#include "catalogue/unchangedtree.h"

#include <algorithm>
#include <atomic>
#include <string_view>
#include <thread>
#include <unordered_set>

namespace {

// More checkers than cores: with a cold cache each waits mostly for the disk, and more
// requests in flight let the disk answer them together.
unsigned checkers()
{
    return std::clamp(std::thread::hardware_concurrency() * 4, 4u, 16u);
}

struct Check {
    const KeptListings &kept;
    std::vector<const FolderListing *> folders;
    std::unordered_set<std::string_view> paths;
    std::uint64_t seed = 0, device = 0;
    std::atomic<std::size_t> next = 0;
    std::atomic<bool> changed = false;

    bool subfoldersListed(const FolderListing &was, const DirListing &now) const;
    bool same(const FolderListing &was, DirListing &now);
    void run();
};

// A folder a walk would enter either has its listing or cannot be listed now either, as
// when the walk passed over it.
bool Check::subfoldersListed(const FolderListing &was, const DirListing &now) const
{
    std::string path;
    for (const DirEntry &e : now.entries) {
        if (!e.isDirectory || e.device != device)
            continue;
        const std::string name(now.name(e));
        path.assign(was.path).append(name).push_back('/');
        if (paths.count(path))
            continue;
        DirListing probe;
        listSubdirectory(*now.handle, name, device, e.inode, probe);
        if (probe.opened)
            return false;
    }
    return true;
}

bool Check::same(const FolderListing &was, DirListing &now)
{
    listDirectory(was.path, now, &changed, &kept, false); // the sum needs no short names
    if (!now.opened || !now.fromKnown || now.device != device || !was.summed || listingSum(now, seed) != was.sum)
        return false;
    return subfoldersListed(was, now);
}

void Check::run()
{
    DirListing now;
    for (;;) {
        const std::size_t i = next.fetch_add(1, std::memory_order_relaxed);
        if (i >= folders.size() || changed.load(std::memory_order_relaxed))
            return;
        if (!same(*folders[i], now))
            changed = true;
    }
}

} // namespace

bool unchangedSince(const KeptListings &kept, const std::vector<FolderListing> &listings, int volume,
                    std::uint64_t seed)
{
    Check check{kept, {}, {}, seed};
    for (const FolderListing &l : listings)
        if (l.volume == volume)
            check.folders.push_back(&l), check.paths.insert(l.path);
    // The root, listed first, is where the walk began, and its device the one it kept to.
    if (check.folders.empty() || !deviceOf(check.folders.front()->path, check.device))
        return false;
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < checkers(); ++i)
        threads.emplace_back(&Check::run, &check);
    for (std::thread &t : threads)
        t.join();
    return !check.changed;
}

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

// The one listing of the folder being checked, which needs no search by path.
class OneListing : public KnownListings {
public:
    OneListing(const KeptListings &kept, const FolderListing &listing) : m_kept(kept), m_listing(listing) {}
    [[nodiscard]] const std::string *entriesFor(const std::string &path, const DirStamp &now) const override;

private:
    const KeptListings &m_kept;
    const FolderListing &m_listing;
};

const std::string *OneListing::entriesFor(const std::string &, const DirStamp &now) const
{
    return m_kept.stillListed(m_listing, now) ? &m_listing.entries : nullptr;
}

struct Check {
    const KeptListings &kept;
    std::vector<const FolderListing *> folders;
    std::unordered_set<std::string_view> paths;
    std::uint64_t seed = 0, device = 0;
    std::atomic<std::size_t> next = 0, nextStamp = 0;
    std::atomic<bool> changed = false;

    bool subfoldersListed(const FolderListing &was, const DirListing &now) const;
    bool same(const FolderListing &was, DirListing &now);
    void stamps();
    void entries();
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
    const OneListing known(kept, was);
    if (!was.summed)
        return false;
    listDirectory(was.path, now, &changed, &known, false); // the sum needs no short names
    if (!now.opened || !now.fromKnown || now.device != device || now.entriesSum(seed) != was.sum)
        return false;
    return subfoldersListed(was, now);
}

// The folders' stamps alone, beside the entries: most changes show there, within a fraction
// of the time the entries take, and stop the check.
void Check::stamps()
{
    DirStamp now;
    for (std::size_t i = nextStamp++; i < folders.size() && !changed; i = nextStamp++)
        if (!directoryStamp(folders[i]->path, now) || !kept.stillListed(*folders[i], now))
            changed = true;
}

void Check::entries()
{
    DirListing now;
    for (std::size_t i = next++; i < folders.size() && !changed; i = next++)
        if (!same(*folders[i], now))
            changed = true;
}

void Check::run()
{
    std::vector<std::thread> threads;
    threads.emplace_back(&Check::stamps, this);
    for (unsigned i = 0; i < checkers(); ++i)
        threads.emplace_back(&Check::entries, this);
    for (std::thread &t : threads)
        t.join();
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
    check.run();
    return !check.changed;
}

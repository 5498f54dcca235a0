#include "catalogue/unchangedtree.h"

#include <algorithm>
#include <atomic>
#include <mutex>
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
    enum Seen { Same, Retimed, Changed };

    const KeptListings &kept;
    const std::vector<FolderListing> &listings;
    std::uint64_t seed = 0;
    std::vector<std::size_t> *retimed = nullptr;
    std::vector<const FolderListing *> folders{};
    std::unordered_set<std::string_view> paths{};
    std::uint64_t device = 0;
    std::atomic<std::size_t> next = 0, nextStamp = 0;
    std::atomic<bool> changed = false;
    std::mutex retimedMutex{};

    bool subfoldersListed(const FolderListing &was, const DirListing &now) const;
    Seen examine(const FolderListing &was, DirListing &now);
    bool noteRetimed(const FolderListing &was);
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

// Listed from its listing, a folder has the same entries; only what examining them gave may
// differ.
Check::Seen Check::examine(const FolderListing &was, DirListing &now)
{
    const OneListing known(kept, was);
    if (!was.summed)
        return Changed;
    listDirectory(was.path, now, &changed, &known, false); // the sum needs no short names
    if (!now.opened || !now.fromKnown || now.device != device || !subfoldersListed(was, now))
        return Changed;
    return now.entriesSum(seed) == was.sum ? Same : Retimed;
}

// Where a quarter of the folders had files written in place, walking them all is as quick.
bool Check::noteRetimed(const FolderListing &was)
{
    if (!retimed)
        return false;
    const std::lock_guard lock(retimedMutex);
    if (retimed->size() >= folders.size() / 4 + 1)
        return false;
    retimed->push_back(std::size_t(&was - listings.data()));
    return true;
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
    for (std::size_t i = next++; i < folders.size() && !changed; i = next++) {
        const Seen seen = examine(*folders[i], now);
        if (seen == Changed || (seen == Retimed && !noteRetimed(*folders[i])))
            changed = true;
    }
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
                    std::uint64_t seed, std::vector<std::size_t> *retimed)
{
    const std::size_t before = retimed ? retimed->size() : 0;
    Check check{kept, listings, seed, retimed};
    for (const FolderListing &l : listings)
        if (l.volume == volume)
            check.folders.push_back(&l), check.paths.insert(l.path);
    // The root, listed first, is where the walk began, and its device the one it kept to.
    if (check.folders.empty() || !deviceOf(check.folders.front()->path, check.device))
        return false;
    check.run();
    if (retimed)
        std::sort(retimed->begin() + std::ptrdiff_t(before), retimed->end());
    return !check.changed;
}

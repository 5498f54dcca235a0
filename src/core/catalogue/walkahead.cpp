#include "catalogue/walkahead.h"

#include "catalogue/recordvalues.h"
#include "platform/text.h"

#include <algorithm>
#include <sys/resource.h>

namespace {

// Listings held ahead of the walk, and their entries: enough to keep the workers busy, few
// enough that a huge tree costs no more memory than some tens of thousands of entries. The
// workers list in about the walk's order, not in it exactly: with room for only a few hundred
// listings, those of folders the walk reached much later filled it, and the walk listed
// alone for a third of a large walk.
constexpr std::size_t kListingsAhead = 1024;
constexpr std::size_t kEntriesAhead = 65536;

// Listers beyond the cores' count, which list only while listings read from the disk: then
// more requests in flight shorten a cold walk by about a quarter, while with a warm cache
// they would only take the cores from the walk.
constexpr unsigned kDiskWorkers = 2;
// One listing in this many is watched, to tell whether the walk reads from the disk.
constexpr unsigned kWatchedEvery = 8;

// Blocks this thread has read from a disk so far.
long blocksRead()
{
    rusage usage{};
    return ::getrusage(RUSAGE_THREAD, &usage) == 0 ? usage.ru_inblock : 0;
}

// Whether a listing read blocks from a disk, which it does not with a warm cache.
class DiskWatch {
public:
    explicit DiskWatch(bool watched) : m_watched(watched), m_blocks(watched ? blocksRead() : 0) {}
    [[nodiscard]] bool watched() const { return m_watched; }
    [[nodiscard]] bool read() const { return blocksRead() > m_blocks; }

private:
    bool m_watched;
    long m_blocks;
};

unsigned defaultWorkers()
{
    // One core stays with the walk itself, which turns the listings into records.
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp(cores > 1 ? cores - 1 : 1u, 1u, 3u);
}

} // namespace

namespace {

void orderSubdirs(std::uint64_t device, ListedDirectory &out)
{
    out.subdirs.clear();
    if (!out.listing.opened || out.listing.device != device) {
        out.listing.entries.clear(); // another device: a mount point is not entered
        out.listing.names.clear();
        return;
    }
    struct Keyed {
        std::string key; // upper-cased name and separator, as the order compares them
        SubDir sub;
    };
    std::vector<Keyed> subdirs;
    for (const DirEntry &e : out.listing.entries) {
        if (!e.isDirectory || e.device != device)
            continue;
        const std::string_view name = out.listing.name(e);
        std::string key = text::toUpper(text::sanitizeUtf8(name));
        key.push_back(values::kSeparator);
        std::string path = out.path;
        path.append(name).push_back(values::kSeparator);
        subdirs.push_back({std::move(key), {std::move(path), out.path.size(), e.inode}});
    }
    std::sort(subdirs.begin(), subdirs.end(),
              [](const Keyed &a, const Keyed &b) { return a.key != b.key ? a.key < b.key : a.sub.path < b.sub.path; });
    for (Keyed &s : subdirs)
        out.subdirs.push_back(std::move(s.sub));
}

} // namespace

void listAndOrder(const std::string &path, std::uint64_t device, const std::atomic<bool> *cancel, ListedDirectory &out,
                  const KnownListings *known)
{
    out.path = path;
    listDirectory(path, out.listing, cancel, known);
    orderSubdirs(device, out);
}

void listAndOrder(const DirHandle &parent, const SubDir &sub, std::uint64_t device, const std::atomic<bool> *cancel,
                  ListedDirectory &out, const KnownListings *known)
{
    out.path = sub.path;
    listSubdirectory(parent, sub.name(), device, sub.inode, out.listing, cancel, known, sub.path);
    orderSubdirs(device, out);
}

WalkAhead::WalkAhead(std::uint64_t device, const std::atomic<bool> *cancel, unsigned workers,
                     const KnownListings *known)
    : m_device(device), m_cancel(cancel), m_known(known)
{
    for (unsigned i = 0; i < (workers > 0 ? workers : defaultWorkers()); ++i)
        m_workers.emplace_back(&WalkAhead::work, this, false);
    for (unsigned i = 0; i < kDiskWorkers; ++i)
        m_workers.emplace_back(&WalkAhead::work, this, true);
}

WalkAhead::~WalkAhead()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_workAvailable.notify_all();
    m_diskWorkAvailable.notify_all();
    for (std::thread &t : m_workers)
        t.join();
}

bool WalkAhead::stopping() const
{
    return m_stop || (m_cancel && m_cancel->load(std::memory_order_relaxed));
}

void WalkAhead::offer(std::shared_ptr<WalkNode> node)
{
    {
        const std::lock_guard lock(m_mutex);
        m_waiting.push_back(std::move(node));
    }
    m_workAvailable.notify_one();
}

// Wakes only a thread that waits for what this listing brings: every needless wake-up is
// a context switch, and a walk lists tens of thousands of directories.
void WalkAhead::list(WalkNode &node)
{
    const DiskWatch watch(m_listings.fetch_add(1, std::memory_order_relaxed) % kWatchedEvery == 0);
    if (node.parent)
        listAndOrder(*node.parent, node.sub, m_device, m_cancel, node.dir, m_known);
    else
        listAndOrder(node.sub.path, m_device, m_cancel, node.dir, m_known);
    // A folder's descriptor stays open only while subfolders of it remain to be opened.
    node.parent.reset();
    node.sub = {};
    node.children.reserve(node.dir.subdirs.size());
    for (SubDir &sub : node.dir.subdirs)
        node.children.push_back(std::make_shared<WalkNode>(node.dir.listing.handle, std::move(sub)));
    node.dir.subdirs.clear();
    node.dir.listing.handle.reset();
    bool wakeWalk = false, wakeWorkers = false, wakeDiskWorkers = false;
    const bool readFromDisk = watch.watched() && watch.read();
    {
        const std::lock_guard lock(m_mutex);
        if (watch.watched())
            m_diskBound = readFromDisk;
        node.state = WalkNode::State::Listed;
        ++m_listedAhead;
        node.entriesAhead = node.dir.listing.entries.size();
        m_entriesAhead += node.entriesAhead;
        // Reversed, so that the first subdirectory is taken first.
        for (auto it = node.children.rbegin(); it != node.children.rend(); ++it)
            m_waiting.push_back(*it);
        wakeWalk = m_awaited == &node;
        wakeWorkers = !node.children.empty() && m_idleWorkers > 0;
        wakeDiskWorkers = m_diskBound && !m_waiting.empty() && m_idleDiskWorkers > 0;
    }
    if (wakeDiskWorkers)
        m_diskWorkAvailable.notify_all();
    if (wakeWalk)
        m_listed.notify_one();
    if (wakeWorkers)
        m_workAvailable.notify_all();
}

void WalkAhead::work(bool forDisk)
{
    for (;;) {
        std::shared_ptr<WalkNode> node;
        {
            std::unique_lock lock(m_mutex);
            unsigned &idle = forDisk ? m_idleDiskWorkers : m_idleWorkers;
            ++idle;
            (forDisk ? m_diskWorkAvailable : m_workAvailable).wait(lock, [this, forDisk] {
                return stopping() || (!m_waiting.empty() && mayListAhead() && (!forDisk || m_diskBound));
            });
            --idle;
            if (stopping())
                return;
            node = takeWaiting();
        }
        if (node)
            list(*node);
    }
}

void WalkAhead::await(WalkNode &node)
{
    std::unique_lock lock(m_mutex);
    if (node.state == WalkNode::State::Waiting) {
        node.state = WalkNode::State::Taken; // its stale entry on the stack is skipped
        lock.unlock();
        list(node);
        return;
    }
    // Rather than sleep while a worker lists this node, the walk lists one further ahead:
    // on a machine with few cores the listings, not the records, are what it waits for.
    while (node.state != WalkNode::State::Listed) {
        std::shared_ptr<WalkNode> ahead = takeWaiting();
        if (!ahead) {
            m_awaited = &node;
            m_listed.wait(lock, [&] { return node.state == WalkNode::State::Listed; });
            m_awaited = nullptr;
            return;
        }
        lock.unlock();
        list(*ahead);
        lock.lock();
    }
}

std::shared_ptr<WalkNode> WalkAhead::takeWaiting()
{
    while (!m_waiting.empty() && mayListAhead()) {
        std::shared_ptr<WalkNode> node = std::move(m_waiting.back());
        m_waiting.pop_back();
        if (node->state == WalkNode::State::Waiting) {
            node->state = WalkNode::State::Taken;
            return node;
        }
    }
    return nullptr;
}

bool WalkAhead::mayListAhead() const
{
    return m_listedAhead < kListingsAhead && m_entriesAhead < kEntriesAhead;
}

void WalkAhead::consumed(const WalkNode &node)
{
    bool wakeWorkers = false, wakeDiskWorkers = false;
    {
        const std::lock_guard lock(m_mutex);
        const bool couldList = mayListAhead();
        --m_listedAhead;
        m_entriesAhead -= node.entriesAhead;
        const bool nowMay = !couldList && mayListAhead();
        wakeWorkers = nowMay && m_idleWorkers > 0;
        wakeDiskWorkers = nowMay && m_diskBound && m_idleDiskWorkers > 0;
    }
    if (wakeWorkers)
        m_workAvailable.notify_all();
    if (wakeDiskWorkers)
        m_diskWorkAvailable.notify_all();
}

#pragma once
// Reads the directories of a walk ahead of it on worker threads. Each directory is a node;
// listing a node makes its subdirectories nodes, which go on a stack so that the workers
// take them in about the order the walk will want them. The walk awaits each node in its
// own order and lists a node itself when no worker has taken it yet, so it never waits for
// work that is stuck behind the limit on listings held ahead; while a worker lists the node
// it awaits, it lists the next untaken ones instead of sleeping. While listings read from
// the disk, two more workers join in, so that more reads are in flight.

#include "platform/dirlisting.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A subdirectory as its parent's listing found it.
struct SubDir {
    std::string path; // ends in the separator
    std::size_t nameAt = 0;
    std::uint64_t inode = 0;
    [[nodiscard]] std::string name() const { return path.substr(nameAt, path.size() - nameAt - 1); }
};

struct ListedDirectory {
    std::string path;
    DirListing listing;
    std::vector<SubDir> subdirs; // in the order they are visited
};

// Lists a directory of the walk's device and orders its subdirectories: the root by its
// path, a subdirectory by its name in its parent, which must still be open.
// Known listings, where given, stand for directories whose stamps they know.
void listAndOrder(const std::string &path, std::uint64_t device, const std::atomic<bool> *cancel, ListedDirectory &out,
                  const KnownListings *known = nullptr);
void listAndOrder(const DirHandle &parent, const SubDir &sub, std::uint64_t device, const std::atomic<bool> *cancel,
                  ListedDirectory &out, const KnownListings *known = nullptr);

struct WalkNode {
    explicit WalkNode(std::string path) { sub.path = std::move(path); }
    WalkNode(std::shared_ptr<const DirHandle> parent, SubDir sub) : parent(std::move(parent)), sub(std::move(sub)) {}
    enum class State { Waiting, Taken, Listed };
    std::shared_ptr<const DirHandle> parent; // null for the root; let go once listed
    SubDir sub;
    State state = State::Waiting; // guarded by the WalkAhead's mutex
    ListedDirectory dir;
    std::vector<std::shared_ptr<WalkNode>> children; // in walk order
    std::size_t entriesAhead = 0;                    // guarded by the WalkAhead's mutex
};

class WalkAhead {
public:
    // workers 0: one fewer than the machine has cores, at least one.
    WalkAhead(std::uint64_t device, const std::atomic<bool> *cancel, unsigned workers = 0,
              const KnownListings *known = nullptr);
    ~WalkAhead(); // stops and joins the workers
    WalkAhead(const WalkAhead &) = delete;
    WalkAhead &operator=(const WalkAhead &) = delete;

    void offer(std::shared_ptr<WalkNode> node);
    // Returns once the node is listed and its children are made.
    void await(WalkNode &node);
    // The walk is done with the node it awaited last.
    void consumed(const WalkNode &node);

private:
    // A worker for the disk lists only while listings are found reading from it.
    void work(bool forDisk);
    void list(WalkNode &node);
    // Pops the next node no one has taken yet, marked taken; null when none may be listed.
    // Called with the mutex held.
    [[nodiscard]] std::shared_ptr<WalkNode> takeWaiting();
    [[nodiscard]] bool stopping() const;
    // Whether the listings held ahead leave room for another. Called with the mutex held.
    [[nodiscard]] bool mayListAhead() const;

    std::uint64_t m_device;
    const std::atomic<bool> *m_cancel;
    const KnownListings *m_known;
    std::mutex m_mutex;
    std::condition_variable m_workAvailable;     // for the workers
    std::condition_variable m_listed;            // for the walk, awaiting m_awaited
    std::condition_variable m_diskWorkAvailable; // for the workers for the disk
    WalkNode *m_awaited = nullptr;
    unsigned m_idleWorkers = 0, m_idleDiskWorkers = 0;
    std::vector<std::shared_ptr<WalkNode>> m_waiting;
    std::size_t m_listedAhead = 0;
    std::size_t m_entriesAhead = 0;
    std::atomic<unsigned> m_listings{0};
    bool m_diskBound = false; // the last watched listing read from the disk
    bool m_stop = false;
    std::vector<std::thread> m_workers;
};

#pragma once
// One directory's entries with their times and sizes, straight from the kernel.

#include "platform/filetime.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// An entry's names are kept in its listing, so that a listing allocates once for all of them.
struct DirEntry {
    std::uint32_t nameAt = 0, nameSize = 0;   // raw bytes, never "." or ".."
    std::uint32_t shortAt = 0, shortSize = 0; // the 8.3 alias, empty when the name is its own
    bool isDirectory = false;                 // a symbolic link is not a directory
    bool examined = false;                    // false when the entry could be listed but not examined
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    FileTimestamp created, accessed, modified;
};

// An open directory. Its subdirectories are opened through it, by name, so that no path
// length limits the walk and no link swapped in for a listed folder is followed.
class DirHandle {
public:
    explicit DirHandle(int fd) : m_fd(fd) {}
    ~DirHandle();
    DirHandle(const DirHandle &) = delete;
    DirHandle &operator=(const DirHandle &) = delete;
    [[nodiscard]] int fd() const { return m_fd; }

private:
    int m_fd;
};

// What tells whether a directory's listing may have changed since it was read.
struct DirStamp {
    std::uint64_t inode = 0;
    std::int64_t modifiedNs = 0, changedNs = 0; // since 1970
    bool operator==(const DirStamp &) const = default;
};

// Listings kept from an earlier walk. A directory whose stamp is the one its kept listing
// was read with is listed from it, each entry examined anew, instead of being read.
class KnownListings {
public:
    virtual ~KnownListings() = default;
    // The kept entries of the directory at `path` (see DirListing::entriesText), when it was
    // read with `now` as its stamp; nullptr otherwise. Called from several threads at once.
    [[nodiscard]] virtual const std::string *entriesFor(const std::string &path, const DirStamp &now) const = 0;
    // The directory was listed from those entries, which named only what it still holds.
    virtual void listedFromEntries() const {}
};

struct DirListing {
    bool opened = false;
    bool fromKnown = false; // listed from known listings rather than read
    DirStamp stamp;         // taken before the entries were read
    std::uint64_t device = 0;
    std::shared_ptr<const DirHandle> handle; // null unless opened
    std::vector<DirEntry> entries;
    std::string names; // the entries' names and short names, back to back

    [[nodiscard]] std::string_view name(const DirEntry &e) const { return {names.data() + e.nameAt, e.nameSize}; }
    [[nodiscard]] std::string_view shortName(const DirEntry &e) const
    {
        return {names.data() + e.shortAt, e.shortSize};
    }
    // The entries in the order the directory gave them, as a listing is kept: for each, 'd'
    // for a directory or 'f', its name, and a NUL. Without file names, a file is 'f' and a NUL
    // alone, for a keeper that has the names already.
    [[nodiscard]] std::string entriesText(bool fileNames = true) const;
    // A digest of every entry's name and of all that examining it gave (of the last access,
    // its local day; of a directory, only its kind, device and inode), in order, seeded with
    // `seed`: equal digests mean the entries would make the same records.
    [[nodiscard]] std::uint64_t entriesSum(std::uint64_t seed) const;
};

// Lists a directory with the short names Windows would give its entries. An entry that
// vanishes before it can be examined is left out; one that can be listed but not examined
// (a folder that may be read but not searched) is kept with examined false, its size 0 and
// its times unknown. With a cancel flag the listing stops early once the flag is set.
// With known listings, a directory whose stamp they know is listed from them, unless an entry
// they name is no longer there (then it is read); its path (with the final separator) names
// it to them. Without shortNames the short names are left empty.
void listDirectory(const std::string &path, DirListing &out, const std::atomic<bool> *cancel = nullptr,
                   const KnownListings *known = nullptr, bool shortNames = true);

// Lists the subdirectory `name` of an open directory. It is not opened (opened stays false)
// when it is now a link, or no longer the directory of that device and inode.
void listSubdirectory(const DirHandle &parent, const std::string &name, std::uint64_t device, std::uint64_t inode,
                      DirListing &out, const std::atomic<bool> *cancel = nullptr, const KnownListings *known = nullptr,
                      const std::string &path = {});

// For tests: called with the parent's descriptor and the name just before a subdirectory
// is opened, on whichever thread lists it. Set it while no walk runs.
void setBeforeOpenHook(std::function<void(int parentFd, const std::string &name)> hook);

// The stamp of the directory at path (a link to one is not followed), or false when it is
// none or cannot be examined.
bool directoryStamp(const std::string &path, DirStamp &out);

// The device of a path, or false when it cannot be examined.
bool deviceOf(const std::string &path, std::uint64_t &device);

#include "platform/dirlisting.h"

#include "platform/filetime.h"
#include "platform/shortnames.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <xxhash.h>

namespace {

constexpr unsigned kStatxMask = STATX_TYPE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME | STATX_INO;
constexpr int kStatxFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC;
constexpr unsigned kStampMask = STATX_TYPE | STATX_INO | STATX_MTIME | STATX_CTIME;

// The fixed part of a getdents64 record: inode at 0, then these; the name follows.
constexpr std::size_t kReclenOffset = 16;
constexpr std::size_t kTypeOffset = 18;
constexpr std::size_t kNameOffset = 19;

FileTimestamp stamp(const struct statx &sx, unsigned bit, const statx_timestamp &ts)
{
    FileTimestamp t;
    t.known = (sx.stx_mask & bit) != 0;
    t.seconds = ts.tv_sec;
    t.nanoseconds = ts.tv_nsec;
    return t;
}

std::uint64_t deviceNumber(const struct statx &sx)
{
    return std::uint64_t(sx.stx_dev_major) << 32 | sx.stx_dev_minor;
}

DirStamp stampOf(const struct statx &sx)
{
    return {sx.stx_ino, nanosecondsOf(sx.stx_mtime), nanosecondsOf(sx.stx_ctime)};
}

bool isDot(const char *n)
{
    return n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0));
}

std::function<void(int, const std::string &)> &beforeOpenHook()
{
    static std::function<void(int, const std::string &)> hook;
    return hook;
}

void addShortNames(DirListing &out)
{
    std::vector<std::string_view> names;
    names.reserve(out.entries.size());
    for (const DirEntry &e : out.entries)
        names.push_back(out.name(e));
    const std::vector<std::string> aliases = shortNames(names);
    names.clear(); // the views go stale as the aliases join the names
    for (std::size_t i = 0; i < out.entries.size(); ++i) {
        DirEntry &e = out.entries[i];
        e.shortAt = std::uint32_t(out.names.size());
        e.shortSize = std::uint32_t(aliases[i].size());
        out.names.append(aliases[i]);
    }
}

// O_NOATIME is refused on files of other users; then the folder is opened without it.
int openDirectory(int at, const char *name, int flags)
{
    flags |= O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    const int fd = ::openat(at, name, flags | O_NOATIME);
    return fd >= 0 || errno != EPERM ? fd : ::openat(at, name, flags);
}

// False, adding nothing, for an entry that vanished since the directory was read.
bool addEntry(int fd, const char *name, unsigned char type, std::uint64_t inode, DirListing &out)
{
    struct statx sx; // filled when examined: clearing its 256 bytes per entry showed in profiles
    const bool examined = ::statx(fd, name, kStatxFlags, kStatxMask, &sx) == 0;
    if (!examined && errno == ENOENT)
        return false;
    DirEntry &e = out.entries.emplace_back();
    e.nameAt = std::uint32_t(out.names.size());
    e.nameSize = std::uint32_t(std::strlen(name));
    out.names.append(name, e.nameSize);
    e.examined = examined;
    if (!examined) {
        // Listed but not searchable: the name and its kind are all there is.
        e.isDirectory = type == DT_DIR;
        e.device = out.device;
        e.inode = inode;
        return true;
    }
    e.isDirectory = S_ISDIR(sx.stx_mode);
    e.device = deviceNumber(sx);
    e.inode = sx.stx_ino;
    e.size = std::int64_t(sx.stx_size);
    e.created = stamp(sx, STATX_BTIME, sx.stx_btime);
    e.accessed = stamp(sx, STATX_ATIME, sx.stx_atime);
    e.modified = stamp(sx, STATX_MTIME, sx.stx_mtime);
    return true;
}

void readEntries(int fd, DirListing &out, const std::atomic<bool> *cancel)
{
    out.entries.reserve(64);
    alignas(8) char buf[64 * 1024];
    for (;;) {
        const long n = ::syscall(SYS_getdents64, fd, buf, sizeof buf);
        if (n <= 0)
            break;
        for (long at = 0; at < n;) {
            unsigned short reclen;
            std::uint64_t inode;
            std::memcpy(&reclen, buf + at + kReclenOffset, sizeof reclen);
            std::memcpy(&inode, buf + at, sizeof inode);
            const auto type = static_cast<unsigned char>(buf[at + kTypeOffset]);
            const char *name = buf + at + kNameOffset;
            at += reclen;
            if (isDot(name))
                continue;
            if (cancel && cancel->load(std::memory_order_relaxed))
                return;
            addEntry(fd, name, type, inode, out);
        }
    }
    addShortNames(out);
}

// The entries a kept listing names, in its order, each examined now. False where one is not
// there: the listing is damaged, or the folder changed after its stamp was taken.
bool readKnown(int fd, const std::string &entries, DirListing &out, const std::atomic<bool> *cancel, bool shortNames)
{
    for (std::size_t at = 0; at + 1 < entries.size();) {
        const std::size_t end = entries.find('\0', at);
        if (end == std::string::npos)
            return false;
        if (cancel && cancel->load(std::memory_order_relaxed))
            return true;
        if (!addEntry(fd, entries.c_str() + at + 1, entries[at] == 'd' ? DT_DIR : DT_REG, 0, out))
            return false;
        at = end + 1;
    }
    if (shortNames)
        addShortNames(out);
    return true;
}

struct Known {
    const KnownListings *listings = nullptr;
    const std::string *path = nullptr;
    bool shortNames = true;
};

// Lists the directory open at fd, which the listing then owns. With an inode, only when
// fd is that directory.
void listOpened(int fd, DirListing &out, const std::atomic<bool> *cancel, std::uint64_t inode = 0, Known known = {})
{
    if (fd < 0)
        return;
    auto handle = std::make_shared<const DirHandle>(fd);
    struct statx sx {};
    if (::statx(fd, "", AT_EMPTY_PATH, kStampMask, &sx) != 0 || (inode != 0 && sx.stx_ino != inode))
        return;
    out.opened = true;
    out.device = deviceNumber(sx);
    out.stamp = stampOf(sx);
    out.handle = std::move(handle);
    const std::string *kept = known.listings ? known.listings->entriesFor(*known.path, out.stamp) : nullptr;
    out.fromKnown = kept && readKnown(fd, *kept, out, cancel, known.shortNames);
    if (out.fromKnown) {
        known.listings->listedFromEntries();
        return;
    }
    out.entries.clear();
    out.names.clear();
    readEntries(fd, out, cancel);
}

void reset(DirListing &out)
{
    out.opened = false;
    out.fromKnown = false;
    out.stamp = {};
    out.device = 0;
    out.handle.reset();
    out.entries.clear();
    out.names.clear();
}

} // namespace

DirHandle::~DirHandle()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void setBeforeOpenHook(std::function<void(int, const std::string &)> hook)
{
    beforeOpenHook() = std::move(hook);
}

bool deviceOf(const std::string &path, std::uint64_t &device)
{
    struct statx sx {};
    if (::statx(AT_FDCWD, path.c_str(), AT_NO_AUTOMOUNT, STATX_TYPE, &sx) != 0)
        return false;
    device = deviceNumber(sx);
    return true;
}

bool directoryStamp(const std::string &path, DirStamp &out)
{
    struct statx sx {};
    if (::statx(AT_FDCWD, path.c_str(), kStatxFlags, kStampMask, &sx) != 0 || !S_ISDIR(sx.stx_mode))
        return false;
    out = stampOf(sx);
    return true;
}

std::string DirListing::entriesText(bool fileNames) const
{
    std::string out;
    for (const DirEntry &e : entries) {
        out += e.isDirectory ? 'd' : 'f';
        if (e.isDirectory || fileNames)
            out += name(e);
        out += '\0';
    }
    return out;
}

namespace {

std::uint64_t timeWord(const FileTimestamp &t)
{
    return t.known ? std::uint64_t(t.seconds) * 1000000000u + t.nanoseconds : ~std::uint64_t(0);
}

// Only the day of a last access is kept: reading a file moves its access time, but seldom
// its day.
std::uint64_t dayWord(const FileTimestamp &t)
{
    const std::optional<std::int64_t> day = localDay(t);
    return day ? std::uint64_t(*day) : ~std::uint64_t(0);
}

} // namespace

std::uint64_t DirListing::entriesSum(std::uint64_t seed) const
{
    std::string bytes;
    bytes.reserve(entries.size() * 80 + names.size());
    for (const DirEntry &e : entries) {
        // A folder's own times and size make no record, and its last access moves whenever a
        // walk that may not keep it still reads the folder.
        const bool file = !e.isDirectory;
        const std::uint64_t words[] = {std::uint64_t(e.isDirectory) | std::uint64_t(e.examined) << 1,
                                       e.device,
                                       e.inode,
                                       file ? std::uint64_t(e.size) : 0,
                                       file ? timeWord(e.created) : 0,
                                       file ? dayWord(e.accessed) : 0,
                                       file ? timeWord(e.modified) : 0,
                                       e.nameSize};
        bytes.append(reinterpret_cast<const char *>(words), sizeof words);
        bytes.append(names, e.nameAt, e.nameSize);
    }
    return XXH3_64bits_withSeed(bytes.data(), bytes.size(), seed);
}

void listDirectory(const std::string &path, DirListing &out, const std::atomic<bool> *cancel,
                   const KnownListings *known, bool shortNames)
{
    reset(out);
    listOpened(openDirectory(AT_FDCWD, path.c_str(), 0), out, cancel, 0, {known, &path, shortNames});
}

void listSubdirectory(const DirHandle &parent, const std::string &name, std::uint64_t device, std::uint64_t inode,
                      DirListing &out, const std::atomic<bool> *cancel, const KnownListings *known,
                      const std::string &path)
{
    reset(out);
    if (const auto &hook = beforeOpenHook())
        hook(parent.fd(), name);
    listOpened(openDirectory(parent.fd(), name.c_str(), O_NOFOLLOW), out, cancel, inode, {known, &path});
    if (out.opened && out.device != device)
        reset(out); // another folder, of another device, took its place
}

#include "platform/dirlisting.h"

#include "platform/shortnames.h"

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

constexpr unsigned kStatxMask = STATX_TYPE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME;
constexpr int kStatxFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC;

// The fixed part of a getdents64 record; the name follows at kNameOffset.
constexpr std::size_t kReclenOffset = 16;
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

bool isDot(const char *n)
{
    return n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0));
}

class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    [[nodiscard]] int get() const { return m_fd; }

private:
    int m_fd;
};

void addShortNames(std::vector<DirEntry> &entries)
{
    std::vector<std::string_view> names;
    names.reserve(entries.size());
    for (const DirEntry &e : entries)
        names.push_back(e.name);
    std::vector<std::string> aliases = shortNames(names);
    for (std::size_t i = 0; i < entries.size(); ++i)
        entries[i].shortName = std::move(aliases[i]);
}

} // namespace

bool deviceOf(const std::string &path, std::uint64_t &device)
{
    struct statx sx {};
    if (::statx(AT_FDCWD, path.c_str(), AT_NO_AUTOMOUNT, STATX_TYPE, &sx) != 0)
        return false;
    device = deviceNumber(sx);
    return true;
}

void listDirectory(const std::string &path, DirListing &out, const std::atomic<bool> *cancel)
{
    out.opened = false;
    out.entries.clear();
    const Fd dir(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOATIME));
    const Fd fallback(dir.get() < 0 ? ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1);
    const int fd = dir.get() >= 0 ? dir.get() : fallback.get();
    if (fd < 0)
        return;
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return;
    out.opened = true;
    out.device = std::uint64_t(major(st.st_dev)) << 32 | minor(st.st_dev);

    out.entries.reserve(64);
    alignas(8) char buf[64 * 1024];
    for (;;) {
        const long n = ::syscall(SYS_getdents64, fd, buf, sizeof buf);
        if (n <= 0)
            break;
        for (long at = 0; at < n;) {
            unsigned short reclen;
            std::memcpy(&reclen, buf + at + kReclenOffset, sizeof reclen);
            const char *name = buf + at + kNameOffset;
            at += reclen;
            if (isDot(name))
                continue;
            if (cancel && cancel->load(std::memory_order_relaxed))
                return;
            struct statx sx {};
            if (::statx(fd, name, kStatxFlags, kStatxMask, &sx) != 0)
                continue; // vanished since the directory was read
            DirEntry &e = out.entries.emplace_back();
            e.name = name;
            e.isDirectory = S_ISDIR(sx.stx_mode);
            e.device = deviceNumber(sx);
            e.size = std::int64_t(sx.stx_size);
            e.created = stamp(sx, STATX_BTIME, sx.stx_btime);
            e.accessed = stamp(sx, STATX_ATIME, sx.stx_atime);
            e.modified = stamp(sx, STATX_MTIME, sx.stx_mtime);
        }
    }
    addShortNames(out.entries);
}

#include "duplicates/contentread.h"

#include "platform/filetime.h"
#include "platform/uniquefd.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <memory>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <vector>
#include <xxhash.h>

namespace content {
namespace {

constexpr std::size_t kBlockBytes = 1 << 20;
// Asking where a file lies costs an open; a small file's data mostly lies near its inode.
constexpr std::int64_t kPlacedBytes = 1 << 20;

// The read buffers of this thread, made once: a fresh block per file, zeroed and mapped, cost
// more than reading a small file.
char *block(int which)
{
    thread_local std::unique_ptr<char[]> blocks[2];
    if (!blocks[which])
        blocks[which].reset(new char[kBlockBytes]);
    return blocks[which].get();
}

Read failed(std::string &error, const std::string &path)
{
    error = path + ": " + std::strerror(errno);
    return Read::Failed;
}

Stamp stampOf(const struct stat &st)
{
    return {st.st_size, nanosecondsOf(st.st_mtim), st.st_dev, st.st_ino};
}

// Ok while the open file is still the regular file of that stamp.
Read check(int fd, const std::string &path, const Stamp &expected, std::string &error)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return failed(error, path);
    if (!S_ISREG(st.st_mode)) {
        error = path + ": not a regular file";
        return Read::Failed;
    }
    return stampOf(st) == expected ? Read::Ok : Read::Changed;
}

// Not through a link, and never blocking on what replaced the file (a pipe, a device).
Read openChecked(const std::string &path, const Stamp &expected, UniqueFd &fd, std::string &error)
{
    fd.reset(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid())
        return errno == ENOENT || errno == ENOTDIR ? Read::Vanished : failed(error, path);
    return check(fd.get(), path, expected, error);
}

// Exactly n bytes at offset; Changed when the file ends first.
Read readAt(int fd, const std::string &path, char *buf, std::size_t n, std::int64_t offset, std::string &error)
{
    while (n > 0) {
        const ssize_t got = ::pread(fd, buf, n, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return failed(error, path);
        if (got == 0)
            return Read::Changed;
        buf += got, n -= std::size_t(got), offset += got;
    }
    return Read::Ok;
}

// Feeds the ranges of the file to the hash, then makes sure it did not change meanwhile.
Read digestRanges(const std::string &path, const Stamp &expected,
                  const std::vector<std::pair<std::int64_t, std::int64_t>> &ranges, Digest &out, std::string &error)
{
    UniqueFd fd;
    Read r = openChecked(path, expected, fd, error);
    if (r != Read::Ok)
        return r;
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    XXH3_state_t *state = XXH3_createState();
    XXH3_128bits_reset(state);
    char *buf = block(0);
    for (auto [offset, length] : ranges) {
        while (r == Read::Ok && length > 0) {
            const auto n = std::size_t(std::min<std::int64_t>(length, std::int64_t(kBlockBytes)));
            r = readAt(fd.get(), path, buf, n, offset, error);
            XXH3_128bits_update(state, buf, n);
            offset += std::int64_t(n), length -= std::int64_t(n);
        }
    }
    const XXH128_hash_t h = XXH3_128bits_digest(state);
    XXH3_freeState(state);
    out = {h.high64, h.low64};
    return r == Read::Ok ? check(fd.get(), path, expected, error) : r;
}

} // namespace

std::string Digest::hex() const
{
    char text[33];
    std::snprintf(text, sizeof text, "%016" PRIx64 "%016" PRIx64, high, low);
    return text;
}

bool Digest::fromHex(const std::string &text, Digest &out)
{
    if (text.size() != 32 || text.find_first_not_of("0123456789abcdef") != std::string::npos)
        return false;
    out.high = std::stoull(text.substr(0, 16), nullptr, 16);
    out.low = std::stoull(text.substr(16), nullptr, 16);
    return true;
}

Read stampOf(const std::string &path, Stamp &out, std::string &error)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? Read::Vanished : failed(error, path);
    if (!S_ISREG(st.st_mode)) {
        error = path + ": not a regular file";
        return Read::Failed;
    }
    out = stampOf(st);
    return Read::Ok;
}

Read sampleDigest(const std::string &path, const Stamp &expected, Digest &out, std::string &error)
{
    if (expected.size <= 2 * kSampleBytes)
        return fullDigest(path, expected, out, error);
    return digestRanges(path, expected, {{0, kSampleBytes}, {expected.size - kSampleBytes, kSampleBytes}}, out, error);
}

Read fullDigest(const std::string &path, const Stamp &expected, Digest &out, std::string &error)
{
    return digestRanges(path, expected, {{0, expected.size}}, out, error);
}

Read sameBytes(const std::string &a, const Stamp &sa, const std::string &b, const Stamp &sb, bool &same,
               std::string &error)
{
    same = false;
    UniqueFd fa, fb;
    for (Read r : {openChecked(a, sa, fa, error), openChecked(b, sb, fb, error)})
        if (r != Read::Ok)
            return r;
    if (sa.size != sb.size)
        return Read::Ok;
    char *ba = block(0), *bb = block(1);
    for (std::int64_t offset = 0; offset < sa.size;) {
        const auto n = std::size_t(std::min<std::int64_t>(sa.size - offset, std::int64_t(kBlockBytes)));
        for (Read r : {readAt(fa.get(), a, ba, n, offset, error), readAt(fb.get(), b, bb, n, offset, error)})
            if (r != Read::Ok)
                return r;
        if (std::memcmp(ba, bb, n) != 0)
            return Read::Ok;
        offset += std::int64_t(n);
    }
    same = true;
    return Read::Ok;
}

std::uint64_t diskOrder(const std::string &path, const Stamp &stamp)
{
    if (stamp.size < kPlacedBytes)
        return stamp.inode;
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    // The request is followed by room for one extent.
    alignas(struct fiemap) char request[sizeof(struct fiemap) + sizeof(struct fiemap_extent)] = {};
    auto *map = reinterpret_cast<struct fiemap *>(request);
    map->fm_length = FIEMAP_MAX_OFFSET;
    map->fm_extent_count = 1;
    if (fd.valid() && ::ioctl(fd.get(), FS_IOC_FIEMAP, map) == 0 && map->fm_mapped_extents == 1)
        return map->fm_extents[0].fe_physical;
    return stamp.inode;
}

} // namespace content

#include "platform/fileoptemp.h"

#include "platform/fileoperation.h"
#include "platform/mountid.h"
#include "platform/pathresolve.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace fileop::temp {
namespace {

constexpr int kMaxDepth = 4096;
constexpr int kAttempts = 1000;
constexpr std::string_view kSuffix = ".tmp";

std::atomic<unsigned> g_counter{0};

// FNV-1a over the name's numbers, salted so that it means nothing outside this program.
std::uint32_t check(std::string_view numbers)
{
    std::uint32_t h = 2166136261u;
    for (const char ch : std::string_view("tarvolo temporary:"))
        h = (h ^ std::uint8_t(ch)) * 16777619u;
    for (const char ch : numbers)
        h = (h ^ std::uint8_t(ch)) * 16777619u;
    return h;
}

std::string withCheck(const std::string &numbers)
{
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", unsigned(check(numbers)));
    return std::string(kTempPrefix) + numbers + "-" + hex + std::string(kSuffix);
}

bool sameItem(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Made, locked, and still under its name: a sweep may have taken it between the two.
template <typename Make> UniqueFd createLocked(int dir, std::string &name, Make make)
{
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        name = nameFor(::getpid(), ++g_counter);
        UniqueFd fd(make(dir, name.c_str()));
        if (!fd.valid() && errno == EEXIST)
            continue;
        if (!fd.valid() || ::flock(fd.get(), LOCK_EX) != 0)
            return {};
        struct stat mine, named;
        if (::fstat(fd.get(), &mine) == 0 && ::fstatat(dir, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            sameItem(mine, named))
            return fd;
    }
    errno = EEXIST;
    return {};
}

void discardAt(int dir, const std::string &name, int depth)
{
    if (::unlinkat(dir, name.c_str(), 0) == 0 || (errno != EISDIR && errno != EPERM) || depth > kMaxDepth)
        return;
    UniqueFd d(::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!d.valid() || mountid::differs(dir, d.get()))
        return;
    ::fchmod(d.get(), 0700);
    for (const std::string &n : pathres::listNames(d.get()))
        discardAt(d.get(), n, depth + 1);
    ::unlinkat(dir, name.c_str(), AT_REMOVEDIR);
}

void sweepOne(int dir, const std::string &name)
{
    struct stat st;
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)))
        return;
    const int kind = S_ISDIR(st.st_mode) ? O_DIRECTORY : O_NONBLOCK;
    UniqueFd fd(::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC | kind));
    struct stat locked;
    if (!fd.valid() || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 || ::fstat(fd.get(), &locked) != 0 ||
        !sameItem(st, locked))
        return;
    discardAt(dir, name, 0);
}

} // namespace

std::string nameFor(unsigned long pid, unsigned n)
{
    return withCheck(std::to_string(pid) + "-" + std::to_string(n));
}

bool isOurs(std::string_view name)
{
    const std::string_view prefix(kTempPrefix);
    constexpr std::size_t kCheck = 9; // "-" and eight hex digits
    if (name.size() <= prefix.size() + kCheck + kSuffix.size() || !name.starts_with(prefix) || !name.ends_with(kSuffix))
        return false;
    const std::string_view numbers = name.substr(prefix.size(), name.size() - prefix.size() - kCheck - kSuffix.size());
    const std::size_t dash = numbers.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash + 1 == numbers.size() ||
        numbers.find_first_not_of("0123456789-") != std::string_view::npos ||
        numbers.find('-', dash + 1) != numbers.npos)
        return false;
    return name == withCheck(std::string(numbers));
}

UniqueFd createFile(int dir, std::string &name)
{
    return createLocked(dir, name, [](int d, const char *n) {
        return ::openat(d, n, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    });
}

UniqueFd createFolder(int dir, std::string &name)
{
    return createLocked(dir, name, [](int d, const char *n) {
        if (::mkdirat(d, n, 0700) != 0)
            return -1;
        return ::openat(d, n, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    });
}

bool createOther(int dir, std::string &name, const std::function<int(int, const char *)> &make)
{
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        name = nameFor(::getpid(), ++g_counter);
        if (make(dir, name.c_str()) == 0)
            return true;
        if (errno != EEXIST)
            return false;
    }
    return false;
}

void discard(int dir, const std::string &name)
{
    discardAt(dir, name, 0);
}

void sweepStale(int dir)
{
    for (const std::string &n : pathres::listNames(dir))
        if (isOurs(n))
            sweepOne(dir, n);
}

} // namespace fileop::temp

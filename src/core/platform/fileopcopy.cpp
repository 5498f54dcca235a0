#include "platform/fileopcopy.h"

#include "platform/fileoptemp.h"
#include "platform/mountid.h"
#include "platform/sparsecopy.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace fileop {
namespace {

// Big enough to copy fast, small enough that Cancel is seen within a few milliseconds.
constexpr std::size_t kChunk = std::size_t(8) << 20;

int createFile(int dir, const char *name)
{
    return ::openat(dir, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

int createFolder(int dir, const char *name)
{
    if (::mkdirat(dir, name, 0700) != 0)
        return -1;
    return openFolderAt(dir, name);
}

} // namespace

// fresh: to.dir is a folder of ours still under a temporary name.
bool Copier::entry(const Place &from, Place to, bool fresh)
{
    if (!m_e.goOn())
        return false;
    const std::string srcPath = from.shown();
    if (m_depth > kMaxDepth)
        return m_e.fail(ELOOP, srcPath, "The folders are nested too deeply.");
    // The type comes first: opening a device or a FIFO can have effects of its own.
    struct stat st;
    if (::fstatat(from.dir, from.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return m_e.failErrno(srcPath);
    const Decision d = fresh ? Decision::Fresh : m_e.decide(st, to);
    return as(from, st, to, d);
}

bool Copier::as(const Place &from, const struct stat &st, const Place &to, Decision d)
{
    if (d == Decision::Skip)
        return true;
    if (d == Decision::Stop)
        return false;
    const bool ok = kind(from, st, to, d);
    if (ok && m_record)
        m_record->add(st);
    return ok;
}

bool Copier::kind(const Place &from, const struct stat &st, const Place &to, Decision d)
{
    switch (st.st_mode & S_IFMT) {
    case S_IFREG:
        return copyFile(from, st, to, d);
    case S_IFDIR:
        return copyFolder(from, st, to, d);
    case S_IFLNK:
        return copyLink(from, st, to, d);
    case S_IFIFO:
    case S_IFCHR:
    case S_IFBLK:
        // Made anew, never opened. A device needs the right to make one.
        return copyByName(st, to, d, [&st](int dir, const char *n) {
            return ::mknodat(dir, n, st.st_mode & (S_IFMT | 0777), st.st_rdev);
        });
    }
    return m_e.fail(EINVAL, from.shown(),
                    S_ISSOCK(st.st_mode) ? "It is a socket, which cannot be copied."
                                         : "It is not a file, a folder or a link.");
}

// Opens an item whose type is known, and makes sure it is still that item.
UniqueFd Copier::openSource(const Place &from, const struct stat &st, int how)
{
    const std::string path = from.shown();
    UniqueFd fd(::openat(from.dir, from.name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | how));
    struct stat now;
    if (!fd.valid() || ::fstat(fd.get(), &now) != 0)
        return m_e.failErrno(path), UniqueFd();
    if (!sameItem(now, st) || (now.st_mode & S_IFMT) != (st.st_mode & S_IFMT))
        return m_e.fail(EIO, path, "It was replaced by another item while it was being read; it was left alone."),
               UniqueFd();
    return fd;
}

bool Copier::copyFile(const Place &from, const struct stat &st, const Place &to, Decision d)
{
    const UniqueFd in = openSource(from, st, O_NONBLOCK | O_NOCTTY);
    if (!in.valid())
        return false;
    const bool fresh = d == Decision::Fresh;
    const std::string srcPath = from.shown(), dstPath = to.shown();
    std::string tmp = to.name;
    // out holds the temporary's lock until it is settled.
    const UniqueFd out = fresh ? UniqueFd(createFile(to.dir, to.name.c_str())) : temp::createFile(to.dir, tmp);
    if (!out.valid())
        return m_e.failErrno(dstPath);
    const std::int64_t copied = copyData(in.get(), out.get(), st.st_size, srcPath, dstPath);
    // On the disk before it takes the name, above all when it replaces a file.
    // Cancel counts until the name is taken, through the sync too.
    const bool ok = copied >= 0 && stamp(out.get(), st, dstPath) && verifyWhole(in.get(), st, copied, srcPath) &&
                    (fresh || ::fsync(out.get()) == 0 || m_e.failErrno(dstPath)) && m_e.goOn();
    return settle(ok, to, tmp, d);
}

// The length copied, or -1 when the copy failed or was cancelled.
std::int64_t Copier::copyData(int in, int out, std::int64_t size, const std::string &srcPath,
                              const std::string &dstPath)
{
    const std::function<bool(std::int64_t)> step = [&](std::int64_t done) {
        m_e.progress(srcPath, done, size);
        return m_e.goOn();
    };
    const sparsecopy::Outcome o = sparsecopy::copy(in, out, kChunk, step);
    if (o.ok())
        return o.length;
    if (!o.stopped) {
        errno = o.err;
        m_e.failErrno(o.atDestination ? dstPath : srcPath);
    }
    return -1;
}

// Mode and times of st. Set-id bits are dropped: the copy belongs to whoever runs the program.
bool Copier::stamp(int fd, const struct stat &st, const std::string &path)
{
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::fchmod(fd, st.st_mode & 01777) != 0 || ::futimens(fd, times) != 0)
        return m_e.failErrno(path);
    return true;
}

// For a move, the proof that the whole file arrived unchanged.
bool Copier::verifyWhole(int in, const struct stat &st, std::int64_t copied, const std::string &srcPath)
{
    if (!m_record)
        return true;
    struct stat now;
    if (::fstat(in, &now) != 0)
        return m_e.failErrno(srcPath);
    if (copied != st.st_size || now.st_size != st.st_size || now.st_mtim.tv_sec != st.st_mtim.tv_sec ||
        now.st_mtim.tv_nsec != st.st_mtim.tv_nsec)
        return m_e.fail(EIO, srcPath, "The file changed while it was being moved; it was left where it was.");
    return true;
}

bool Copier::copyLink(const Place &from, const struct stat &st, const Place &to, Decision d)
{
    const std::string srcPath = from.shown();
    std::string target(std::size_t(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t len = ::readlinkat(from.dir, from.name.c_str(), target.data(), target.size());
    if (len < 0)
        return m_e.failErrno(srcPath);
    if (std::size_t(len) >= target.size())
        return m_e.fail(EIO, srcPath, "The link changed while it was being copied.");
    target.resize(std::size_t(len));
    return copyByName(st, to, d, [&target](int dir, const char *n) { return ::symlinkat(target.c_str(), dir, n); });
}

// A link or a node: made by make, under a temporary name unless fresh, with the times
// and, for a node, the mode of st.
bool Copier::copyByName(const struct stat &st, const Place &to, Decision d,
                        const std::function<int(int, const char *)> &make)
{
    const std::string dstPath = to.shown();
    std::string tmp = to.name;
    const bool made = d == Decision::Fresh ? make(to.dir, to.name.c_str()) == 0 : temp::createOther(to.dir, tmp, make);
    if (!made)
        return m_e.failErrno(dstPath);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    const bool moded = S_ISLNK(st.st_mode) || ::fchmodat(to.dir, tmp.c_str(), st.st_mode & 01777, 0) == 0;
    const bool ok =
        (moded && ::utimensat(to.dir, tmp.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0) || m_e.failErrno(dstPath);
    return settle(ok, to, tmp, d);
}

bool Copier::place(const Place &to, const std::string &tmp, bool replace)
{
    const std::string path = to.shown();
    const int r = replace ? ::renameat(to.dir, tmp.c_str(), to.dir, to.name.c_str())
                          : renameNoReplace(to.dir, tmp, to.dir, to.name);
    return r == 0 || m_e.failErrno(path);
}

// Puts a made copy (fresh: already under its own name) in its place, or removes it when
// making or placing it failed, so nothing half made is left behind.
bool Copier::settle(bool ok, const Place &to, const std::string &tmp, Decision d)
{
    if (ok && d != Decision::Fresh)
        ok = place(to, tmp, d == Decision::Replace);
    if (!ok)
        ::unlinkat(to.dir, tmp.c_str(), 0);
    else
        m_e.finished(to.shown());
    return ok;
}

bool Copier::copyFolder(const Place &from, const struct stat &st, const Place &to, Decision d)
{
    const UniqueFd in = openSource(from, st, O_DIRECTORY);
    if (!in.valid())
        return false;
    if (m_record && mountid::differs(from.dir, in.get()))
        return m_e.fail(EBUSY, from.shown(), "A file system is mounted on this folder, so it cannot be moved.");
    if (d == Decision::Merge)
        return mergeFolder(in.get(), from, st, to);
    return makeFolder(in.get(), from, st, to, d == Decision::Fresh);
}

bool Copier::makeFolder(int in, const Place &from, const struct stat &st, const Place &to, bool fresh)
{
    if (!fresh && within(to.dir, st))
        return m_e.fail(EINVAL, from.shown(), "The destination folder is inside the source folder.");
    const std::string dstPath = to.shown();
    std::string tmp = to.name;
    // out holds the temporary's lock until it is renamed or discarded.
    const UniqueFd out = fresh ? UniqueFd(createFolder(to.dir, to.name.c_str())) : temp::createFolder(to.dir, tmp);
    if (!out.valid())
        return m_e.failErrno(dstPath);
    bool ok = copyChildren(in, from.shown(), out.get(), dstPath, true) && stamp(out.get(), st, dstPath);
    if (!fresh)
        ok = settleFolder(ok, to, tmp);
    if (ok)
        m_e.finished(dstPath);
    return ok;
}

// A copied folder takes its name, or is discarded with everything in it.
bool Copier::settleFolder(bool ok, const Place &to, const std::string &tmp)
{
    if (ok)
        ok = place(to, tmp, false);
    if (!ok)
        temp::discard(to.dir, tmp);
    return ok;
}

bool Copier::mergeFolder(int in, const Place &from, const struct stat &st, const Place &to)
{
    if (within(to.dir, st))
        return m_e.fail(EINVAL, from.shown(), "The destination folder is inside the source folder.");
    const std::string dstPath = to.shown();
    UniqueFd out(openFolderAt(to.dir, to.name));
    if (!out.valid())
        return m_e.failErrno(dstPath);
    temp::sweepStale(out.get());
    return copyChildren(in, from.shown(), out.get(), dstPath, false);
}

bool Copier::copyChildren(int in, const std::string &srcPath, int out, const std::string &dstPath, bool fresh)
{
    const std::string dstFolder = dstPath + "/";
    ++m_depth;
    const bool ok = m_e.eachIn(in, srcPath, [&](const Place &child) {
        return entry(child, {out, child.name, dstFolder}, fresh);
    });
    --m_depth;
    return ok;
}

} // namespace fileop

#include "platform/fileoperation.h"

#include "platform/fileopengine.h"
#include "platform/fileopresolve.h"
#include "platform/fileoptemp.h"
#include "platform/mountid.h"
#include "platform/movedsource.h"
#include "platform/sparsecopy.h"
#include "platform/uniquefd.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fileop {
namespace {

// Big enough to copy fast, small enough that Cancel is seen within a few milliseconds.
constexpr std::size_t kChunk = std::size_t(8) << 20;

// ---- copy ----

// Copies items, folders with everything in them; each is written under a temporary name
// and takes its own only when complete.
class Copier {
public:
    // record: a move across file systems, which proves that each file arrived whole and
    // records each item copied; depth: how deep in a moved tree the copy starts.
    explicit Copier(Engine &engine, CopiedItems *record = nullptr, int depth = 0)
        : m_e(engine), m_record(record), m_depth(depth)
    {
    }
    bool entry(const Place &from, Place to, bool fresh = false);
    bool as(const Place &from, const struct stat &st, const Place &to, Decision d);

private:
    bool kind(const Place &from, const struct stat &st, const Place &to, Decision d);
    UniqueFd openSource(const Place &from, const struct stat &st, int how);
    bool copyFile(const Place &from, const struct stat &st, const Place &to, Decision d);
    std::int64_t copyData(int in, int out, std::int64_t size, const std::string &srcPath, const std::string &dstPath);
    bool stamp(int fd, const struct stat &st, const std::string &path);
    bool verifyWhole(int in, const struct stat &st, std::int64_t copied, const std::string &srcPath);
    bool copyLink(const Place &from, const struct stat &st, const Place &to, Decision d);
    bool copyByName(const struct stat &st, const Place &to, Decision d,
                    const std::function<int(int, const char *)> &make);
    bool place(const Place &to, const std::string &tmp, bool replace);
    bool settle(bool ok, const Place &to, const std::string &tmp, Decision d);
    bool copyFolder(const Place &from, const struct stat &st, const Place &to, Decision d);
    bool makeFolder(int in, const Place &from, const struct stat &st, const Place &to, bool fresh);
    bool mergeFolder(int in, const Place &from, const struct stat &st, const Place &to);
    bool copyChildren(int in, const std::string &srcPath, int out, const std::string &dstPath, bool fresh);

    Engine &m_e;
    CopiedItems *m_record;
    int m_depth;
};

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
    if (ok && !fresh)
        ok = place(to, tmp, false);
    if (!ok && !fresh)
        temp::discard(to.dir, tmp);
    if (ok)
        m_e.finished(dstPath);
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

// ---- move ----

class Mover {
public:
    explicit Mover(Engine &engine) : m_e(engine) {}
    bool entry(const Place &from, Place to);

private:
    bool across(const Place &from, const struct stat &st, const Place &to, Decision d);
    bool into(const Place &from, const struct stat &st, const Place &to);

    Engine &m_e;
    int m_depth = 0;
};

bool Mover::entry(const Place &from, Place to)
{
    if (!m_e.goOn())
        return false;
    const std::string srcPath = from.shown();
    struct stat st;
    if (::fstatat(from.dir, from.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return m_e.failErrno(srcPath);
    const Decision d = m_e.decide(st, to);
    if (d == Decision::Skip)
        return true;
    if (d == Decision::Stop)
        return false;
    if (d == Decision::Merge)
        return into(from, st, to);
    const std::string dstPath = to.shown();
    const int r = d == Decision::Replace ? ::renameat(from.dir, from.name.c_str(), to.dir, to.name.c_str())
                                         : renameNoReplace(from.dir, from.name, to.dir, to.name);
    if (r == 0) {
        m_e.finished(dstPath);
        return true;
    }
    if (errno != EXDEV)
        return m_e.failErrno(srcPath);
    return across(from, st, to, d);
}

// Another file system: a verified copy, made durable, and only then the source goes, as
// far as it is still what was copied.
bool Mover::across(const Place &from, const struct stat &st, const Place &to, Decision d)
{
    CopiedItems copied;
    if (!Copier(m_e, &copied, m_depth).as(from, st, to, d))
        return false;
    const std::string srcPath = from.shown(), dstPath = to.shown();
    if (::syncfs(to.dir) != 0)
        return m_e.failErrno(dstPath);
    const SourceRemoval r =
        removeCopied(from.dir, from.name, srcPath, copied, [this](const std::string &path) { m_e.removedItem(path); });
    if (r.err)
        return m_e.fail(r.err, r.path, r.why);
    if (r.kept == 0)
        return true;
    const std::string others = r.kept > 1 ? " (and " + std::to_string(r.kept - 1) + " more)" : "";
    return m_e.fail(EIO, r.firstKept,
                    "It changed or appeared while it was being moved, so it was left where it is" + others +
                        "; the copy has what was there before.");
}

bool Mover::into(const Place &from, const struct stat &st, const Place &to)
{
    const std::string srcPath = from.shown(), dstPath = to.shown();
    if (within(to.dir, st))
        return m_e.fail(EINVAL, srcPath, "The destination folder is inside the source folder.");
    UniqueFd in(openFolderAt(from.dir, from.name));
    UniqueFd out(openFolderAt(to.dir, to.name));
    if (!in.valid())
        return m_e.failErrno(srcPath);
    if (!out.valid())
        return m_e.failErrno(dstPath);
    const std::string dstFolder = dstPath + "/";
    ++m_depth;
    const bool ok = m_e.eachIn(in.get(), srcPath, [&](const Place &child) {
        return entry(child, {out.get(), child.name, dstFolder});
    });
    --m_depth;
    if (!ok)
        return false;
    // Items the user chose to keep leave the folder in place.
    if (::unlinkat(from.dir, from.name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOTEMPTY && errno != EEXIST)
        return m_e.failErrno(srcPath);
    return true;
}

// ---- rename ----

// False when the rename is not to be made: it failed, or the item already has the name.
bool clearedForRename(Engine &e, const Source &src, Place &dst)
{
    const pathres::Lookup l = pathres::lookupName(dst.dir, dst.name, true);
    if (l.found == pathres::Found::Several)
        return e.fail(EEXIST, dst.shown(), "Several names differ from the new name only in case.");
    struct stat st;
    if (l.found != pathres::Found::One || ::fstatat(dst.dir, l.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return true;
    if (sameItem(st, src.first))
        return l.name != dst.name; // the same name: nothing to do; else a change of case
    if (!e.has(RenameOnCollision))
        return e.fail(EEXIST, src.place(src.names.front()).shown(),
                      "A file with the name you specified already exists. Specify a different name.");
    return e.freeName(dst.dir, dst.name, dst.shown());
}

void rename(Engine &e, const Source &src, const std::string &to)
{
    NewName n;
    if (!resolveNewName(e, to, src, n) || !clearedForRename(e, src, n.place))
        return;
    const Place from = src.place(src.names.front());
    const std::string srcPath = from.shown();
    if (renameNoReplace(from.dir, from.name, n.place.dir, n.place.name) != 0) {
        if (errno == EXDEV)
            e.fail(EXDEV, srcPath, "A rename cannot move it to another file system; use Move.");
        else
            e.failErrno(srcPath);
        return;
    }
    e.finished(n.place.shown());
}

// ---- delete ----

class Remover {
public:
    explicit Remover(Engine &engine) : m_e(engine) {}
    void all(const Source &src);

private:
    bool tree(const Place &at);
    UniqueFd openFolder(const Place &at, const std::string &path, int unlinkErr);
    bool removeFolder(const Place &at, int fd, const std::string &path);

    Engine &m_e;
    int m_depth = 0;
};

void Remover::all(const Source &src)
{
    for (const std::string &name : src.names) {
        if (!m_e.goOn())
            return;
        const Place at = src.place(name);
        const std::string path = at.shown();
        struct stat st;
        if (::fstatat(at.dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            m_e.failErrno(path);
            return;
        }
        const Question q = S_ISDIR(st.st_mode) ? Question::DeleteFolder : Question::DeleteFile;
        if (!m_e.confirmed(q, path, readOnly(st))) {
            if (m_e.stopped())
                return;
            continue;
        }
        if (!tree(at))
            return;
    }
}

// Links and files are unlinked; a folder is emptied through its own descriptor, so a
// link inside it is removed, never followed, and a mount inside it is never entered.
bool Remover::tree(const Place &at)
{
    if (!m_e.goOn())
        return false;
    const std::string path = at.shown();
    if (::unlinkat(at.dir, at.name.c_str(), 0) == 0) {
        m_e.removedItem(path);
        return true;
    }
    const int unlinkErr = errno;
    if (unlinkErr != EISDIR && unlinkErr != EPERM)
        return m_e.failErrno(path);
    const UniqueFd d = openFolder(at, path, unlinkErr);
    return d.valid() && removeFolder(at, d.get(), path);
}

UniqueFd Remover::openFolder(const Place &at, const std::string &path, int unlinkErr)
{
    UniqueFd d(openFolderAt(at.dir, at.name));
    if (!d.valid()) {
        if (errno == ENOTDIR || errno == ELOOP)
            errno = unlinkErr; // not a folder after all: the unlink's own failure counts
        m_e.failErrno(path);
    }
    return d;
}

bool Remover::removeFolder(const Place &at, int fd, const std::string &path)
{
    if (m_depth > kMaxDepth)
        return m_e.fail(ELOOP, path, "The folders are nested too deeply.");
    // A bind mount of this same file system has its parent's device: the mount id tells.
    if (mountid::differs(at.dir, fd))
        return m_e.fail(EBUSY, path, "A file system is mounted on this folder; it was left alone.");
    ++m_depth;
    const bool emptied = m_e.eachIn(fd, path, [this](const Place &child) { return tree(child); });
    --m_depth;
    if (!emptied)
        return false;
    if (::unlinkat(at.dir, at.name.c_str(), AT_REMOVEDIR) != 0)
        return m_e.failErrno(path);
    m_e.removedItem(path);
    return true;
}

// ---- the operation ----

void transferAll(Engine &e, const Source &src, const std::string &to)
{
    Target t;
    if (!resolveTarget(e, to, src, t))
        return;
    temp::sweepStale(t.dir.get());
    for (const std::string &name : src.names) {
        const Place from = src.place(name);
        if (e.function() == Function::Copy)
            Copier(e).entry(from, t.placeFor(name));
        else
            Mover(e).entry(from, t.placeFor(name));
        if (e.stopped())
            return;
    }
}

} // namespace

Result perform(Function function, const std::string &from, const std::string &to, std::uint16_t flags, Interaction &ui)
{
    Engine e(function, flags, ui);
    Source src;
    if (resolveSource(e, from, src)) {
        switch (function) {
        case Function::Delete:
            Remover(e).all(src);
            break;
        case Function::Rename:
            rename(e, src, to);
            break;
        case Function::Copy:
        case Function::Move:
            transferAll(e, src, to);
            break;
        }
    }
    return e.result();
}

} // namespace fileop

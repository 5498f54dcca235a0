#include "platform/fileoperation.h"

#include "platform/fileoptemp.h"
#include "platform/mountid.h"
#include "platform/movedsource.h"
#include "platform/pathresolve.h"
#include "platform/sparsecopy.h"
#include "platform/text.h"
#include "platform/uniquefd.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <linux/fs.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fileop {
namespace {

// Big enough to copy fast, small enough that Cancel is seen within a few milliseconds.
constexpr std::size_t kChunk = std::size_t(8) << 20;
constexpr int kMaxDepth = 4096;

enum class Place { New, Replace, Merge, Skip, Stop };

bool sameItem(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool readOnly(const struct stat &st)
{
    return !S_ISLNK(st.st_mode) && (st.st_mode & 0222) == 0;
}

// renameat2 without replacing; for file systems without it, a link (files) or a checked
// rename (folders).
int renameNoReplace(int fromDir, const std::string &from, int toDir, const std::string &to)
{
    if (::renameat2(fromDir, from.c_str(), toDir, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    struct stat st;
    if (::fstatat(toDir, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return -1;
    }
    if (::linkat(fromDir, from.c_str(), toDir, to.c_str(), 0) == 0)
        return ::unlinkat(fromDir, from.c_str(), 0);
    if (errno == EEXIST || errno == EXDEV)
        return -1;
    return ::renameat(fromDir, from.c_str(), toDir, to.c_str());
}

class Engine {
public:
    Engine(Function function, std::uint16_t flags, Interaction &ui)
        : m_function(function), m_flags(flags), m_ui(ui), m_yesToAll(flags & NoConfirmation)
    {
    }

    Result run(const std::string &from, const std::string &to)
    {
        Source src;
        if (resolveSource(from, src)) {
            switch (m_function) {
            case Function::Delete:
                deleteAll(src);
                break;
            case Function::Rename:
                rename(src, to);
                break;
            case Function::Copy:
            case Function::Move:
                transferAll(src, to);
                break;
            }
        }
        return {m_code, m_aborted};
    }

private:
    struct Source {
        pathres::Folder folder;
        std::vector<std::string> names;
        bool wildcard = false;
        struct stat first {}; // of names[0]
    };
    struct Target {
        UniqueFd dir;
        std::string dirPath; // ends in "/"
        std::string name;    // the new name of a single source; empty: into the folder
    };

    [[nodiscard]] const char *verb() const
    {
        switch (m_function) {
        case Function::Move:
            return "move";
        case Function::Copy:
            return "copy";
        case Function::Delete:
            return "delete";
        case Function::Rename:
            return "rename";
        }
        return "";
    }

    bool fail(int err, const std::string &path, const std::string &why)
    {
        if (!m_stop) {
            m_ui.error("Cannot " + std::string(verb()) + " " + path + ": " + why);
            m_code = err;
            m_stop = true;
        }
        return false;
    }
    bool failErrno(const std::string &path)
    {
        const int err = errno ? errno : EIO;
        const char *d = ::strerrordesc_np(err);
        return fail(err, path, std::string(d ? d : "Unknown error") + ".");
    }
    bool goOn()
    {
        if (!m_stop && m_ui.cancelled()) {
            m_aborted = true;
            m_code = ECANCELED;
            m_stop = true;
        }
        return !m_stop;
    }
    // False when the item is to be left alone; m_stop tells whether everything stops.
    bool confirmed(Question q, const std::string &path, bool ro)
    {
        if (m_yesToAll)
            return true;
        switch (m_ui.confirm(q, path, ro)) {
        case Answer::YesToAll:
            m_yesToAll = true;
            return true;
        case Answer::Yes:
            return true;
        case Answer::No:
            m_aborted = true;
            return false;
        case Answer::Cancel:
            m_aborted = true;
            m_code = ECANCELED;
            m_stop = true;
            return false;
        }
        return false;
    }
    void finished(const std::string &path)
    {
        ++m_items;
        m_ui.progress(path, 0, 0, m_items);
    }
    void removedItem(const std::string &path)
    {
        m_ui.removed(path);
        finished(path);
    }

    bool resolveSource(const std::string &from, Source &src)
    {
        const auto names = pathres::splitAbsolute(from);
        const std::string shown(text::trimRight(from));
        if (!names || names->empty())
            return fail(EINVAL, shown, "The source must be the full path of a file or folder.");
        auto folder = pathres::openFolder(*names, names->size() - 1);
        if (!folder && errno == EEXIST)
            return fail(ENOENT, shown, "Several folders on its path differ only in case; none matches exactly.");
        if (!folder)
            return failErrno(shown);
        src.folder = std::move(*folder);
        const int dir = src.folder.fd.get();
        const std::string last(text::trimRight(names->back()));
        const pathres::Lookup l = pathres::lookupName(dir, names->back(), true);
        if (l.found == pathres::Found::Several)
            return fail(ENOENT, shown, "Several files differ from this name only in case; none matches it exactly.");
        if (l.found == pathres::Found::One) {
            src.names = {l.name};
        } else if (pathres::hasWildcards(last)) {
            src.wildcard = true;
            for (std::string &n : pathres::listNames(dir))
                if (pathres::wildcardMatch(last, text::trimRight(n)) && !leftOutAsFolder(dir, n))
                    src.names.push_back(std::move(n));
            std::sort(src.names.begin(), src.names.end());
        }
        if (src.names.empty())
            return fail(ENOENT, shown, "The system cannot find the file specified.");
        if (::fstatat(dir, src.names.front().c_str(), &src.first, AT_SYMLINK_NOFOLLOW) != 0)
            return failErrno(shown);
        return true;
    }
    bool leftOutAsFolder(int dir, const std::string &name) const
    {
        struct stat st;
        return (m_flags & FilesOnly) && ::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
               S_ISDIR(st.st_mode);
    }

    // Where a copy or move goes: into an existing folder, or under a new name. A final "/"
    // names a folder, as the destination of a wildcard source always is.
    bool resolveTarget(const std::string &to, const Source &src, Target &t)
    {
        const std::string typed(text::trimRight(to));
        if (typed.empty())
            return fail(EINVAL, src.folder.path + src.names.front(), "No destination was given.");
        if (pathres::hasWildcards(typed))
            return fail(EINVAL, typed, "Wildcards are not allowed in the destination.");
        const auto names = pathres::splitAbsolute(typed.front() == '/' ? typed : src.folder.path + typed);
        const bool single = !src.wildcard && typed.back() != '/';
        t.dir.reset(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        t.dirPath = "/";
        if (!names || !t.dir.valid())
            return failErrno(typed);
        std::size_t i = 0;
        switch (walkExisting(*names, typed, single, src, t, i)) {
        case Walk::Failed:
            return false;
        case Walk::Done:
            return true;
        case Walk::Missing:
            break;
        }
        return makeMissing(*names, single, i, t);
    }

    enum class Walk { Done, Missing, Failed };
    // Follows the names that exist; i receives the first that does not.
    Walk walkExisting(const std::vector<std::string> &names, const std::string &typed, bool single, const Source &src,
                      Target &t, std::size_t &i)
    {
        const std::size_t n = names.size();
        for (; i < n; ++i) {
            const bool last = i + 1 == n;
            const pathres::Lookup l = pathres::lookupName(t.dir.get(), names[i], last);
            if (l.found == pathres::Found::Several)
                return fail(EEXIST, typed, "Several names differ from the destination only in case."), Walk::Failed;
            if (l.found == pathres::Found::None)
                return Walk::Missing;
            struct stat st;
            if (::fstatat(t.dir.get(), l.name.c_str(), &st, last ? AT_SYMLINK_NOFOLLOW : 0) != 0)
                return failErrno(typed), Walk::Failed;
            // A move that only changes the case of the source's own name.
            const bool itself = last && single && m_function == Function::Move && sameItem(st, src.first);
            if (last && (itself || !S_ISDIR(st.st_mode))) {
                if (!single)
                    return fail(ENOTDIR, typed, "The destination is not a folder."), Walk::Failed;
                t.name = itself ? std::string(text::trimRight(names[i])) : l.name;
                return Walk::Done;
            }
            UniqueFd next(
                ::openat(t.dir.get(), l.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (last ? O_NOFOLLOW : 0)));
            if (!next.valid())
                return failErrno(typed), Walk::Failed;
            t.dir = std::move(next);
            t.dirPath += l.name + "/";
        }
        return Walk::Done;
    }

    // Makes the missing folders from names[i] on, after asking; a single source's last name
    // is its new name.
    bool makeMissing(const std::vector<std::string> &names, bool single, std::size_t i, Target &t)
    {
        const std::size_t makeUpTo = single ? names.size() - 1 : names.size();
        if (i < makeUpTo && !(m_flags & NoConfirmMkdir) &&
            !confirmed(Question::CreateFolder, pathres::joinPath(names, makeUpTo), false))
            return false;
        for (; i < makeUpTo; ++i) {
            const std::string &name = names[i];
            if (::mkdirat(t.dir.get(), name.c_str(), 0777) != 0 && errno != EEXIST)
                return failErrno(t.dirPath + name);
            UniqueFd next(::openat(t.dir.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!next.valid())
                return failErrno(t.dirPath + name);
            t.dir = std::move(next);
            t.dirPath += name + "/";
        }
        if (single)
            t.name = std::string(text::trimRight(names.back()));
        return true;
    }

    // "Copy #1 of NAME", "Copy #2 of NAME", ...: the first that names nothing in the folder.
    bool freeName(int dir, std::string &name, const std::string &path)
    {
        for (int n = 1; n < 100000; ++n) {
            std::string candidate = "Copy #" + std::to_string(n) + " of " + name;
            if (pathres::lookupName(dir, candidate, false).found == pathres::Found::None) {
                name = std::move(candidate);
                return true;
            }
        }
        return fail(EEXIST, path, "No free name was found.");
    }

    Place decide(const struct stat &src, int dstDir, std::string &dstName, const std::string &dstFolder)
    {
        struct stat dst;
        const std::string path = dstFolder + dstName;
        if (::fstatat(dstDir, dstName.c_str(), &dst, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT)
                return Place::New;
            failErrno(path);
            return Place::Stop;
        }
        if (m_flags & RenameOnCollision)
            return freeName(dstDir, dstName, path) ? Place::New : Place::Stop;
        if (sameItem(src, dst)) {
            fail(EINVAL, path, "The source and destination are the same file.");
            return Place::Stop;
        }
        if (S_ISDIR(src.st_mode) != S_ISDIR(dst.st_mode)) {
            fail(EEXIST, path, "A file and a folder cannot replace each other.");
            return Place::Stop;
        }
        const Question q = S_ISDIR(dst.st_mode) ? Question::MergeFolder : Question::ReplaceFile;
        if (confirmed(q, path, readOnly(dst)))
            return S_ISDIR(dst.st_mode) ? Place::Merge : Place::Replace;
        return m_stop ? Place::Stop : Place::Skip;
    }

    // ---- copy ----

    void transferAll(const Source &src, const std::string &to)
    {
        Target t;
        if (!resolveTarget(to, src, t))
            return;
        temp::sweepStale(t.dir.get());
        for (const std::string &name : src.names) {
            const std::string dstName = t.name.empty() ? name : t.name;
            if (m_function == Function::Copy)
                copyEntry(src.folder.fd.get(), name, src.folder.path + name, t.dir.get(), dstName, t.dirPath, false);
            else
                moveEntry(src.folder.fd.get(), name, src.folder.path + name, t.dir.get(), dstName, t.dirPath);
            if (m_stop)
                return;
        }
    }

    // fresh: dstDir is a folder of ours still under a temporary name, so nothing in it can
    // collide and nothing needs a temporary name of its own.
    bool copyEntry(int srcDir, const std::string &name, const std::string &srcPath, int dstDir, std::string dstName,
                   const std::string &dstFolder, bool fresh, int depth = 0)
    {
        if (!goOn())
            return false;
        if (depth > kMaxDepth)
            return fail(ELOOP, srcPath, "The folders are nested too deeply.");
        // The type comes first: opening a device or a FIFO can have effects of its own.
        struct stat st;
        if (::fstatat(srcDir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return failErrno(srcPath);
        const Place p = fresh ? Place::New : decide(st, dstDir, dstName, dstFolder);
        return copyAs(srcDir, name, st, srcPath, dstDir, dstName, dstFolder, p, fresh, depth);
    }

    bool copyAs(int srcDir, const std::string &name, const struct stat &st, const std::string &srcPath, int dstDir,
                const std::string &dstName, const std::string &dstFolder, Place p, bool fresh, int depth)
    {
        if (p == Place::Skip)
            return true;
        if (p == Place::Stop)
            return false;
        const bool ok = copyKind(srcDir, name, st, srcPath, dstDir, dstName, dstFolder + dstName, p, fresh, depth);
        if (ok && m_verify)
            m_copied.add(st);
        return ok;
    }

    bool copyKind(int srcDir, const std::string &name, const struct stat &st, const std::string &srcPath, int dstDir,
                  const std::string &dstName, const std::string &dstPath, Place p, bool fresh, int depth)
    {
        const bool replace = p == Place::Replace;
        switch (st.st_mode & S_IFMT) {
        case S_IFREG: {
            const UniqueFd in = openSource(srcDir, name, st, srcPath, O_NONBLOCK | O_NOCTTY);
            return in.valid() && copyFile(in.get(), st, srcPath, dstDir, dstName, dstPath, replace, fresh);
        }
        case S_IFDIR: {
            const UniqueFd in = openSource(srcDir, name, st, srcPath, O_DIRECTORY);
            if (!in.valid())
                return false;
            if (m_verify && mountid::differs(srcDir, in.get()))
                return fail(EBUSY, srcPath, "A file system is mounted on this folder, so it cannot be moved.");
            return p == Place::Merge ? mergeFolder(in.get(), st, srcPath, dstDir, dstName, dstPath, depth)
                                     : copyFolder(in.get(), st, srcPath, dstDir, dstName, dstPath, fresh, depth);
        }
        case S_IFLNK:
            return copyLink(srcDir, name, st, srcPath, dstDir, dstName, dstPath, replace, fresh);
        case S_IFIFO:
        case S_IFCHR:
        case S_IFBLK:
            return copyNode(st, dstDir, dstName, dstPath, replace, fresh);
        }
        return fail(EINVAL, srcPath,
                    S_ISSOCK(st.st_mode) ? "It is a socket, which cannot be copied."
                                         : "It is not a file, a folder or a link.");
    }

    // Opens an item whose type is known, and makes sure it is still that item.
    UniqueFd openSource(int dir, const std::string &name, const struct stat &st, const std::string &path, int how)
    {
        UniqueFd fd(::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | how));
        struct stat now;
        if (!fd.valid() || ::fstat(fd.get(), &now) != 0)
            return failErrno(path), UniqueFd();
        if (!sameItem(now, st) || (now.st_mode & S_IFMT) != (st.st_mode & S_IFMT))
            return fail(EIO, path, "It was replaced by another item while it was being read; it was left alone."),
                   UniqueFd();
        return fd;
    }

    static int createFile(int dir, const char *name)
    {
        return ::openat(dir, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    }
    static int createFolder(int dir, const char *name)
    {
        if (::mkdirat(dir, name, 0700) != 0)
            return -1;
        return ::openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }

    bool place(int dir, const std::string &tmp, const std::string &name, bool replace, const std::string &path)
    {
        const int r = replace ? ::renameat(dir, tmp.c_str(), dir, name.c_str()) : renameNoReplace(dir, tmp, dir, name);
        return r == 0 || failErrno(path);
    }

    // Puts a made copy (fresh: already under its own name) in its place, or removes it when
    // making or placing it failed, so nothing half made is left behind.
    bool settle(bool ok, bool fresh, int dir, const std::string &tmp, const std::string &name, bool replace,
                const std::string &path)
    {
        if (ok && !fresh)
            ok = place(dir, tmp, name, replace, path);
        if (!ok)
            ::unlinkat(dir, tmp.c_str(), 0);
        else
            finished(path);
        return ok;
    }

    bool copyFile(int in, const struct stat &st, const std::string &srcPath, int dstDir, const std::string &dstName,
                  const std::string &dstPath, bool replace, bool fresh)
    {
        std::string tmp = dstName;
        // out holds the temporary's lock until it is settled.
        const UniqueFd out = fresh ? UniqueFd(createFile(dstDir, dstName.c_str())) : temp::createFile(dstDir, tmp);
        if (!out.valid())
            return failErrno(dstPath);
        const std::int64_t copied = copyData(in, out.get(), st.st_size, srcPath, dstPath);
        // On the disk before it takes the name, above all when it replaces a file.
        // Cancel counts until the name is taken, through the sync too.
        const bool ok = copied >= 0 && finishFile(in, out.get(), st, copied, srcPath, dstPath) &&
                        (fresh || ::fsync(out.get()) == 0 || failErrno(dstPath)) && goOn();
        return settle(ok, fresh, dstDir, tmp, dstName, replace, dstPath);
    }

    // The length copied, or -1 when the copy failed or was cancelled.
    std::int64_t copyData(int in, int out, std::int64_t size, const std::string &srcPath, const std::string &dstPath)
    {
        const std::function<bool(std::int64_t)> step = [&](std::int64_t done) {
            m_ui.progress(srcPath, done, size, m_items);
            return goOn();
        };
        const sparsecopy::Outcome o = sparsecopy::copy(in, out, kChunk, step);
        if (o.ok())
            return o.length;
        if (!o.stopped) {
            errno = o.err;
            failErrno(o.atDestination ? dstPath : srcPath);
        }
        return -1;
    }

    // Mode and times; for a move also the proof that the whole file arrived unchanged.
    bool finishFile(int in, int out, const struct stat &st, std::int64_t copied, const std::string &srcPath,
                    const std::string &dstPath)
    {
        // Set-id bits are dropped: the copy belongs to whoever runs the program.
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        if (::fchmod(out, st.st_mode & 01777) != 0 || ::futimens(out, times) != 0)
            return failErrno(dstPath);
        if (!m_verify)
            return true;
        struct stat now;
        if (::fstat(in, &now) != 0)
            return failErrno(srcPath);
        if (copied != st.st_size || now.st_size != st.st_size || now.st_mtim.tv_sec != st.st_mtim.tv_sec ||
            now.st_mtim.tv_nsec != st.st_mtim.tv_nsec)
            return fail(EIO, srcPath, "The file changed while it was being moved; it was left where it was.");
        return true;
    }

    bool copyLink(int srcDir, const std::string &name, const struct stat &st, const std::string &srcPath, int dstDir,
                  const std::string &dstName, const std::string &dstPath, bool replace, bool fresh)
    {
        std::string target(std::size_t(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t len = ::readlinkat(srcDir, name.c_str(), target.data(), target.size());
        if (len < 0)
            return failErrno(srcPath);
        if (std::size_t(len) >= target.size())
            return fail(EIO, srcPath, "The link changed while it was being copied.");
        target.resize(std::size_t(len));
        return copyByName(st, dstDir, dstName, dstPath, replace, fresh,
                          [&target](int dir, const char *n) { return ::symlinkat(target.c_str(), dir, n); });
    }

    // FIFOs and devices are made anew, never opened. A device needs the right to make one.
    bool copyNode(const struct stat &st, int dstDir, const std::string &dstName, const std::string &dstPath,
                  bool replace, bool fresh)
    {
        return copyByName(st, dstDir, dstName, dstPath, replace, fresh, [&st](int dir, const char *n) {
            return ::mknodat(dir, n, st.st_mode & (S_IFMT | 0777), st.st_rdev);
        });
    }

    // A link or a node: made by make, under a temporary name unless fresh, with the times
    // and, for a node, the mode of st.
    bool copyByName(const struct stat &st, int dstDir, const std::string &dstName, const std::string &dstPath,
                    bool replace, bool fresh, const std::function<int(int, const char *)> &make)
    {
        std::string tmp = dstName;
        const bool made = fresh ? make(dstDir, dstName.c_str()) == 0 : temp::createOther(dstDir, tmp, make);
        if (!made)
            return failErrno(dstPath);
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        const bool moded = S_ISLNK(st.st_mode) || ::fchmodat(dstDir, tmp.c_str(), st.st_mode & 01777, 0) == 0;
        const bool ok =
            (moded && ::utimensat(dstDir, tmp.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0) || failErrno(dstPath);
        return settle(ok, fresh, dstDir, tmp, dstName, replace, dstPath);
    }

    // True when the folder dir is the item st or lies inside it.
    static bool within(int dir, const struct stat &st)
    {
        UniqueFd cur(::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        for (int up = 0; cur.valid() && up < kMaxDepth; ++up) {
            struct stat here, parent;
            if (::fstat(cur.get(), &here) != 0)
                return true;
            if (sameItem(here, st))
                return true;
            UniqueFd next(::openat(cur.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (!next.valid() || ::fstat(next.get(), &parent) != 0)
                return true;
            if (sameItem(parent, here))
                return false;
            cur = std::move(next);
        }
        return true;
    }

    bool copyFolder(int in, const struct stat &st, const std::string &srcPath, int dstDir, const std::string &dstName,
                    const std::string &dstPath, bool fresh, int depth)
    {
        if (!fresh && within(dstDir, st))
            return fail(EINVAL, srcPath, "The destination folder is inside the source folder.");
        std::string tmp = dstName;
        // out holds the temporary's lock until it is renamed or discarded.
        const UniqueFd out = fresh ? UniqueFd(createFolder(dstDir, dstName.c_str())) : temp::createFolder(dstDir, tmp);
        if (!out.valid())
            return failErrno(dstPath);
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        bool ok =
            copyChildren(in, srcPath, out.get(), dstPath, true, depth) &&
            ((::fchmod(out.get(), st.st_mode & 01777) == 0 && ::futimens(out.get(), times) == 0) || failErrno(dstPath));
        if (ok && !fresh)
            ok = place(dstDir, tmp, dstName, false, dstPath);
        if (!ok && !fresh)
            temp::discard(dstDir, tmp);
        if (ok)
            finished(dstPath);
        return ok;
    }

    bool mergeFolder(int in, const struct stat &st, const std::string &srcPath, int dstDir, const std::string &dstName,
                     const std::string &dstPath, int depth)
    {
        if (within(dstDir, st))
            return fail(EINVAL, srcPath, "The destination folder is inside the source folder.");
        UniqueFd out(::openat(dstDir, dstName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!out.valid())
            return failErrno(dstPath);
        temp::sweepStale(out.get());
        return copyChildren(in, srcPath, out.get(), dstPath, false, depth);
    }

    bool copyChildren(int in, const std::string &srcPath, int out, const std::string &dstPath, bool fresh, int depth)
    {
        bool ok = true;
        const std::vector<std::string> names = pathres::listNames(in, &ok);
        if (!ok)
            return failErrno(srcPath);
        for (const std::string &n : names)
            if (!copyEntry(in, n, srcPath + "/" + n, out, n, dstPath + "/", fresh, depth + 1))
                return false;
        return true;
    }

    // ---- move ----

    bool moveEntry(int srcDir, const std::string &name, const std::string &srcPath, int dstDir, std::string dstName,
                   const std::string &dstFolder, int depth = 0)
    {
        if (!goOn())
            return false;
        struct stat st;
        if (::fstatat(srcDir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return failErrno(srcPath);
        const Place p = decide(st, dstDir, dstName, dstFolder);
        const std::string dstPath = dstFolder + dstName;
        if (p == Place::Skip)
            return true;
        if (p == Place::Stop)
            return false;
        if (p == Place::Merge)
            return moveInto(srcDir, name, st, srcPath, dstDir, dstName, dstPath, depth);
        const int r = p == Place::Replace ? ::renameat(srcDir, name.c_str(), dstDir, dstName.c_str())
                                          : renameNoReplace(srcDir, name, dstDir, dstName);
        if (r == 0) {
            finished(dstPath);
            return true;
        }
        if (errno != EXDEV)
            return failErrno(srcPath);
        return moveAcross(srcDir, name, st, srcPath, dstDir, dstName, dstFolder, p, depth);
    }

    // Another file system: a verified copy, made durable, and only then the source goes, as
    // far as it is still what was copied.
    bool moveAcross(int srcDir, const std::string &name, const struct stat &st, const std::string &srcPath, int dstDir,
                    const std::string &dstName, const std::string &dstFolder, Place p, int depth)
    {
        m_copied.clear();
        m_verify = true;
        const bool copied = copyAs(srcDir, name, st, srcPath, dstDir, dstName, dstFolder, p, false, depth);
        m_verify = false;
        if (!copied)
            return false;
        if (::syncfs(dstDir) != 0)
            return failErrno(dstFolder + dstName);
        const SourceRemoval r =
            removeCopied(srcDir, name, srcPath, m_copied, [this](const std::string &path) { removedItem(path); });
        if (r.err)
            return fail(r.err, r.path, r.why);
        if (r.kept == 0)
            return true;
        const std::string others = r.kept > 1 ? " (and " + std::to_string(r.kept - 1) + " more)" : "";
        return fail(EIO, r.firstKept,
                    "It changed or appeared while it was being moved, so it was left where it is" + others +
                        "; the copy has what was there before.");
    }

    bool moveInto(int srcDir, const std::string &name, const struct stat &st, const std::string &srcPath, int dstDir,
                  const std::string &dstName, const std::string &dstPath, int depth)
    {
        if (within(dstDir, st))
            return fail(EINVAL, srcPath, "The destination folder is inside the source folder.");
        UniqueFd in(::openat(srcDir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        UniqueFd out(::openat(dstDir, dstName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!in.valid())
            return failErrno(srcPath);
        if (!out.valid())
            return failErrno(dstPath);
        bool ok = true;
        const std::vector<std::string> names = pathres::listNames(in.get(), &ok);
        if (!ok)
            return failErrno(srcPath);
        for (const std::string &n : names)
            if (!moveEntry(in.get(), n, srcPath + "/" + n, out.get(), n, dstPath + "/", depth + 1))
                return false;
        // Items the user chose to keep leave the folder in place.
        if (::unlinkat(srcDir, name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOTEMPTY && errno != EEXIST)
            return failErrno(srcPath);
        return true;
    }

    // ---- rename ----

    void rename(const Source &src, const std::string &to)
    {
        const std::string srcPath = src.folder.path + src.names.front();
        if (src.wildcard) {
            fail(EINVAL, srcPath, "Only one file or folder can be renamed at a time.");
            return;
        }
        const std::string typed(text::trimRight(to));
        if (typed.empty() || pathres::hasWildcards(typed)) {
            fail(EINVAL, srcPath,
                 typed.empty() ? "No new name was given." : "Wildcards are not allowed in the new name.");
            return;
        }
        std::optional<pathres::Folder> other;
        std::string newName = typed;
        if (typed.find('/') != std::string::npos) {
            const auto names = pathres::splitAbsolute(typed.front() == '/' ? typed : src.folder.path + typed);
            if (!names || names->empty()) {
                fail(EINVAL, typed, "That is not a valid name.");
                return;
            }
            other = pathres::openFolder(*names, names->size() - 1);
            if (!other) {
                failErrno(typed);
                return;
            }
            newName = std::string(text::trimRight(names->back()));
        }
        const int dir = other ? other->fd.get() : src.folder.fd.get();
        const std::string dirPath = other ? other->path : src.folder.path;
        const pathres::Lookup l = pathres::lookupName(dir, newName, true);
        if (l.found == pathres::Found::Several) {
            fail(EEXIST, dirPath + newName, "Several names differ from the new name only in case.");
            return;
        }
        struct stat st;
        if (l.found == pathres::Found::One && ::fstatat(dir, l.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            if (sameItem(st, src.first)) {
                if (l.name == newName)
                    return; // already so named
            } else if (!(m_flags & RenameOnCollision)) {
                fail(EEXIST, srcPath, "A file with the name you specified already exists. Specify a different name.");
                return;
            } else if (!freeName(dir, newName, dirPath + newName)) {
                return;
            }
        }
        if (renameNoReplace(src.folder.fd.get(), src.names.front(), dir, newName) != 0) {
            if (errno == EXDEV)
                fail(EXDEV, srcPath, "A rename cannot move it to another file system; use Move.");
            else
                failErrno(srcPath);
            return;
        }
        finished(dirPath + newName);
    }

    // ---- delete ----

    void deleteAll(const Source &src)
    {
        for (const std::string &name : src.names) {
            if (!goOn())
                return;
            const std::string path = src.folder.path + name;
            struct stat st;
            if (::fstatat(src.folder.fd.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                failErrno(path);
                return;
            }
            const Question q = S_ISDIR(st.st_mode) ? Question::DeleteFolder : Question::DeleteFile;
            if (!confirmed(q, path, readOnly(st))) {
                if (m_stop)
                    return;
                continue;
            }
            if (!removeTree(src.folder.fd.get(), name, path))
                return;
        }
    }

    // Links and files are unlinked; a folder is emptied through its own descriptor, so a
    // link inside it is removed, never followed, and a mount inside it is never entered.
    bool removeTree(int dir, const std::string &name, const std::string &path, int depth = 0)
    {
        if (!goOn())
            return false;
        if (::unlinkat(dir, name.c_str(), 0) == 0) {
            removedItem(path);
            return true;
        }
        const int unlinkErr = errno;
        if (unlinkErr != EISDIR && unlinkErr != EPERM)
            return failErrno(path);
        UniqueFd d(::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!d.valid()) {
            if (errno == ENOTDIR || errno == ELOOP)
                errno = unlinkErr; // not a folder after all: the unlink's own failure counts
            return failErrno(path);
        }
        if (depth > kMaxDepth)
            return fail(ELOOP, path, "The folders are nested too deeply.");
        // A bind mount of this same file system has its parent's device: the mount id tells.
        if (mountid::differs(dir, d.get()))
            return fail(EBUSY, path, "A file system is mounted on this folder; it was left alone.");
        bool ok = true;
        const std::vector<std::string> names = pathres::listNames(d.get(), &ok);
        if (!ok)
            return failErrno(path);
        for (const std::string &n : names)
            if (!removeTree(d.get(), n, path + "/" + n, depth + 1))
                return false;
        if (::unlinkat(dir, name.c_str(), AT_REMOVEDIR) != 0)
            return failErrno(path);
        removedItem(path);
        return true;
    }

    Function m_function;
    std::uint16_t m_flags;
    Interaction &m_ui;
    bool m_yesToAll;
    bool m_stop = false;
    bool m_aborted = false;
    bool m_verify = false; // moving across file systems: m_copied records what was copied
    CopiedItems m_copied;
    int m_code = 0;
    int m_items = 0;
};

} // namespace

Result perform(Function function, const std::string &from, const std::string &to, std::uint16_t flags, Interaction &ui)
{
    return Engine(function, flags, ui).run(from, to);
}

} // namespace fileop

#include "platform/fileopengine.h"

#include "platform/pathresolve.h"
#include "platform/uniquefd.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fileop {

bool sameItem(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool readOnly(const struct stat &st)
{
    return !S_ISLNK(st.st_mode) && (st.st_mode & 0222) == 0;
}

bool within(int dir, const struct stat &st)
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

int openFolderAt(int dir, const std::string &name)
{
    return ::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

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

Engine::Engine(Function function, std::uint16_t flags, Interaction &ui)
    : m_function(function), m_flags(flags), m_ui(ui), m_yesToAll(flags & NoConfirmation)
{
}

const char *Engine::verb() const
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

bool Engine::fail(int err, const std::string &path, const std::string &why)
{
    if (!m_stop) {
        m_ui.error("Cannot " + std::string(verb()) + " " + path + ": " + why);
        m_code = err;
        m_stop = true;
    }
    return false;
}

bool Engine::failErrno(const std::string &path)
{
    const int err = errno ? errno : EIO;
    const char *d = ::strerrordesc_np(err);
    return fail(err, path, std::string(d ? d : "Unknown error") + ".");
}

bool Engine::goOn()
{
    if (!m_stop && m_ui.cancelled()) {
        m_aborted = true;
        m_code = ECANCELED;
        m_stop = true;
    }
    return !m_stop;
}

bool Engine::confirmed(Question q, const std::string &path, bool ro)
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

void Engine::finished(const std::string &path)
{
    ++m_items;
    m_ui.progress(path, 0, 0, m_items);
}

void Engine::removedItem(const std::string &path)
{
    m_ui.removed(path);
    finished(path);
}

void Engine::progress(const std::string &path, std::int64_t done, std::int64_t total)
{
    m_ui.progress(path, done, total, m_items);
}

bool Engine::eachIn(int fd, const std::string &shown, const std::function<bool(const Place &)> &each)
{
    bool ok = true;
    const std::vector<std::string> names = pathres::listNames(fd, &ok);
    if (!ok)
        return failErrno(shown);
    const std::string folder = shown + "/";
    for (const std::string &n : names)
        if (!each(Place{fd, n, folder}))
            return false;
    return true;
}

bool Engine::freeName(int dir, std::string &name, const std::string &path)
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

Decision Engine::decide(const struct stat &st, Place &dst)
{
    struct stat there;
    const std::string path = dst.shown();
    if (::fstatat(dst.dir, dst.name.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return Decision::New;
        failErrno(path);
        return Decision::Stop;
    }
    if (has(RenameOnCollision))
        return freeName(dst.dir, dst.name, path) ? Decision::New : Decision::Stop;
    return collide(st, there, path);
}

Decision Engine::collide(const struct stat &st, const struct stat &there, const std::string &path)
{
    if (sameItem(st, there))
        return fail(EINVAL, path, "The source and destination are the same file."), Decision::Stop;
    if (S_ISDIR(st.st_mode) != S_ISDIR(there.st_mode))
        return fail(EEXIST, path, "A file and a folder cannot replace each other."), Decision::Stop;
    const bool folder = S_ISDIR(there.st_mode);
    if (confirmed(folder ? Question::MergeFolder : Question::ReplaceFile, path, readOnly(there)))
        return folder ? Decision::Merge : Decision::Replace;
    return m_stop ? Decision::Stop : Decision::Skip;
}

} // namespace fileop

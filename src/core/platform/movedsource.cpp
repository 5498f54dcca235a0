#include "platform/movedsource.h"

#include "platform/mountid.h"
#include "platform/pathresolve.h"
#include "platform/uniquefd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace fileop {
namespace {

constexpr int kMaxDepth = 4096;

bool sameTime(const struct timespec &a, const struct timespec &b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

class Remover {
public:
    Remover(const CopiedItems &copied, const std::function<void(const std::string &)> &removed)
        : m_copied(copied), m_removed(removed)
    {
    }

    // False when the removal stops.
    bool remove(int dir, const std::string &name, const std::string &path, int depth)
    {
        struct stat st;
        if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return failed(errno, path);
        if (!m_copied.unchanged(st))
            return keep(path);
        if (S_ISDIR(st.st_mode))
            return removeFolder(dir, name, path, st, depth);
        if (::unlinkat(dir, name.c_str(), 0) != 0)
            return failed(errno, path);
        m_removed(path);
        return true;
    }

    SourceRemoval result;

private:
    bool removeFolder(int dir, const std::string &name, const std::string &path, const struct stat &st, int depth)
    {
        UniqueFd d(::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat opened;
        if (!d.valid() || ::fstat(d.get(), &opened) != 0)
            return failed(errno, path);
        if (opened.st_ino != st.st_ino || opened.st_dev != st.st_dev)
            return keep(path);
        if (mountid::differs(dir, d.get()))
            return failed(EBUSY, path, "A file system is mounted on this folder; it was left alone.");
        if (depth > kMaxDepth)
            return failed(ELOOP, path, "The folders are nested too deeply.");
        bool ok = true;
        const std::vector<std::string> names = pathres::listNames(d.get(), &ok);
        if (!ok)
            return failed(errno, path);
        const int keptBefore = result.kept;
        for (const std::string &n : names)
            if (!remove(d.get(), n, path + "/" + n, depth + 1))
                return false;
        if (::unlinkat(dir, name.c_str(), AT_REMOVEDIR) == 0) {
            m_removed(path);
            return true;
        }
        if (errno != ENOTEMPTY && errno != EEXIST)
            return failed(errno, path);
        // Something appeared after the listing.
        return result.kept > keptBefore || keep(path);
    }

    bool keep(const std::string &path)
    {
        if (result.kept++ == 0)
            result.firstKept = path;
        return true;
    }

    bool failed(int err, const std::string &path, const char *why = nullptr)
    {
        result.err = err ? err : EIO;
        result.path = path;
        const char *d = why ? why : ::strerrordesc_np(result.err);
        result.why = d ? d : "Unknown error.";
        if (!why)
            result.why += ".";
        return false;
    }

    const CopiedItems &m_copied;
    const std::function<void(const std::string &)> &m_removed;
};

} // namespace

void CopiedItems::add(const struct stat &st)
{
    m_items[{st.st_dev, st.st_ino}] = {mode_t(st.st_mode & S_IFMT), st.st_size, st.st_mtim, st.st_ctim};
}

bool CopiedItems::unchanged(const struct stat &now) const
{
    const auto it = m_items.find({now.st_dev, now.st_ino});
    if (it == m_items.end() || it->second.type != (now.st_mode & S_IFMT))
        return false;
    if (S_ISDIR(now.st_mode))
        return true;
    const Facts &f = it->second;
    return f.size == now.st_size && sameTime(f.modified, now.st_mtim) && sameTime(f.changed, now.st_ctim);
}

SourceRemoval removeCopied(int dir, const std::string &name, const std::string &path, const CopiedItems &copied,
                           const std::function<void(const std::string &)> &removed)
{
    Remover r(copied, removed);
    r.remove(dir, name, path, 0);
    return r.result;
}

} // namespace fileop

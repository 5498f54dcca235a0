#include "platform/fileopdelete.h"

#include "platform/mountid.h"
#include "platform/uniquefd.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace fileop {
namespace {

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

} // namespace

void deleteAll(Engine &engine, const Source &src)
{
    Remover(engine).all(src);
}

} // namespace fileop

#include "platform/fileopresolve.h"

#include "platform/text.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <utility>

namespace fileop {
namespace {

bool leftOutAsFolder(const Engine &engine, int dir, const std::string &name)
{
    struct stat st;
    return engine.has(FilesOnly) && ::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

// The names the source's last name stands for: itself, or what its wildcards match.
bool matchNames(Engine &engine, const std::string &wanted, const std::string &shown, Source &src)
{
    const int dir = src.folder.fd.get();
    const std::string last(text::trimRight(wanted));
    const pathres::Lookup l = pathres::lookupName(dir, wanted, true);
    if (l.found == pathres::Found::Several)
        return engine.fail(ENOENT, shown, "Several files differ from this name only in case; none matches it exactly.");
    if (l.found == pathres::Found::One) {
        src.names = {l.name};
    } else if (pathres::hasWildcards(last)) {
        src.wildcard = true;
        for (std::string &n : pathres::listNames(dir))
            if (pathres::wildcardMatch(last, text::trimRight(n)) && !leftOutAsFolder(engine, dir, n))
                src.names.push_back(std::move(n));
        std::sort(src.names.begin(), src.names.end());
    }
    return true;
}

class TargetWalk {
public:
    TargetWalk(Engine &engine, const Source &src, Target &t) : m_engine(engine), m_src(src), m_t(t) {}
    bool run(const std::string &to);

private:
    // Found: the current name exists, and the walk goes on.
    enum class Walk { Done, Missing, Failed, Found };
    Walk walkExisting();
    Walk find(bool last, std::string &stored, struct stat &st);
    [[nodiscard]] bool isItself(const struct stat &st) const;
    Walk atItem(const std::string &stored, bool itself);
    bool makeMissing();
    bool enter(const std::string &name, int how);

    Engine &m_engine;
    const Source &m_src;
    Target &m_t;
    std::string m_typed;
    std::vector<std::string> m_names;
    bool m_single = false; // one source under a new name, not into a folder
    std::size_t m_i = 0;   // the first name not yet followed
};

bool TargetWalk::run(const std::string &to)
{
    m_typed = std::string(text::trimRight(to));
    if (m_typed.empty())
        return m_engine.fail(EINVAL, m_src.folder.path + m_src.names.front(), "No destination was given.");
    if (pathres::hasWildcards(m_typed))
        return m_engine.fail(EINVAL, m_typed, "Wildcards are not allowed in the destination.");
    auto names = pathres::splitAbsolute(m_typed.front() == '/' ? m_typed : m_src.folder.path + m_typed);
    m_single = !m_src.wildcard && m_typed.back() != '/';
    m_t.dir.reset(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    m_t.dirPath.assign(1, '/'); // not = "/": GCC 12 warns falsely (-Wrestrict) once inlined
    if (!names || !m_t.dir.valid())
        return m_engine.failErrno(m_typed);
    m_names = std::move(*names);
    const Walk w = walkExisting();
    return w == Walk::Missing ? makeMissing() : w == Walk::Done;
}

TargetWalk::Walk TargetWalk::walkExisting()
{
    for (; m_i < m_names.size(); ++m_i) {
        const bool last = m_i + 1 == m_names.size();
        std::string stored;
        struct stat st;
        if (const Walk w = find(last, stored, st); w != Walk::Found)
            return w;
        const bool itself = last && isItself(st);
        if (last && (itself || !S_ISDIR(st.st_mode)))
            return atItem(stored, itself);
        if (!enter(stored, last ? O_NOFOLLOW : 0))
            return m_engine.failErrno(m_typed), Walk::Failed;
    }
    return Walk::Done;
}

// The current name as stored and what it is; a link is followed unless it is the last name.
TargetWalk::Walk TargetWalk::find(bool last, std::string &stored, struct stat &st)
{
    const pathres::Lookup l = pathres::lookupName(m_t.dir.get(), m_names[m_i], last);
    if (l.found == pathres::Found::Several)
        return m_engine.fail(EEXIST, m_typed, "Several names differ from the destination only in case."), Walk::Failed;
    if (l.found == pathres::Found::None)
        return Walk::Missing;
    if (::fstatat(m_t.dir.get(), l.name.c_str(), &st, last ? AT_SYMLINK_NOFOLLOW : 0) != 0)
        return m_engine.failErrno(m_typed), Walk::Failed;
    stored = l.name;
    return Walk::Found;
}

// A move that only changes the case of the source's own name.
bool TargetWalk::isItself(const struct stat &st) const
{
    return m_single && m_engine.function() == Function::Move && sameItem(st, m_src.first);
}

// The last name is an item, not a folder to go into: the new name of a single source.
TargetWalk::Walk TargetWalk::atItem(const std::string &stored, bool itself)
{
    if (!m_single)
        return m_engine.fail(ENOTDIR, m_typed, "The destination is not a folder."), Walk::Failed;
    m_t.name = itself ? std::string(text::trimRight(m_names[m_i])) : stored;
    return Walk::Done;
}

// Makes the missing folders from the current name on; a single source's last name is its
// new name.
bool TargetWalk::makeMissing()
{
    const std::size_t makeUpTo = m_single ? m_names.size() - 1 : m_names.size();
    if (m_i < makeUpTo && !m_engine.has(NoConfirmMkdir) &&
        !m_engine.confirmed(Question::CreateFolder, pathres::joinPath(m_names, makeUpTo), false))
        return false;
    for (; m_i < makeUpTo; ++m_i) {
        const std::string &name = m_names[m_i];
        if (::mkdirat(m_t.dir.get(), name.c_str(), 0777) != 0 && errno != EEXIST)
            return m_engine.failErrno(m_t.dirPath + name);
        if (!enter(name, O_NOFOLLOW))
            return m_engine.failErrno(m_t.dirPath + name);
    }
    if (m_single)
        m_t.name = std::string(text::trimRight(m_names.back()));
    return true;
}

bool TargetWalk::enter(const std::string &name, int how)
{
    UniqueFd next(::openat(m_t.dir.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | how));
    if (!next.valid())
        return false;
    m_t.dir = std::move(next);
    m_t.dirPath += name + "/";
    return true;
}

} // namespace

bool resolveSource(Engine &engine, const std::string &from, Source &src)
{
    const auto names = pathres::splitAbsolute(from);
    const std::string shown(text::trimRight(from));
    if (!names || names->empty())
        return engine.fail(EINVAL, shown, "The source must be the full path of a file or folder.");
    auto folder = pathres::openFolder(*names, names->size() - 1);
    if (!folder && errno == EEXIST)
        return engine.fail(ENOENT, shown, "Several folders on its path differ only in case; none matches exactly.");
    if (!folder)
        return engine.failErrno(shown);
    src.folder = std::move(*folder);
    if (!matchNames(engine, names->back(), shown, src))
        return false;
    if (src.names.empty())
        return engine.fail(ENOENT, shown, "The system cannot find the file specified.");
    if (::fstatat(src.folder.fd.get(), src.names.front().c_str(), &src.first, AT_SYMLINK_NOFOLLOW) != 0)
        return engine.failErrno(shown);
    return true;
}

bool resolveTarget(Engine &engine, const std::string &to, const Source &src, Target &t)
{
    return TargetWalk(engine, src, t).run(to);
}

bool resolveNewName(Engine &engine, const std::string &to, const Source &src, NewName &n)
{
    const std::string srcPath = src.folder.path + src.names.front();
    if (src.wildcard)
        return engine.fail(EINVAL, srcPath, "Only one file or folder can be renamed at a time.");
    const std::string typed(text::trimRight(to));
    if (typed.empty() || pathres::hasWildcards(typed))
        return engine.fail(EINVAL, srcPath,
                           typed.empty() ? "No new name was given." : "Wildcards are not allowed in the new name.");
    n.place = {src.folder.fd.get(), typed, src.folder.path};
    if (typed.find('/') == std::string::npos)
        return true;
    const auto names = pathres::splitAbsolute(typed.front() == '/' ? typed : src.folder.path + typed);
    if (!names || names->empty())
        return engine.fail(EINVAL, typed, "That is not a valid name.");
    n.other = pathres::openFolder(*names, names->size() - 1);
    if (!n.other)
        return engine.failErrno(typed);
    n.place = {n.other->fd.get(), std::string(text::trimRight(names->back())), n.other->path};
    return true;
}

} // namespace fileop

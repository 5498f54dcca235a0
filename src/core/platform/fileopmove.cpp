#include "platform/fileopmove.h"

#include "platform/fileopcopy.h"
#include "platform/movedsource.h"
#include "platform/uniquefd.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace fileop {
namespace {

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

} // namespace

bool moveEntry(Engine &engine, const Place &from, const Place &to)
{
    return Mover(engine).entry(from, to);
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

} // namespace fileop

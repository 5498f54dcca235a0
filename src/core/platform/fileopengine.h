#pragma once
// What every part of the file-operation engine shares: where an item is, the state of one
// operation (its flags, the user's answers so far, the first error, the items done), and
// the collision rules a copy, a move and a rename all follow.

#include "platform/fileoperation.h"

#include <functional>
#include <string>
#include <sys/stat.h>

namespace fileop {

inline constexpr int kMaxDepth = 4096;

// An item, or where one is to be: its folder, open, its name there, and the folder's path
// as the user is shown it (ending in "/").
struct Place {
    int dir = -1;
    std::string name;
    std::string folder;
    [[nodiscard]] std::string shown() const { return folder + name; }
};

// What becomes of an item at its destination. Fresh: the destination folder is one of
// ours still under a temporary name, so nothing in it can collide and nothing needs a
// temporary name of its own.
enum class Decision { Fresh, New, Replace, Merge, Skip, Stop };

[[nodiscard]] bool sameItem(const struct stat &a, const struct stat &b);
[[nodiscard]] bool readOnly(const struct stat &st);
// True when the folder dir is the item st or lies inside it.
[[nodiscard]] bool within(int dir, const struct stat &st);
// A folder inside dir, never through a link.
[[nodiscard]] int openFolderAt(int dir, const std::string &name);
// renameat2 without replacing; for file systems without it, a link (files) or a checked
// rename (folders).
[[nodiscard]] int renameNoReplace(int fromDir, const std::string &from, int toDir, const std::string &to);

class Engine {
public:
    Engine(Function function, std::uint16_t flags, Interaction &ui);

    [[nodiscard]] Function function() const { return m_function; }
    [[nodiscard]] bool has(Flag flag) const { return (m_flags & flag) != 0; }
    [[nodiscard]] bool stopped() const { return m_stop; }
    [[nodiscard]] Result result() const { return {m_code, m_aborted}; }

    // The first failure is reported and stops everything; always false.
    bool fail(int err, const std::string &path, const std::string &why);
    bool failErrno(const std::string &path);
    // False once the operation stops, the user's Cancel included.
    bool goOn();
    // False when the item is to be left alone; stopped() tells whether everything stops.
    bool confirmed(Question q, const std::string &path, bool ro);
    void finished(const std::string &path);
    void removedItem(const std::string &path);
    void progress(const std::string &path, std::int64_t done, std::int64_t total);
    // each(child) for the items in the folder fd, whose path is shown, until one fails.
    bool eachIn(int fd, const std::string &shown, const std::function<bool(const Place &)> &each);

    // What to do about the item st arriving at dst, asking where the flags call for it;
    // dst.name may change to a free one.
    Decision decide(const struct stat &st, Place &dst);
    // "Copy #1 of NAME", "Copy #2 of NAME", ...: the first that names nothing in the folder.
    bool freeName(int dir, std::string &name, const std::string &path);

private:
    [[nodiscard]] const char *verb() const;
    // The item st meets the item there at its destination.
    Decision collide(const struct stat &st, const struct stat &there, const std::string &path);

    Function m_function;
    std::uint16_t m_flags;
    Interaction &m_ui;
    bool m_yesToAll;
    bool m_stop = false;
    bool m_aborted = false;
    int m_code = 0;
    int m_items = 0;
};

} // namespace fileop

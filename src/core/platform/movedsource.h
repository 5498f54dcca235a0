#pragma once
// The source side of a move across file systems. The copy records what it copied; only
// items that are still what was copied (same inode, size and times) are then removed, so a
// file that changed or appeared during the copy stays where it was.

#include <functional>
#include <map>
#include <string>
#include <sys/stat.h>
#include <utility>

namespace fileop {

class CopiedItems {
public:
    void add(const struct stat &st);
    void clear() { m_items.clear(); }
    // A folder counts as unchanged while it is the same folder: its times move as its
    // content is removed.
    [[nodiscard]] bool unchanged(const struct stat &now) const;

private:
    struct Facts {
        mode_t type;
        off_t size;
        struct timespec modified, changed;
    };
    std::map<std::pair<dev_t, ino_t>, Facts> m_items;
};

struct SourceRemoval {
    int err = 0; // of the first failure, which stops the removal
    std::string path, why;
    int kept = 0; // items left because they changed or appeared
    std::string firstKept;
};

// Removes dir/name as far as copied holds it. removed is told each path it removed.
[[nodiscard]] SourceRemoval removeCopied(int dir, const std::string &name, const std::string &path,
                                         const CopiedItems &copied,
                                         const std::function<void(const std::string &)> &removed);

} // namespace fileop

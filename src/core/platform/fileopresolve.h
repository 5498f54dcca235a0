#pragma once
// What an operation acts on and where it goes, resolved once into open folders: a source
// (one item, or what a wildcard in its last name matches), the destination of a copy or
// move, and the new name of a rename.

#include "platform/fileopengine.h"
#include "platform/pathresolve.h"
#include "platform/uniquefd.h"

#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace fileop {

struct Source {
    pathres::Folder folder;
    std::vector<std::string> names;
    bool wildcard = false;
    struct stat first {}; // of names[0]
    [[nodiscard]] Place place(const std::string &name) const { return {folder.fd.get(), name, folder.path}; }
};

struct Target {
    UniqueFd dir;
    std::string dirPath; // ends in "/"
    std::string name;    // the new name of a single source; empty: into the folder
    [[nodiscard]] Place placeFor(const std::string &sourceName) const
    {
        return {dir.get(), name.empty() ? sourceName : name, dirPath};
    }
};

struct NewName {
    std::optional<pathres::Folder> other; // where a new name with a "/" leads
    Place place;
};

[[nodiscard]] bool resolveSource(Engine &engine, const std::string &from, Source &src);
// Where a copy or move goes: into an existing folder, or under a new name. A final "/"
// names a folder, as the destination of a wildcard source always is. Missing folders are
// made, after asking.
[[nodiscard]] bool resolveTarget(Engine &engine, const std::string &to, const Source &src, Target &t);
// A rename's new name: in the source's folder, or with a "/" in a folder of its own.
[[nodiscard]] bool resolveNewName(Engine &engine, const std::string &to, const Source &src, NewName &n);

} // namespace fileop

#pragma once
// Paths taken from the catalogue are upper-cased and padded, so they are resolved as the
// platform they describe would: component by component, case-insensitively, an exact
// match winning, and the blanks that pad the last name ignored. Everything works relative
// to folder descriptors, so a folder is looked at once and never re-entered by name.

#include "platform/uniquefd.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pathres {

// Absolute path split into names; "." dropped, ".." taken away lexically. Nothing for a
// relative path.
[[nodiscard]] std::optional<std::vector<std::string>> splitAbsolute(std::string_view path);
[[nodiscard]] std::string joinPath(const std::vector<std::string> &names, std::size_t count);

enum class Found { None, One, Several };
struct Lookup {
    Found found = Found::None;
    std::string name; // the name as stored, when One
};
// A name in the folder: an exact match wins; else the single case-insensitive match.
// lastName: trailing blanks of both the wanted name and the stored names are ignored.
[[nodiscard]] Lookup lookupName(int dirFd, std::string_view wanted, bool lastName);

// Names in the folder, "." and ".." left out. Empty on failure with errno set.
[[nodiscard]] std::vector<std::string> listNames(int dirFd, bool *ok = nullptr);

[[nodiscard]] bool hasWildcards(std::string_view name);
// '*' and '?' (one character), case-insensitive; "*.*" matches every name.
[[nodiscard]] bool wildcardMatch(std::string_view pattern, std::string_view name);

struct Folder {
    UniqueFd fd;
    std::string path; // as stored, ending in "/"
};
// Opens the folder the first count names lead to. Symbolic links among them are followed:
// they are what the user named. Nothing (errno set) when a name is missing, ambiguous or
// not a folder.
[[nodiscard]] std::optional<Folder> openFolder(const std::vector<std::string> &names, std::size_t count);

// The stored path of the one item a path names, or nothing.
[[nodiscard]] std::optional<std::string> resolveExisting(std::string_view path);

} // namespace pathres

#pragma once
// The temporaries copies are written under before they get their real names. A temporary
// file or folder is locked (flock) for as long as it is written, so that a later operation
// can tell one left by a crash from one still being written; its name carries a check, so
// that nothing a person or another program named is ever taken for one.

#include "platform/uniquefd.h"

#include <functional>
#include <string>
#include <string_view>

namespace fileop::temp {

// The name of temporary number n of process pid.
[[nodiscard]] std::string nameFor(unsigned long pid, unsigned n);
[[nodiscard]] bool isOurs(std::string_view name);

// A new temporary file or folder in dir, locked; name receives its name. The lock lasts
// while the descriptor is open: keep it until the temporary is renamed or discarded.
[[nodiscard]] UniqueFd createFile(int dir, std::string &name);
[[nodiscard]] UniqueFd createFolder(int dir, std::string &name);
// make(dir, name) under a new temporary name, without a lock: for a link or a special
// file, renamed at once. make returns 0, or -1 with errno set.
[[nodiscard]] bool createOther(int dir, std::string &name, const std::function<int(int, const char *)> &make);

// Removes a temporary of ours with everything in it, whatever the modes inside. It does
// not enter another mount.
void discard(int dir, const std::string &name);
// Removes the temporaries in dir that a crashed operation left: ours by name, a file or a
// folder, and not locked by an operation still writing them.
void sweepStale(int dir);

} // namespace fileop::temp

#pragma once
// Move and rename. A move within a file system renames; across file systems it copies,
// and removes only what it copied and is unchanged.

#include "platform/fileopengine.h"
#include "platform/fileopresolve.h"

#include <string>

namespace fileop {

// to.name may be taken already: what happens then is asked or follows the flags.
bool moveEntry(Engine &engine, const Place &from, const Place &to);
void rename(Engine &engine, const Source &src, const std::string &to);

} // namespace fileop

#pragma once
// Delete, permanent: each item of the source after the confirmation the flags call for,
// folders with everything in them.

#include "platform/fileopengine.h"
#include "platform/fileopresolve.h"

namespace fileop {

void deleteAll(Engine &engine, const Source &src);

} // namespace fileop

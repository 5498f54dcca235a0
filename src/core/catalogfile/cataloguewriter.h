#pragma once
// Writes a record set into a new catalogue file.

#include "catalogue/recordset.h"
#include "catalogue/volumes.h"

#include <string>

namespace cataloguefile {

// Writes the records, in the set's current order, and the volumes they came from into the
// empty file at path, which nobody else uses yet. Throws on failure.
void writeCatalogue(const RecordSet &records, const Volumes &volumes, const std::string &path);

} // namespace cataloguefile

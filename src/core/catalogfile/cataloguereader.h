#pragma once
// Reads a catalogue file into a record set, checking everything on the way.

#include "catalogue/recordset.h"
#include "catalogue/volumes.h"

#include <string>

namespace cataloguefile {

// Reads the file at path into out, a new record set with the catalogue's layout, and, where
// volumes is given, the volumes the file records (none for an older file). Throws with the
// reason when the file is not a whole catalogue file of this version or older.
void readCatalogue(const std::string &path, RecordSet &out, Volumes *volumes);

} // namespace cataloguefile

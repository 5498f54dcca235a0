#pragma once
// Reads a catalogue file into a record set, checking everything on the way.

#include "catalogue/recordset.h"
#include "catalogue/volumes.h"

#include <functional>
#include <string>

namespace cataloguefile {

// Reads the file at path into out, a new record set with the catalogue's layout, and, where
// volumes is given, the volumes the file records (none for an older file). Throws with the
// reason when the file is not a whole catalogue file of this version or older.
void readCatalogue(const std::string &path, RecordSet &out, Volumes *volumes);

// Reads the file's records in its order, checked as readCatalogue checks them, giving them to
// take a batch of up to batchRows at a time, each batch a new record set of its own: a
// reader of a whole file whose memory stays that of one batch. Throws with the reason when
// the file is not whole, possibly after some batches were given.
void streamCatalogue(const std::string &path, int batchRows, const std::function<void(RecordSet &)> &take);

} // namespace cataloguefile

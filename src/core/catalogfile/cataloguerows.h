#pragma once
// Reads some rows of a catalogue file, for a search whose index says where its hits may be.

#include "catalogue/recordset.h"
#include "catalogue/volumes.h"

#include <string>
#include <vector>

namespace cataloguefile {

// Appends the records at `positions` (ascending, from 0, in the file's order) to out, a new
// record set with the catalogue's layout, with their folders and, where volumes is given,
// the file's volumes. The file's identity and layout are checked, and every value read; the
// sum over all records is not, as it needs every row: the index that gave the positions was
// made from a whole, checked read of the same state of the file. Throws with the reason.
void readRows(const std::string &path, const std::vector<int> &positions, RecordSet &out, Volumes *volumes);

} // namespace cataloguefile

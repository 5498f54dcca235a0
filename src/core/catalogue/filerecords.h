#pragma once
// Which records of a catalogue stand for given files on disk: the key is the folder's path
// value and the long-name value the walk would have made of them, so a file renamed in
// case only, or one whose long name was cut, is matched as the catalogue knows it.

#include "catalogue/recordset.h"

#include <string>
#include <vector>

// One record per path, at most; several files that give the same key take as many records
// of that key. `preferred` is taken first when it is one of them (the row the user pointed
// at, among records that look alike).
[[nodiscard]] std::vector<RecordSet::Bookmark>
recordsOfFiles(const RecordSet &records, const std::vector<std::string> &paths, RecordSet::Bookmark preferred);

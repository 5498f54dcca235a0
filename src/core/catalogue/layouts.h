#pragma once
// The two table layouts the main window owns: the catalogue of file records and the
// dummy record set shown while nothing is displayed.

#include "catalogue/recordset.h"

// Field positions of a file record.
namespace fld {
constexpr int LongName = 0, ShortName = 1, Path = 2, Modified = 3, Created = 4, Accessed = 5, Size = 6, DateKey = 7,
              Extension = 8;
constexpr int Count = 9;
} // namespace fld

constexpr int kDummyRows = 50;

// Appends the nine file-record fields to an empty table and opens it.
void CreateRecordSet(RecordSet &catalogue);
// Nine wide-text fields and 50 empty records.
void BuildDummyRecordSet(RecordSet &dummy);

#pragma once
// Several catalogues shown as one: the records of one appended to another of the same layout.

#include "catalogue/recordset.h"

#include <vector>

// Appends every record of `from`, in its current order, to the end of `into`, which must
// have the same layout. Values that are kept once each stay kept once each in `into`.
// May throw std::bad_alloc or std::length_error; `into` then holds part of them.
void appendRecords(RecordSet &into, const RecordSet &from);
// The same for the records at `positions` of `from` only, in that order.
void appendRecords(RecordSet &into, const RecordSet &from, const std::vector<int> &positions);

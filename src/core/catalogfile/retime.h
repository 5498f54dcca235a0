#pragma once
// Rows of a catalogue file given new values where an update found files written in place:
// the copy it saves is the old file with only those rows, the records' sum and the folders'
// listing sums made new.

#include "catalogfile/sqlitedb.h"
#include "catalogue/retimedfolders.h"
#include "catalogue/volumes.h"

#include <vector>

namespace cataloguefile {

// In a file open for writing, within a transaction: gives the rows of the retimed folders'
// files their new values. `listings` are the file's, in order; its rows follow them, each
// folder's files after the folder before's. Every row is read and checked as an open checks
// it. Throws sqlitedb::Failure where the records are damaged or the rows are not those
// files: the file may then have been written in part, and is to be thrown away. Returns how
// many rows' values changed.
qint64 retimeRows(sqlitedb::Db &db, const std::vector<FolderListing> &listings, const RetimedFolders &retimed);

} // namespace cataloguefile

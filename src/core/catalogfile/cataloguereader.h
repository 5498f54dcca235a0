#pragma once
// Reads a catalogue file into a record set, checking everything on the way.

#include "catalogfile/sqlitedb.h"
#include "catalogue/recordset.h"
#include "catalogue/volumes.h"

#include <functional>
#include <string>
#include <string_view>

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

// Gives each row of the files table of an open file, in order, with its folder's text, each
// checked as readCatalogue checks it; the sums are checked once all are given. Throws with the
// reason.
void eachCheckedRow(sqlitedb::Db &db,
                    const std::function<void(const sqlitedb::Cell *row, std::string_view folder)> &take);

} // namespace cataloguefile

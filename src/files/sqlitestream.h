#pragma once
// Streams many rows out of SQLite in a single statement, through a virtual table: a
// statement step per row costs more than reading the row itself.

#include "files/sqlitedb.h"

namespace sqlitedb {

class RowSink {
public:
    virtual ~RowSink() = default;
    // One row's values, valid during the call. Throws Failure to stop the statement.
    virtual void take(sqlite3_value *const *values) = 0;
};

// Runs `select` (whose rows have `columns` columns) and hands every row to the sink, in order.
void selectAll(Db &db, const char *select, int columns, RowSink &sink);

} // namespace sqlitedb

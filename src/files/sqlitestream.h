#pragma once
// Streams many rows into or out of SQLite in a single statement, through a virtual table:
// a statement step per row costs more than writing or reading the row itself.

#include "files/sqlitedb.h"

namespace sqlitedb {

class RowSource {
public:
    virtual ~RowSource() = default;
    // Moves to the next row (the first, on the first call); false at the end.
    virtual bool next() = 0;
    // Gives one column of the current row with sqlite3_result_*; a value set with
    // SQLITE_STATIC must stay valid until the next call of next().
    virtual void column(sqlite3_context *ctx, int column) = 0;
};

class RowSink {
public:
    virtual ~RowSink() = default;
    // One row's values, valid during the call. Throws Failure to stop the statement.
    virtual void take(sqlite3_value *const *values) = 0;
};

// `INSERT INTO table SELECT * FROM` the source; the table has `columns` columns.
void insertAll(Db &db, const char *table, int columns, RowSource &source);
// Runs `select` (whose rows have `columns` columns) and hands every row to the sink, in order.
void selectAll(Db &db, const char *select, int columns, RowSink &sink);

} // namespace sqlitedb

#include "files/sqlitestream.h"

#include <cstring>
#include <new>
#include <string>

namespace sqlitedb {
namespace {

// What one statement streams; SQLite hands it back to the callbacks as the module's data.
struct Stream {
    int columns = 0;
    RowSink *sink = nullptr;
    std::string error; // why a callback stopped the statement
};

struct Table {
    sqlite3_vtab base{};
    Stream *stream = nullptr;
};

Stream &streamOf(sqlite3_vtab *table)
{
    return *reinterpret_cast<Table *>(table)->stream;
}

// Keeps exceptions out of SQLite's C frames.
template <typename F> int guarded(Stream &stream, F &&f) noexcept
{
    try {
        f();
        return SQLITE_OK;
    } catch (const std::bad_alloc &) {
        return SQLITE_NOMEM;
    } catch (const std::exception &e) {
        stream.error = e.what();
        return SQLITE_ERROR;
    }
}

int connect(sqlite3 *db, void *aux, int, const char *const *, sqlite3_vtab **out, char **)
{
    auto *stream = static_cast<Stream *>(aux);
    std::string declaration = "CREATE TABLE x(";
    for (int c = 0; c < stream->columns; ++c)
        declaration += (c ? ", c" : "c") + std::to_string(c);
    declaration += ")";
    if (const int rc = sqlite3_declare_vtab(db, declaration.c_str()); rc != SQLITE_OK)
        return rc;
    auto *table = new (std::nothrow) Table;
    if (!table)
        return SQLITE_NOMEM;
    table->stream = stream;
    *out = &table->base;
    return SQLITE_OK;
}

int disconnect(sqlite3_vtab *table)
{
    delete reinterpret_cast<Table *>(table);
    return SQLITE_OK;
}

int bestIndex(sqlite3_vtab *, sqlite3_index_info *info)
{
    info->estimatedCost = 1e6;
    return SQLITE_OK;
}

// Rows only go in, so a read finds the table empty.
int openCursor(sqlite3_vtab *, sqlite3_vtab_cursor **out)
{
    *out = new (std::nothrow) sqlite3_vtab_cursor{};
    return *out ? SQLITE_OK : SQLITE_NOMEM;
}

int closeCursor(sqlite3_vtab_cursor *cursor)
{
    delete cursor;
    return SQLITE_OK;
}

int filter(sqlite3_vtab_cursor *, int, const char *, int, sqlite3_value **)
{
    return SQLITE_OK;
}

int next(sqlite3_vtab_cursor *)
{
    return SQLITE_OK;
}

int eof(sqlite3_vtab_cursor *)
{
    return 1;
}

int column(sqlite3_vtab_cursor *, sqlite3_context *, int)
{
    return SQLITE_ERROR;
}

int rowid(sqlite3_vtab_cursor *, sqlite3_int64 *out)
{
    *out = 0;
    return SQLITE_OK;
}

int update(sqlite3_vtab *table, int argc, sqlite3_value **argv, sqlite3_int64 *rowid)
{
    Stream &stream = streamOf(table);
    // Only inserts come here: argv[0] is the old row (none), argv[1] the new rowid.
    if (argc != stream.columns + 2 || sqlite3_value_type(argv[0]) != SQLITE_NULL)
        return SQLITE_ERROR;
    *rowid = 0;
    return guarded(stream, [&] { stream.sink->take(argv + 2); });
}

const sqlite3_module kModule = {
    .iVersion = 0,
    .xCreate = connect,
    .xConnect = connect,
    .xBestIndex = bestIndex,
    .xDisconnect = disconnect,
    .xDestroy = disconnect,
    .xOpen = openCursor,
    .xClose = closeCursor,
    .xFilter = filter,
    .xNext = next,
    .xEof = eof,
    .xColumn = column,
    .xRowid = rowid,
    .xUpdate = update,
    .xBegin = nullptr,
    .xSync = nullptr,
    .xCommit = nullptr,
    .xRollback = nullptr,
    .xFindFunction = nullptr,
    .xRename = nullptr,
    .xSavepoint = nullptr,
    .xRelease = nullptr,
    .xRollbackTo = nullptr,
    .xShadowName = nullptr,
};

// Makes temp.tarvolo_rows for one statement, runs it, and drops the table again.
void run(Db &db, Stream &stream, const std::string &statement)
{
    if (sqlite3_create_module_v2(db.handle(), "tarvolo_rows", &kModule, &stream, nullptr) != SQLITE_OK)
        db.fail();
    db.exec("CREATE VIRTUAL TABLE temp.tarvolo_rows USING tarvolo_rows");
    const int rc = sqlite3_exec(db.handle(), statement.c_str(), nullptr, nullptr, nullptr);
    const std::string reason = rc == SQLITE_OK ? std::string() : sqlite3_errmsg(db.handle());
    sqlite3_exec(db.handle(), "DROP TABLE temp.tarvolo_rows", nullptr, nullptr, nullptr);
    sqlite3_create_module_v2(db.handle(), "tarvolo_rows", nullptr, nullptr, nullptr);
    if (rc == SQLITE_NOMEM)
        throw std::bad_alloc();
    if (rc != SQLITE_OK)
        throw Failure(stream.error.empty() ? reason : stream.error);
}

} // namespace

void selectAll(Db &db, const char *select, int columns, RowSink &sink)
{
    Stream stream;
    stream.columns = columns;
    stream.sink = &sink;
    run(db, stream, std::string("INSERT INTO temp.tarvolo_rows ") + select);
}

} // namespace sqlitedb

#include "catalogfile/sqlitedb.h"

#include <cstring>

namespace sqlitedb {

void Db::open(const std::string &path, int flags)
{
    if (sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr) != SQLITE_OK)
        fail();
    sqlite3_extended_result_codes(m_db, 1);
}

void Db::exec(const char *sql)
{
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail();
}

void Db::fail() const
{
    if (!m_db)
        throw Failure("out of memory");
    const std::string message = sqlite3_errmsg(m_db);
    // "disk I/O error" alone would not say that the disk is full.
    int error = 0;
    if ((sqlite3_extended_errcode(m_db) & 0xff) == SQLITE_IOERR &&
        sqlite3_file_control(m_db, "main", SQLITE_FCNTL_LAST_ERRNO, &error) == SQLITE_OK && error)
        throw Failure(message + " (" + std::strerror(error) + ")");
    throw Failure(message);
}

Stmt::Stmt(Db &db, const char *sql) : m_db(db)
{
    if (sqlite3_prepare_v2(db.handle(), sql, -1, &m_stmt, nullptr) != SQLITE_OK)
        db.fail();
}

bool Stmt::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        m_db.fail();
    return false;
}

void Stmt::run()
{
    step();
    sqlite3_reset(m_stmt);
}

void checkType(bool expected)
{
    if (!expected)
        throw Failure("a value has the wrong type");
}

qint64 checkedRange(qint64 n, qint64 low, qint64 high)
{
    if (n < low || n > high)
        throw Failure("a value is out of range");
    return n;
}

namespace {

std::string_view checkedValue(int type, int expected, const void *p, int bytes)
{
    checkType(type == expected);
    const auto n = std::size_t(bytes);
    if (n > (expected == SQLITE_BLOB ? kMaxBlobBytes : kMaxValueBytes))
        throw Failure("a value is too long");
    return {p ? static_cast<const char *>(p) : "", n};
}

} // namespace

qint64 Stmt::integer(int i) const
{
    // The type first: a conversion would change it.
    checkType(sqlite3_column_type(m_stmt, i) == SQLITE_INTEGER);
    return sqlite3_column_int64(m_stmt, i);
}

qint64 Stmt::integerIn(int i, qint64 low, qint64 high) const
{
    return checkedRange(integer(i), low, high);
}

std::string_view Stmt::text(int i) const
{
    const int type = sqlite3_column_type(m_stmt, i);
    const unsigned char *p = sqlite3_column_text(m_stmt, i);
    return checkedValue(type, SQLITE_TEXT, p, sqlite3_column_bytes(m_stmt, i));
}

std::string_view Stmt::blob(int i) const
{
    const int type = sqlite3_column_type(m_stmt, i);
    const void *p = sqlite3_column_blob(m_stmt, i);
    return checkedValue(type, SQLITE_BLOB, p, sqlite3_column_bytes(m_stmt, i));
}

void Stmt::bind(int i, const Cell &v)
{
    if (v.kind == Cell::Integer)
        bind(i, v.integer);
    else if (v.kind == Cell::Text)
        bind(i, v.text);
    else
        sqlite3_bind_null(m_stmt, i);
}

Cell Stmt::cell(int i) const
{
    Cell c;
    switch (sqlite3_column_type(m_stmt, i)) {
    case SQLITE_INTEGER:
        c.set(qint64(sqlite3_column_int64(m_stmt, i)));
        break;
    case SQLITE_TEXT:
        c.set(text(i));
        break;
    case SQLITE_NULL:
        break;
    default:
        c.kind = Cell::Other;
    }
    return c;
}

} // namespace sqlitedb

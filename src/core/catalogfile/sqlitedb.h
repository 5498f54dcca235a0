#pragma once
// Thin RAII wrappers over the SQLite C library, throwing Failure with SQLite's reason.

#include <QtGlobal>
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace sqlitedb {

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Longer texts are refused when read: no value the catalogue makes comes near it, and a
// damaged file must not make us copy gigabytes.
constexpr std::size_t kMaxValueBytes = 1 << 16;
// Blobs hold many values each.
constexpr std::size_t kMaxBlobBytes = 1 << 24;

// One value of a row of a table, as it is written or read.
struct Cell {
    enum Kind : std::uint8_t { Null, Integer, Text, Other } kind = Null;
    qint64 integer = 0;
    std::string_view text;

    void set(qint64 v) { kind = Integer, integer = v; }
    void set(std::string_view v) { kind = Text, text = v; }
};

class Db {
public:
    Db() = default;
    ~Db() { sqlite3_close(m_db); }
    Db(const Db &) = delete;
    Db &operator=(const Db &) = delete;

    void open(const std::string &path, int flags);
    void exec(const char *sql);
    [[noreturn]] void fail() const;
    [[nodiscard]] sqlite3 *handle() const { return m_db; }

private:
    sqlite3 *m_db = nullptr;
};

class Stmt {
public:
    Stmt(Db &db, const char *sql);
    ~Stmt() { sqlite3_finalize(m_stmt); }
    Stmt(const Stmt &) = delete;
    Stmt &operator=(const Stmt &) = delete;

    // True for a row, false at the end.
    bool step();
    void run();
    // Ready to be bound and stepped again.
    void reset() { sqlite3_reset(m_stmt); }
    void bind(int i, qint64 v) { sqlite3_bind_int64(m_stmt, i, v); }
    // The text must outlive the next step.
    void bind(int i, std::string_view v) // an empty view may have no data, which SQLite takes for NULL
    {
        sqlite3_bind_text(m_stmt, i, v.empty() ? "" : v.data(), int(v.size()), SQLITE_STATIC);
    }
    void bind(int i, const Cell &v);
    void bindNull(int i) { sqlite3_bind_null(m_stmt, i); }
    void bindBlob(int i, std::string_view v)
    {
        sqlite3_bind_blob(m_stmt, i, v.empty() ? "" : v.data(), int(v.size()), SQLITE_STATIC);
    }
    [[nodiscard]] qint64 integer(int i) const;
    [[nodiscard]] bool isNull(int i) const { return sqlite3_column_type(m_stmt, i) == SQLITE_NULL; }
    [[nodiscard]] qint64 integerIn(int i, qint64 low, qint64 high) const;
    [[nodiscard]] std::string_view text(int i) const;
    [[nodiscard]] std::string_view blob(int i) const;
    // Any value, its text valid until the next step.
    [[nodiscard]] Cell cell(int i) const;

private:
    Db &m_db;
    sqlite3_stmt *m_stmt = nullptr;
};

// The checks every value read goes through, throwing Failure with the reason.
void checkType(bool expected);
[[nodiscard]] qint64 checkedRange(qint64 n, qint64 low, qint64 high);

} // namespace sqlitedb
